// The extract dialog driven through its widgets and the modal driver: the history in
// morvelan.ini (empty section, first write, a repeat in other case, the shift), the
// create-folder flow, trimming, the mapping of its controls to the choice, the tree
// and view buttons with their saved settings, and screenshots in the three languages.
#include "app/dialogs/ExtractDialog.h"

#include "app/common/LangStr.h"
#include "app/common/Sounds.h"
#include "controls/shell/ShellList.h"
#include "controls/shell/ShellTree.h"
#include "controls/toolkit/files/TypeAheadCombo.h"
#include "platform/IniFile.h"
#include "platform/Sound.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"
#include "tests/app/UserInput.h"
#include "tests/support/DesktopFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace mv {
namespace {

namespace fs = std::filesystem;
using mvtest::TempDir;

using mvtest::UserClick;

class ExtractDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        SetLanguageBase(lbPortuguese);
        SetSoundBackEnd(std::make_unique<TSilentSound>());
        ini = (dir / "morvelan.ini").string();
    }
    void TearDown() override {
        SetLanguageBase(lbPortuguese);
        // The dialog's widgets go when Qt deletes them later: a turn of an event loop lets it.
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // Shows the dialog for the choice; act runs while it is on screen (the user's
    // doing), then the form is left as act left it (closed by OK or by its close box).
    bool Run(TExtractChoice& choice, std::function<void(TfrmExtract&)> act) {
        TModalDriver driver;
        driver.Queue({TModalAction::maClickResult, 99, std::nullopt,
                      [&](TForm& f) { act(dynamic_cast<TfrmExtract&>(f)); }});
        for (auto& answer : boxAnswers) driver.Queue(answer);
        boxAnswers.clear();
        const bool ok = ShowExtractDialog(choice, ini);
        shown = driver.Shown();
        return ok;
    }
    std::vector<std::string> History() const {
        platform::IniFile file(ini);
        std::vector<std::string> out;
        for (int i = 1; i <= 10; ++i) out.push_back(file.ReadString("Extrair", "Diretorio" + std::to_string(i), "?"));
        return out;
    }
    void Extract(TfrmExtract& f, const std::string& folder) {
        f.DestinoCb->SetTextValue(folder);
        UserClick(f.ExtrairBtn);
    }

    TempDir dir;
    std::string ini;
    std::vector<TModalAnswer> boxAnswers;
    std::vector<TShownForm> shown;
};

TEST_F(ExtractDialogTest, TheHistoryKeepsTenFoldersMostRecentFirst) {
    const std::string a = (dir / "a").string() + "/", b = (dir / "b").string() + "/";
    fs::create_directories(a);
    fs::create_directories(b);
    // No section: ten empty items; the first extraction writes one folder and nine empty items.
    TExtractChoice choice;
    int items = -1;
    ASSERT_TRUE(Run(choice, [&](TfrmExtract& f) {
        items = f.DestinoCb->Items().Count();
        Extract(f, a);
    }));
    EXPECT_EQ(items, 10);
    std::vector<std::string> expected(10, "");
    expected[0] = a;
    EXPECT_EQ(History(), expected);
    EXPECT_EQ(choice.Folder, a);

    // The same folder in other case: nothing written, the order kept.
    std::string upper = a;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    fs::create_directories(upper);
    ASSERT_TRUE(Run(choice, [&](TfrmExtract& f) { Extract(f, upper); }));
    EXPECT_EQ(History(), expected);

    // A new folder goes first and the others move down.
    ASSERT_TRUE(Run(choice, [&](TfrmExtract& f) { Extract(f, b); }));
    expected = {b, a, "", "", "", "", "", "", "", ""};
    EXPECT_EQ(History(), expected);
    // The history fills the combo the next time, in that order.
    std::vector<std::string> offered;
    Run(choice, [&](TfrmExtract& f) {
        for (int i = 0; i < f.DestinoCb->Items().Count(); ++i) offered.push_back(f.DestinoCb->Items()[i]);
        f.Close();
    });
    EXPECT_EQ(offered, expected);
}

TEST_F(ExtractDialogTest, AMissingFolderIsCreatedOnRequestAndASecondPressExtracts) {
    const std::string missing = (dir / "new/deeper").string();
    TExtractChoice choice;
    boxAnswers.push_back({TModalAction::maClickResult, mrYes, std::nullopt, {}});
    bool stayedOpen = false;
    ASSERT_TRUE(Run(choice, [&](TfrmExtract& f) {
        Extract(f, "  " + missing + "  ");
        stayedOpen = f.ModalResult() == mrNone;
        EXPECT_EQ(f.DestinoCb->Text(), missing + "/");
        UserClick(f.ExtrairBtn);
    }));
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(fs::is_directory(missing));
    ASSERT_GE(shown.size(), 2u);
    EXPECT_NE(std::find(shown[1].Texts.begin(), shown[1].Texts.end(),
                        missing + "/ " + LoadLangStr(407) + "\n\n" + LoadLangStr(408)),
              shown[1].Texts.end());
    EXPECT_EQ(choice.Folder, missing + "/");
    EXPECT_EQ(History()[0], missing + "/");

    // No: nothing is made and the dialog stays; a folder that cannot be made: message 409.
    const std::string other = (dir / "other").string();
    boxAnswers.push_back({TModalAction::maClickResult, mrNo, std::nullopt, {}});
    std::ofstream(dir / "file") << "x";
    const std::string impossible = (dir / "file/sub").string();
    boxAnswers.push_back({TModalAction::maClickResult, mrYes, std::nullopt, {}});
    boxAnswers.push_back({TModalAction::maEnter, 0, std::nullopt, {}});
    EXPECT_FALSE(Run(choice, [&](TfrmExtract& f) {
        Extract(f, other);
        EXPECT_EQ(f.ModalResult(), mrNone);
        Extract(f, impossible);
        EXPECT_EQ(f.ModalResult(), mrNone);
        f.Close();
    }));
    EXPECT_FALSE(fs::exists(other));
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_NE(std::find(shown[3].Texts.begin(), shown[3].Texts.end(), LoadLangStr(409)), shown[3].Texts.end());
    // An empty destination does nothing.
    EXPECT_FALSE(Run(choice, [&](TfrmExtract& f) {
        Extract(f, "   ");
        EXPECT_EQ(f.ModalResult(), mrNone);
        f.Close();
    }));
}

TEST_F(ExtractDialogTest, TheControlsMapToTheChoice) {
    const std::string out = (dir / "out").string() + "/";
    fs::create_directories(out);
    struct Case {
        bool selectedOffered;
        std::function<void(TfrmExtract&)> set;
        int overwrite;
        std::string mask;
        bool selected;
        bool stored;
    } cases[] = {
        {false, [](TfrmExtract&) {}, 7, "*", false, true},
        {true, [](TfrmExtract&) {}, 7, "*", true, true},
        {false,
         [](TfrmExtract& f) {
             f.ArquivosRg->SetItemIndex(0);
             UserClick(f.UsaPastaChk);
         },
         5, "*", false, false},
        {true,
         [](TfrmExtract& f) {
             UserClick(f.MascaraRb);
             f.MascaraEdit->SetTextValue("*.txt");
         },
         7, "*.txt", false, true},
    };
    for (const Case& c : cases) {
        TExtractChoice choice;
        choice.Folder = out;
        choice.Selected = c.selectedOffered;
        bool enabled = false, checked = false, offered = false;
        ASSERT_TRUE(Run(choice, [&](TfrmExtract& f) {
            enabled = f.SelecionadosRb->Enabled();
            checked = f.SelecionadosRb->Checked();
            offered = f.DestinoCb->Text() == out;
            EXPECT_EQ(f.ArquivosRg->ItemIndex(), 1);
            c.set(f);
            UserClick(f.ExtrairBtn);
        }));
        EXPECT_EQ(enabled, c.selectedOffered);
        EXPECT_EQ(checked, c.selectedOffered);
        EXPECT_TRUE(offered);
        EXPECT_EQ(choice.OverwriteMode, c.overwrite);
        EXPECT_EQ(choice.Mask, c.mask);
        EXPECT_EQ(choice.Selected, c.selected);
        EXPECT_EQ(choice.StoredFolders, c.stored);
        EXPECT_EQ(choice.Folder, out);
    }
    // A proposed folder that cannot be reached is not offered.
    TExtractChoice choice;
    choice.Folder = (dir / "gone").string();
    std::string offered = "?";
    Run(choice, [&](TfrmExtract& f) {
        offered = f.DestinoCb->Text();
        f.Close();
    });
    EXPECT_EQ(offered, "");
}

TEST_F(ExtractDialogTest, TreeAndViewButtonsAndTheirSettings) {
    TExtractChoice choice;
    Run(choice, [&](TfrmExtract& f) {
        // The defaults: tree shown, 10-pixel splitter, details view.
        EXPECT_TRUE(f.ArvoreBtn->Down());
        EXPECT_TRUE(f.ArvoreTv->Visible());
        EXPECT_EQ(f.Splitter1->Width(), 10);
        EXPECT_EQ(f.TreeWidth(), 169);
        EXPECT_TRUE(f.SpeedButton4->Down());
        EXPECT_EQ(f.ViewStyle(), 3);
        UserClick(f.ArvoreBtn);
        EXPECT_FALSE(f.ArvoreBtn->Down());
        EXPECT_FALSE(f.ArvoreTv->Visible());
        EXPECT_EQ(f.Splitter1->Width(), 0);
        EXPECT_EQ(f.ArquivosLv->Left(), 8);
        UserClick(f.SpeedButton2);
        EXPECT_EQ(f.ViewStyle(), 1);
        EXPECT_TRUE(f.SpeedButton2->Down());
        EXPECT_FALSE(f.SpeedButton4->Down());
        f.Close();
    });
    platform::IniFile file(ini);
    EXPECT_EQ(file.ReadString("Form Extrair", "Arvore", ""), "NAO");
    EXPECT_EQ(file.ReadString("Form Extrair", "Estilo", ""), "2");
    EXPECT_EQ(file.ReadString("Form Extrair", "Largura Arvore", ""), "169");
    // Read back the next time.
    Run(choice, [&](TfrmExtract& f) {
        EXPECT_FALSE(f.ArvoreBtn->Down());
        EXPECT_FALSE(f.ArvoreTv->Visible());
        EXPECT_TRUE(f.SpeedButton2->Down());
        EXPECT_EQ(f.ViewStyle(), 1);
        f.Close();
    });
    // "S", "T", "V" and "SIM" in any case read as yes.
    for (const char* yes : {"s", "T", "v", "Sim"}) {
        platform::IniFile(ini).WriteString("Form Extrair", "Arvore", yes);
        bool down = false;
        Run(choice, [&](TfrmExtract& f) {
            down = f.ArvoreBtn->Down();
            f.Close();
        });
        EXPECT_TRUE(down) << yes;
    }
}

TEST_F(ExtractDialogTest, SizeFollowsTheScreenAndTheParentButtonMovesUp) {
    TExtractChoice choice;
    choice.Folder = (dir / "x").string();
    fs::create_directories(choice.Folder);
    Run(choice, [&](TfrmExtract& f) {
        if (ScreenWidth() > 700) {
            EXPECT_EQ(f.ClientWidth(), 724);
            EXPECT_EQ(f.ClientHeight(), 535);
        } else {
            EXPECT_EQ(f.ClientWidth(), 567);
            EXPECT_EQ(f.ClientHeight(), 424);
        }
        UserClick(f.ParentButton);
        EXPECT_EQ(f.DestinoCb->Text(), dir.Path().string() + "/");
        f.Close();
    });
}

TEST_F(ExtractDialogTest, ScreenshotsInTheThreeLanguages) {
    const std::string folder = mvtest::ScreenshotFolder("extract");
    const std::pair<int32_t, const char*> languages[] = {{lbPortuguese, "pt"}, {lbEnglish, "en"}, {lbSpanish, "es"}};
    for (const auto& [base, code] : languages) {
        SetLanguageBase(base);
        for (bool tree : {true, false}) {
            platform::IniFile(ini).WriteString("Form Extrair", "Arvore", tree ? "SIM" : "NAO");
            TExtractChoice choice;
            choice.Folder = dir.Path().string();
            choice.Selected = true;
            std::string caption;
            Run(choice, [&](TfrmExtract& f) {
                caption = f.Caption();
                const std::string path =
                    folder + "/extract-dialog-" + (tree ? "tree" : "notree") + "-" + code + ".png";
                EXPECT_TRUE(SaveControlImage(f, path)) << path;
                f.Close();
            });
            EXPECT_EQ(caption, LoadLangStr(410));
        }
    }
}

} // namespace
} // namespace mv
