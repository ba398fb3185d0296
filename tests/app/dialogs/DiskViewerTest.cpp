// The disk viewer driven through its widgets and the modal driver on fake drives: the
// free-space text in the three languages (and an empty field without a medium), files
// and a folder deleted to the trash after the user's yes, the format button only on
// removable drives (a fake format layer), the saved look in "Form Visualizar", F5, the
// way in from the next-disk prompt, and screenshots in the three languages.
#include "app/dialogs/DiskViewer.h"

#include "app/common/LangStr.h"
#include "app/common/Sounds.h"
#include "app/dialogs/SmallPrompts.h"
#include "app/mainwindow/FormPrincipal.h"
#include "controls/shell/ShellList.h"
#include "controls/shell/ShellTree.h"
#include "platform/FakeFileSystem.h"
#include "platform/FormatDrive.h"
#include "platform/IniFile.h"
#include "platform/Sound.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/ListView.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"
#include "platform/ui/TreeView.h"
#include "tests/app/UserInput.h"
#include "tests/support/DesktopFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include <unistd.h>

namespace mv {
namespace {

namespace fs = std::filesystem;
using mvtest::TempDir;

using mvtest::UserClick;

void Pump() {
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
}

void WriteBytes(const fs::path& p, size_t n) {
    fs::create_directories(p.parent_path());
    mvtest::WriteFileBytes(p, std::vector<uint8_t>(n, 'x'));
}

// Records what the format layer was asked; answers "formatted".
struct FakeFormat : platform::FormatDriveLayer {
    std::vector<std::string>* paths;
    explicit FakeFormat(std::vector<std::string>* p) : paths(p) {}
    platform::FormatDriveResult Format(const platform::FormatDriveRequest& request) override {
        paths->push_back(request.Path);
        return {0, false};
    }
};

class DiskViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        SetLanguageBase(lbPortuguese);
        SetSoundBackEnd(std::make_unique<TSilentSound>());
        ini = (desktop.Root() / "morvelan.ini").string();
        usb = (dir / "usb").string();
        disk = (dir / "disk").string();
        // 1,457,664 bytes free on the empty removable drive: 1,423 whole kilobytes.
        fake.AddDrive(usb, 1'457'664, platform::DriveKind::Removable, "USB", 1);
        fake.AddDrive(disk, 10'000'000, platform::DriveKind::Fixed, "DISK", 2);
        platform::SetFormatDriveLayer(std::make_unique<FakeFormat>(&formatted));
    }
    void TearDown() override {
        platform::SetFormatDriveLayer(nullptr);
        SetLanguageBase(lbPortuguese);
        Pump();
    }

    // Shows the viewer; act runs while it is on screen; then come the queued answers.
    void Show(const std::string& folder, bool formatEnabled, std::function<void(TFrmExplorer&)> act) {
        TModalDriver driver;
        driver.Queue({TModalAction::maClickResult, 99, std::nullopt,
                      [&](TForm& f) { act(dynamic_cast<TFrmExplorer&>(f)); }});
        for (auto& answer : answers) driver.Queue(answer);
        answers.clear();
        ShowDiskViewer(folder, formatEnabled, ini);
        shown = driver.Shown();
    }
    static void SelectNames(TFrmExplorer& f, const std::vector<std::string>& names) {
        f.ArquivosLv->ClearSelection();
        for (const std::string& name : names) {
            const int row = f.ArquivosLv->IndexOfName(name);
            ASSERT_GE(row, 0) << name;
            f.ArquivosLv->SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
        }
    }
    static fs::path Trash(const std::string& drive) { return fs::path(drive) / (".Trash-" + std::to_string(::getuid())); }

    mvtest::DesktopFixture desktop;
    TempDir dir;
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use{fake};
    std::string ini, usb, disk;
    std::vector<std::string> formatted;
    std::vector<TModalAnswer> answers;
    std::vector<TShownForm> shown;
};

TEST_F(DiskViewerTest, FreeSpaceTextInEachLanguageAndEmptyWithoutAMedium) {
    const struct {
        int32_t base;
        const char* text;
    } cases[] = {{lbPortuguese, "1.423 Kbytes livres"}, {lbEnglish, "1,423 Kbytes free"}, {lbSpanish, "1.423 Kbytes libres"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SetLanguageBase(c.base);
        std::string text;
        Show(usb, true, [&](TFrmExplorer& f) {
            text = f.EspacoLivreEdit->Text();
            f.Close();
        });
        EXPECT_EQ(text, c.text);
    }
    SetLanguageBase(lbPortuguese);
    EXPECT_EQ(FreeSpaceText(1023), "0 Kbytes livres");
    // Above 4 GB the figure is whole: no 32-bit wrap.
    EXPECT_EQ(FreeSpaceText(uint64_t{5} << 40), "5.368.709.120 Kbytes livres");

    // No medium in the drive: the viewer still opens, with an empty field.
    fake.DriveOf(usb)->EjectMedium();
    bool opened = false;
    std::string text = "?";
    Show(usb, true, [&](TFrmExplorer& f) {
        opened = true;
        text = f.EspacoLivreEdit->Text();
        f.Close();
    });
    EXPECT_TRUE(opened);
    EXPECT_EQ(text, "");
}

TEST_F(DiskViewerTest, DeleteMovesTheChosenItemsToTheTrashAfterTheUsersYes) {
    WriteBytes(fs::path(disk) / "old1.bin", 10);
    WriteBytes(fs::path(disk) / "old2.bin", 20);
    WriteBytes(fs::path(disk) / "keep.bin", 30);
    WriteBytes(fs::path(disk) / "folder/inside.bin", 40);

    // No: nothing moves.
    answers.push_back({TModalAction::maClickResult, mrNo, std::nullopt, {}});
    Show(disk, false, [&](TFrmExplorer& f) {
        SelectNames(f, {"old1.bin", "old2.bin"});
        UserClick(f.DeleteBtn);
        f.Close();
    });
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(fs::exists(fs::path(disk) / "old1.bin"));
    EXPECT_FALSE(fs::exists(Trash(disk) / "files/old1.bin"));

    // Yes: the two files go to the trash with their records, the list shows the rest.
    answers.push_back({TModalAction::maClickResult, mrYes, std::nullopt, {}});
    bool listed = true, kept = false;
    Show(disk, false, [&](TFrmExplorer& f) {
        SelectNames(f, {"old1.bin", "old2.bin"});
        UserClick(f.DeleteBtn);
        listed = f.ArquivosLv->IndexOfName("old1.bin") >= 0 || f.ArquivosLv->IndexOfName("old2.bin") >= 0;
        kept = f.ArquivosLv->IndexOfName("keep.bin") >= 0;
        f.Close();
    });
    ASSERT_EQ(shown.size(), 2u);
    // The question names what goes.
    bool named = false;
    for (const std::string& t : shown[1].Texts)
        named = named || t == LoadLangStr(3150) + "\n\n" + disk + "/old1.bin\n" + disk + "/old2.bin";
    EXPECT_TRUE(named);
    EXPECT_FALSE(listed);
    EXPECT_TRUE(kept);
    // The drive is a file system of its own: its trash is the one at its top.
    const fs::path trash = Trash(disk);
    for (const char* name : {"old1.bin", "old2.bin"}) {
        EXPECT_FALSE(fs::exists(fs::path(disk) / name)) << name;
        EXPECT_TRUE(fs::exists(trash / "files" / name)) << name;
        EXPECT_TRUE(fs::exists(trash / "info" / (std::string(name) + ".trashinfo"))) << name;
    }
    EXPECT_EQ(fs::file_size(trash / "files/old2.bin"), 20u);
    EXPECT_TRUE(fs::exists(fs::path(disk) / "keep.bin"));

    // With the tree focused its folder goes, with what is in it.
    platform::IniFile(ini).WriteString(DiskViewerSection, "Arvore", "SIM");
    answers.push_back({TModalAction::maClickResult, mrYes, std::nullopt, {}});
    Show(disk + "/folder", false, [&](TFrmExplorer& f) {
        ASSERT_TRUE(f.ArvoreTv->Visible());
        EXPECT_EQ(f.ArvoreTv->GetSelectedPath(), disk + "/folder");
        f.ArvoreTv->SetFocus();
        Pump();
        ASSERT_TRUE(f.ArvoreTv->Focused());
        UserClick(f.DeleteBtn);
        f.Close();
    });
    EXPECT_FALSE(fs::exists(fs::path(disk) / "folder"));
    EXPECT_TRUE(fs::exists(Trash(disk) / "files/folder/inside.bin"));
    EXPECT_TRUE(fs::exists(fs::path(disk) / "keep.bin"));

    // A folder on the home's own file system: the user's trash.
    const fs::path plain = dir / "plain";
    WriteBytes(plain / "gone.txt", 5);
    platform::IniFile(ini).WriteString(DiskViewerSection, "Arvore", "NAO");
    answers.push_back({TModalAction::maClickResult, mrYes, std::nullopt, {}});
    Show(plain.string(), false, [&](TFrmExplorer& f) {
        SelectNames(f, {"gone.txt"});
        UserClick(f.DeleteBtn);
        f.Close();
    });
    EXPECT_FALSE(fs::exists(plain / "gone.txt"));
    EXPECT_TRUE(fs::exists(desktop.Data() / "Trash/files/gone.txt"));
    EXPECT_TRUE(fs::exists(desktop.Data() / "Trash/info/gone.txt.trashinfo"));
}

TEST_F(DiskViewerTest, FormatOnlyOnRemovableDrivesThenTheViewerCloses) {
    const struct {
        std::string folder;
        bool formatEnabled;
        bool enabled;
    } cases[] = {
        {disk, true, false},  // a fixed drive never
        {usb, false, false},  // the caller said no
        {usb, true, true},    // a removable drive the caller offers
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder + (c.formatEnabled ? " offered" : ""));
        bool enabled = !c.enabled;
        Show(c.folder, c.formatEnabled, [&](TFrmExplorer& f) {
            enabled = f.FormatarBtn->Enabled();
            if (!enabled) f.Close();
        });
        EXPECT_EQ(enabled, c.enabled);
        EXPECT_TRUE(formatted.empty());
    }
    // The click hands the drive to the format layer and closes the viewer.
    Show(usb, true, [&](TFrmExplorer& f) { UserClick(f.FormatarBtn); });
    ASSERT_EQ(formatted.size(), 1u);
    EXPECT_EQ(formatted[0], usb);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].ModalResult, mrNone);
}

TEST_F(DiskViewerTest, SettingsDefaultsAndWriteBack) {
    // No section: the tree hidden, the details view, the tree 169 wide.
    Show(disk, false, [&](TFrmExplorer& f) {
        EXPECT_FALSE(f.ArvoreBtn->Down());
        EXPECT_FALSE(f.ArvoreTv->Visible());
        EXPECT_EQ(f.Splitter1->Width(), 0);
        EXPECT_TRUE(f.DetailsBtn->Down());
        EXPECT_EQ(f.ViewStyle(), 3);
        EXPECT_EQ(f.TreeWidth(), 169);
        // The user shows the tree and picks the list view.
        UserClick(f.ArvoreBtn);
        UserClick(f.ListBtn);
        EXPECT_TRUE(f.ArvoreTv->Visible());
        EXPECT_EQ(f.Splitter1->Width(), 7);
        UserClick(f.SairBtn);
    });
    platform::IniFile file(ini);
    EXPECT_EQ(file.ReadString(DiskViewerSection, "Arvore", "?"), "SIM");
    EXPECT_EQ(file.ReadString(DiskViewerSection, "Estilo", "?"), "3");
    EXPECT_EQ(file.ReadString(DiskViewerSection, "Largura Arvore", "?"), "169");
    // The next time the viewer comes back so; "S" reads as yes.
    file.WriteString(DiskViewerSection, "Arvore", "s");
    file.WriteString(DiskViewerSection, "Largura Arvore", "200");
    Show(disk, false, [&](TFrmExplorer& f) {
        EXPECT_TRUE(f.ArvoreTv->Visible());
        EXPECT_EQ(f.ArvoreTv->Width(), 200);
        EXPECT_TRUE(f.ListBtn->Down());
        UserClick(f.ArvoreBtn);
        f.Close();
    });
    EXPECT_EQ(platform::IniFile(ini).ReadString(DiskViewerSection, "Arvore", "?"), "NAO");
}

TEST_F(DiskViewerTest, F5ShowsTheDiskAgain) {
    std::string before, after;
    bool listedBefore = true, listedAfter = false;
    Show(usb, true, [&](TFrmExplorer& f) {
        before = f.EspacoLivreEdit->Text();
        WriteBytes(fs::path(usb) / "new.bin", 102'400);
        listedBefore = f.ArquivosLv->IndexOfName("new.bin") >= 0;
        f.ArquivosLv->SetFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
        QApplication::sendEvent(f.ArquivosLv->Widget(), &press);
        listedAfter = f.ArquivosLv->IndexOfName("new.bin") >= 0;
        after = f.EspacoLivreEdit->Text();
        f.Close();
    });
    EXPECT_EQ(before, "1.423 Kbytes livres");
    EXPECT_FALSE(listedBefore);
    EXPECT_TRUE(listedAfter);
    EXPECT_EQ(after, "1.323 Kbytes livres");
}

TEST_F(DiskViewerTest, SoundsAndTheSharedPlacementSection) {
    WriteBytes(fs::path(usb) / "a.bin", 10);
    auto backEnd = std::make_unique<TRecordingSound>();
    TRecordingSound* recorder = backEnd.get();
    SetSoundBackEnd(std::move(backEnd));
    SetSoundsOption(true);
    SetSoundsEnabled(false); // the next-disk prompt cleared it; the viewer sets it again
    answers.push_back({TModalAction::maClickResult, mrNo, std::nullopt, {}});
    bool enabledOnShow = false;
    Show(usb, true, [&](TFrmExplorer& f) {
        enabledOnShow = SoundsEnabled();
        recorder->Finish();
        SelectNames(f, {"a.bin"});
        UserClick(f.DeleteBtn);
        recorder->Finish();
        UserClick(f.SmallIconsBtn);
        recorder->Finish();
        UserClick(f.FormatarBtn);
    });
    SetSoundsOption(false);
    EXPECT_TRUE(enabledOnShow);
    EXPECT_EQ(recorder->Played(), (std::vector<std::string>{"LIXO", "CLEK", "BEEP"}));
    EXPECT_TRUE(fs::exists(fs::path(usb) / "a.bin"));
    // The window's placement is kept with the extract dialog's.
    EXPECT_TRUE(platform::IniFile(ini).SectionExists("Form Extrair"));
}

TEST_F(DiskViewerTest, TheNextDiskPromptOpensTheViewerThroughTheMainWindow) {
    // The main window puts the viewer behind the prompt's browse button.
    TFormPrincipal main(nullptr);
    TModalDriver driver;
    driver.Click(mrOk, [&](TForm& f) {
        for (TControl* c : AllControls(f))
            if (c->Name() == "NavegaBtn") static_cast<TButton*>(c)->Click();
    });
    bool formatEnabled = false;
    std::string caption;
    driver.Queue({TModalAction::maClickResult, 99, std::nullopt, [&](TForm& f) {
                      auto& viewer = dynamic_cast<TFrmExplorer&>(f);
                      caption = viewer.Caption();
                      formatEnabled = viewer.FormatarBtn->Enabled();
                      viewer.Close();
                  }});
    EXPECT_EQ(ShowNextDiskPrompt("Insira o disco 2", usb + "/set.zip"), mrOk);
    EXPECT_EQ(caption, LoadLangStr(355));
    EXPECT_TRUE(formatEnabled);
    EXPECT_EQ(driver.Unanswered(), 0);
}

TEST_F(DiskViewerTest, ScreenshotsInTheThreeLanguages) {
    WriteBytes(fs::path(usb) / "part1.zip", 1000);
    WriteBytes(fs::path(usb) / "notes/readme.txt", 100);
    const std::string folder = mvtest::ScreenshotFolder("diskviewer");
    const std::pair<int32_t, const char*> languages[] = {{lbPortuguese, "pt"}, {lbEnglish, "en"}, {lbSpanish, "es"}};
    for (const auto& [base, code] : languages) {
        SetLanguageBase(base);
        for (bool tree : {false, true}) {
            platform::IniFile(ini).WriteString(DiskViewerSection, "Arvore", tree ? "SIM" : "NAO");
            std::string caption;
            const std::string path = folder + "/diskviewer-" + (tree ? "tree" : "notree") + "-" + code + ".png";
            Show(usb, true, [&](TFrmExplorer& f) {
                caption = f.Caption();
                EXPECT_TRUE(SaveControlImage(f, path)) << path;
                f.Close();
            });
            EXPECT_EQ(caption, LoadLangStr(355));
        }
    }
}

} // namespace
} // namespace mv
