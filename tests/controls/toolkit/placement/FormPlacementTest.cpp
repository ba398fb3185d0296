// Form placement: the keys with their screen-size suffix, the reading fall-backs, the
// pixels-per-inch rule, the show commands, a rectangle off every screen, size limits on
// a real offscreen form, saving once, the quoting of values and the default names.
#include "controls/toolkit/placement/FormPlacement.h"
#include "platform/ui/StdControls.h"

#include <QApplication>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace mv {
namespace {

struct TempIni {
    std::filesystem::path path;
    TempIni() {
        path =
            std::filesystem::temp_directory_path() / ("mv-placement-" + std::to_string(::getpid()) + ".ini");
        std::filesystem::remove(path);
    }
    ~TempIni() { std::filesystem::remove(path); }
    std::string Text() const {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

TEST(PlacementModel, KeysAreWrittenWithAndWithoutTheScreenSize) {
    TempIni ini;
    TIniPlacementStorage storage(ini.path.string());
    TPlacementRecord record;
    record.Flags = 0;
    record.ShowCmd = 1;
    record.PixelsPerInch = 96;
    record.MinPosition = {-1, -1};
    record.MaxPosition = {-4, -4};
    record.Normal = Rect(10, 20, 410, 320);
    WritePlacementRecord(storage, "Menu Principal", record, 800, 600);
    EXPECT_EQ(ini.Text(),
              "[Menu Principal]\nFlags=0\nShowCmd=1\nPixelsPerInch=96\nMinMaxPos(800x600)=-1,-1,-4,-4\n"
              "MinMaxPos=-1,-1,-4,-4\nNormPos(800x600)=10,20,410,320\nNormPos=10,20,410,320\n");
    EXPECT_EQ(ScreenSizeSuffix(1024, 768), "(1024x768)");
}

TEST(PlacementModel, ReadingFallsBackToThePlainKeyAndDefaults) {
    TempIni ini;
    TIniPlacementStorage storage(ini.path.string());
    TPlacementRecord current;
    current.Normal = Rect(1, 2, 3, 4);
    current.Flags = 7;
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, std::string>> keys;
        bool hasData;
        TRect normal;
        TPoint maxPosition;
        int flags;
    };
    const std::vector<Row> rows = {
        {"suffixed key first",
         {{"NormPos(1024x768)", "5,6,7,8"}, {"NormPos", "50,60,70,80"}},
         true,
         Rect(5, 6, 7, 8),
         {-1, -1},
         7},
        {"written at 800x600, read at 1024x768",
         {{"NormPos(800x600)", "5,6,7,8"}, {"NormPos", "50,60,70,80"}},
         true,
         Rect(50, 60, 70, 80),
         {-1, -1},
         7},
        {"bad and missing numbers take the current rectangle's",
         {{"NormPos", "50,x,,"}},
         true,
         Rect(50, 2, 3, 4),
         {-1, -1},
         7},
        {"min and max positions, missing ones 0",
         {{"MinMaxPos", "1,2,3"}, {"Flags", "2"}},
         true,
         Rect(1, 2, 3, 4),
         {3, 0},
         2},
        {"another resolution cancels the position",
         {{"NormPos", "5,6,7,8"}, {"PixelsPerInch", "120"}},
         false,
         Rect(1, 2, 3, 4),
         {-1, -1},
         7},
        {"no keys, no data", {}, false, Rect(1, 2, 3, 4), {-1, -1}, 7},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        storage.EraseSection("S");
        for (const auto& [k, v] : row.keys) storage.WriteString("S", k, v);
        const TPlacementReading r = ReadPlacementRecord(storage, "S", current, 1024, 768, 96);
        EXPECT_EQ(r.HasData, row.hasData);
        if (row.hasData) {
            EXPECT_EQ(r.Record.Normal, row.normal);
            EXPECT_EQ(r.Record.MaxPosition, row.maxPosition);
        }
        EXPECT_EQ(r.Record.Flags, row.flags);
    }
}

TEST(PlacementModel, ShowCommandsScreensQuotesAndDefaultNames) {
    using S = TShownState;
    struct Row {
        int cmd;
        S expected;
    };
    for (const Row& r :
         {Row{1, S::ssNormal}, Row{5, S::ssNormal}, Row{9, S::ssNormal}, Row{2, S::ssMinimized},
          Row{6, S::ssMinimized}, Row{7, S::ssMinimized}, Row{3, S::ssMaximized}, Row{0, S::ssMaximized},
          Row{4, S::ssMaximized}, Row{8, S::ssMaximized}, Row{-1, S::ssMaximized}}) {
        SCOPED_TRACE(r.cmd);
        EXPECT_EQ(ShownStateOfShowCmd(r.cmd, S::ssMaximized), r.expected);
    }
    const std::vector<TRect> screens{Bounds(0, 0, 800, 600), Bounds(800, 0, 1024, 768)};
    EXPECT_TRUE(RectOnAnyScreen(Rect(790, 10, 900, 100), screens));
    EXPECT_TRUE(RectOnAnyScreen(Rect(1700, 700, 2000, 900), screens));
    EXPECT_FALSE(RectOnAnyScreen(Rect(1900, 10, 2300, 300), screens));
    EXPECT_FALSE(RectOnAnyScreen(Rect(-500, -400, 0, 0), screens));

    TempIni ini;
    TIniPlacementStorage storage(ini.path.string());
    for (const std::string& v :
         {std::string("\"abc\""), std::string("'abc'"), std::string("a\"b"), std::string("\"")}) {
        SCOPED_TRACE(v);
        storage.WriteString("Q", "Value", v);
        EXPECT_EQ(storage.ReadString("Q", "Value", ""), v);
    }

    // The default ini file never lands in the current folder.
    const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = savedConfig ? savedConfig : "";
    ::setenv("XDG_CONFIG_HOME", "/home/someone/.cfg", 1);
    EXPECT_EQ(DefaultIniFileName("/opt/morvelan/bin/morvelan"), "/home/someone/.cfg/morvelan/morvelan.INI");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(DefaultIniFileName("morvelan.exe").front(), '/');
    if (savedConfig)
        ::setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(DefaultRegistryKey("Morvelan", true, "/x/mv", ""), "Software\\Morvelan");
    EXPECT_EQ(DefaultRegistryKey("", true, "/x/mv.bin", "Acme"), "Software\\Acme\\mv");

    using K = TSectionSubject;
    EXPECT_EQ(DefaultSection(K{K::skForm, "TFormPrincipal", "FormPrincipal", "", "", ""}), "TFormPrincipal");
    EXPECT_EQ(DefaultSection(K{K::skControl, "", "ListaLb", "TFormScript", "", ""}), "TFormScriptListaLb");
    EXPECT_EQ(DefaultSection(K{K::skControl, "", "ListaLb", "", "Panel1", ""}), "Panel1ListaLb");
    EXPECT_EQ(DefaultSection(K{K::skControl, "", "ListaLb", "", "", ""}), "ListaLb");
    EXPECT_EQ(DefaultSection(K{K::skOther, "", "Placement", "", "", "TFormScript"}), "TFormScript.Placement");
    EXPECT_EQ(DefaultSection(K{}), "");
}

// A form of the program's kind, with a class name of its own.
class TFormTeste : public TForm {
public:
    using TForm::TForm;
};

struct FormFixture {
    TempIni ini;
    std::unique_ptr<TFormTeste> form;
    TFormPlacement* placement;
    FormFixture() {
        EnsureApplication();
        form = std::make_unique<TFormTeste>(nullptr);
        form->SetBounds(40, 50, 300, 200);
        placement = new TFormPlacement(form.get());
        placement->SetIniFileName(ini.path.string());
    }
};

TEST(FormPlacement, SavesOnCloseOnceAndRestoresOnShow) {
    FormFixture f;
    int ownShows = 0, ownDestroys = 0;
    f.form->OnShow = [&](TComponent*) { ++ownShows; };
    f.form->OnDestroy = [&](TComponent*) { ++ownDestroys; };
    f.placement->Loaded(); // the form's handlers were set after the placement was made
    EXPECT_EQ(f.placement->EffectiveSection(), "TFormTeste");
    int saves = 0;
    f.placement->OnSavePlacement = [&](TComponent*) { ++saves; };
    f.form->Show();
    EXPECT_EQ(ownShows, 1);
    EXPECT_TRUE(f.placement->Restored());
    f.form->SetBounds(60, 70, 320, 210);
    f.form->Close();
    EXPECT_EQ(saves, 1);
    const std::string sw = std::to_string(ScreenWidth()), sh = std::to_string(ScreenHeight());
    const std::string text = f.ini.Text();
    EXPECT_NE(text.find("NormPos(" + sw + "x" + sh + ")=60,70,380,280\n"), std::string::npos) << text;
    EXPECT_NE(text.find("NormPos=60,70,380,280\n"), std::string::npos);
    EXPECT_NE(text.find("Visible=0\n"), std::string::npos);
    // Destroying after the close does not save again.
    f.form.reset();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(ownDestroys, 1);

    // A new form restores the rectangle when it is shown.
    auto again = std::make_unique<TFormTeste>(nullptr);
    again->SetBounds(0, 0, 100, 100);
    auto* p = new TFormPlacement(again.get());
    p->SetIniFileName(f.ini.path.string());
    again->Show();
    EXPECT_EQ(again->BoundsRect(), Rect(60, 70, 380, 280));
    // Destroyed without a close: saved once, with "Visible" true.
    again.reset();
    EXPECT_NE(f.ini.Text().find("Visible=1\n"), std::string::npos);
}

TEST(FormPlacement, StateScreensResolutionAndBorders) {
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, std::string>> keys;
        TFormBorderStyle border;
        TRect bounds; // after the restore
        TWindowState state;
    };
    const std::string suffix = ScreenSizeSuffix(ScreenWidth(), ScreenHeight());
    const std::vector<Row> rows = {
        {"show command 3 maximises",
         {{"NormPos", "10,10,210,110"}, {"ShowCmd", "3"}},
         TFormBorderStyle::bsSizeable,
         Rect(10, 10, 210, 110),
         TWindowState::wsMaximized},
        {"show command 0 keeps normal",
         {{"NormPos", "10,10,210,110"}, {"ShowCmd", "0"}},
         TFormBorderStyle::bsSizeable,
         Rect(10, 10, 210, 110),
         TWindowState::wsNormal},
        {"another resolution keeps the place but restores the state",
         {{"NormPos", "10,10,210,110"}, {"PixelsPerInch", "120"}, {"ShowCmd", "2"}},
         TFormBorderStyle::bsSizeable,
         Bounds(40, 50, 300, 200),
         TWindowState::wsMinimized},
        {"a rectangle off every screen is not applied",
         {{"NormPos" + suffix, "-3000,-3000,-2700,-2800"}, {"ShowCmd", "1"}},
         TFormBorderStyle::bsSizeable,
         Bounds(40, 50, 300, 200),
         TWindowState::wsNormal},
        {"a fixed border only moves",
         {{"NormPos", "15,25,515,425"}},
         TFormBorderStyle::bsDialog,
         Bounds(15, 25, 300, 200),
         TWindowState::wsNormal},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FormFixture f;
        f.form->SetBorderStyle(row.border);
        TIniPlacementStorage storage(f.ini.path.string());
        for (const auto& [k, v] : row.keys) storage.WriteString("TFormTeste", k, v);
        f.placement->RestorePlacement();
        EXPECT_EQ(f.form->BoundsRect(), row.bounds);
        EXPECT_EQ(f.form->WindowState(), row.state);
        EXPECT_FALSE(f.form->Visible()); // restoring a hidden form does not show it
    }
}

TEST(FormPlacement, SizeLimitsOnARealOffscreenForm) {
    FormFixture f;
    f.placement->MinMaxInfo().SetMinTrackWidth(250);
    f.placement->MinMaxInfo().SetMinTrackHeight(150);
    f.placement->MinMaxInfo().SetMaxTrackWidth(400);
    EXPECT_TRUE(f.placement->Hooked());
    f.form->Show();
    QApplication::processEvents();
    QWidget* window = f.form->Widget();
    const int frameX = 2 * f.form->FrameWidth(), frameY = frameX + f.form->CaptionHeight();
    EXPECT_EQ(window->minimumWidth(), 250 - frameX);
    EXPECT_EQ(window->minimumHeight(), 150 - frameY);
    EXPECT_EQ(window->maximumWidth(), 400 - frameX);
    // Sizes outside the limits are brought inside them; zeros keep the system's values.
    f.form->SetBounds(0, 0, 100, 100);
    EXPECT_EQ(f.form->Width(), 250);
    EXPECT_EQ(f.form->Height(), 150);
    f.form->SetBounds(0, 0, 900, 300);
    EXPECT_EQ(f.form->Width(), 400);
    EXPECT_EQ(f.form->Height(), 300);
    EXPECT_EQ(f.form->SizeLimits().ptMaxTrackSize.Y, ScreenHeight() + frameX + 12);
    // The user resizing the window stays inside them too.
    window->resize(10, 10);
    QApplication::processEvents();
    EXPECT_GE(window->width(), 250 - frameX);
    // Back to default limits: the hook goes.
    TWinMinMaxInfo none;
    f.placement->SetMinMaxInfo(none);
    EXPECT_FALSE(f.placement->Hooked());
    EXPECT_EQ(f.form->SizeLimits().ptMinTrackSize.X, 112);
}

TEST(FormPlacement, PreventResizeFixesTheSizeAndTakesTheMaximiseButton) {
    FormFixture f;
    f.form->Show();
    f.placement->SetPreventResize(true);
    EXPECT_TRUE(f.placement->Hooked());
    EXPECT_FALSE(f.form->BorderIcons() & biMaximize);
    QWidget* window = f.form->Widget();
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    f.form->SetBounds(0, 0, 500, 500);
    EXPECT_EQ(f.form->Width(), 300);
    f.placement->SetPreventResize(false);
    EXPECT_TRUE(f.form->BorderIcons() & biMaximize);
    EXPECT_FALSE(f.placement->Hooked());
}

TEST(FormPlacement, ActiveControlAndStringsThroughThePlacement) {
    FormFixture f;
    f.placement->SetOptions(fpState | fpPosition | fpActiveControl);
    auto* edit = new TEdit(f.form.get());
    edit->SetName("NomeEd");
    edit->SetParent(f.form.get());
    f.form->Show();
    f.form->SetActiveControl(edit);
    f.placement->SavePlacement();
    EXPECT_NE(f.ini.Text().find("ActiveControl=NomeEd\n"), std::string::npos);
    f.placement->WriteString("Extra", "Quoted", "\"abc\"");
    EXPECT_EQ(f.placement->ReadString("Extra", "Quoted", ""), "\"abc\"");
    f.form->SetActiveControl(nullptr);
    f.placement->RestorePlacement();
    EXPECT_EQ(f.form->ActiveControl(), edit);
    // Inactive: the form's events neither save nor restore.
    f.placement->SetActive(false);
    std::filesystem::remove(f.ini.path);
    f.form->Close();
    EXPECT_FALSE(std::filesystem::exists(f.ini.path));
}

TEST(FormPlacement, RegistryStorageKeepsTheSameKeys) {
    FormFixture f;
    const auto store =
        std::filesystem::temp_directory_path() / ("mv-registry-" + std::to_string(::getpid()) + ".ini");
    std::filesystem::remove(store);
    f.placement->SetUseRegistry(true);
    f.placement->SetRegistryFileName(store.string());
    f.placement->SetIniFileName("Software\\Morvelan\\Teste");
    f.form->Show();
    f.form->SetBounds(11, 12, 300, 200);
    f.placement->SavePlacement();
    platform::RegistryStore registry(store.string());
    ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software\\Morvelan\\Teste\\TFormTeste"));
    EXPECT_EQ(registry.ReadString("NormPos"), "11,12,311,212");
    f.form->SetBounds(0, 0, 300, 200);
    f.placement->RestorePlacement();
    EXPECT_EQ(f.form->Left(), 11);
    std::filesystem::remove(store);
}

} // namespace
} // namespace mv
