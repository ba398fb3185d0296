// The add dialog driven through its widgets and the modal driver: picking items in
// selection and check mode, the mask prompt's table, duplicates, the marks' click
// cycle, the counting with its expand rule, the type radios' table, the multi-disk
// choices by fake drive, the password prompt with its padlock, the destination's
// extension, and screenshots in the three languages.
#include "app/dialogs/AddDialog.h"

#include "app/common/LangStr.h"
#include "app/common/Sounds.h"
#include "app/dialogs/SmallPrompts.h"
#include "controls/shell/ShellList.h"
#include "controls/toolkit/checklist/CheckListBox.h"
#include "platform/FakeFileSystem.h"
#include "platform/IniFile.h"
#include "platform/Sound.h"
#include "platform/ui/ListView.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"
#include "tests/app/UserInput.h"
#include "tests/support/DesktopFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

namespace mv {
namespace {

namespace fs = std::filesystem;
using mvtest::TempDir;

using mvtest::UserClick;

std::vector<std::string> ComboItems(TComboBox* combo) {
    std::vector<std::string> out;
    for (int i = 0; i < combo->Items().Count(); ++i) out.push_back(combo->Items()[i]);
    return out;
}

std::vector<std::string> SpecTexts(const TfrmAddFiles& f) {
    std::vector<std::string> out;
    for (int i = 0; i < f.AdicionadosLb->Items().Count(); ++i) out.push_back(f.AdicionadosLb->Items().Strings(i));
    return out;
}

class AddDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        SetLanguageBase(lbPortuguese);
        SetSoundBackEnd(std::make_unique<TSilentSound>());
        ini = (dir / "morvelan.ini").string();
        // a.txt (10 bytes), b.log (5), docs/readme.txt (3), docs/deep/readme.txt (4), docs/x.txt (6)
        mvtest::WriteFileText(dir / "src/a.txt", "0123456789");
        mvtest::WriteFileText(dir / "src/b.log", "abcde");
        mvtest::WriteFileText(dir / "src/docs/readme.txt", "top");
        mvtest::WriteFileText(dir / "src/docs/deep/readme.txt", "deep");
        mvtest::WriteFileText(dir / "src/docs/x.txt", "xxxxxx");
        mvtest::WriteFileText(dir / "src/other/o.txt", "o");
        src = (dir / "src").string();
    }
    void TearDown() override {
        SetLanguageBase(lbPortuguese);
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // Shows the dialog for the setup; act runs while it is on screen; nested answers
    // go to the forms it opens.
    bool Show(TAddSetup setup, const std::function<void(TfrmAddFiles&)>& act,
              const std::vector<TModalAnswer>& nested = {}, TAddChoice* out = nullptr) {
        TModalDriver driver;
        driver.Queue({TModalAction::maClickResult, 99, std::nullopt,
                      [&](TForm& f) { act(dynamic_cast<TfrmAddFiles&>(f)); }});
        for (const auto& a : nested) driver.Queue(a);
        TAddChoice choice;
        const bool ok = ShowAddDialog(setup, choice, ini);
        shown = driver.Shown();
        if (out) *out = choice;
        return ok;
    }
    TAddSetup Setup(bool newArchive = true) {
        TAddSetup s;
        s.Archive = (dir / "out/new.zip").string();
        s.NewArchive = newArchive;
        s.StartFolder = src;
        return s;
    }
    static void Select(TfrmAddFiles& f, const std::vector<std::string>& names) {
        f.ArquivosLv->ClearSelection();
        for (const auto& n : names) {
            const int row = f.ArquivosLv->IndexOfName(n);
            ASSERT_GE(row, 0) << n;
            f.ArquivosLv->SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
        }
    }
    static TModalAnswer Mask(const std::string& text, bool subfolders) {
        return {TModalAction::maClickResult, mrOk, text, [subfolders](TForm& form) {
                    dynamic_cast<TFrmMascara&>(form).SubPastasChk->SetChecked(subfolders);
                }};
    }

    TempDir dir;
    std::string ini, src;
    std::vector<TShownForm> shown;
};

TEST_F(AddDialogTest, MasksFromThePromptAndDuplicatesSkipped) {
    // mask typed -> mask kept in the specification
    const std::pair<std::string, std::string> masks[] = {
        {"txt", "txt"}, {".txt", "*.txt"}, {"x", "*.*"}, {"", "*.*"}, {"*.log", "*.log"}};
    for (const auto& [typed, kept] : masks) {
        SCOPED_TRACE(typed);
        std::vector<std::string> specs;
        Show(
            Setup(),
            [&](TfrmAddFiles& f) {
                Select(f, {"docs"});
                UserClick(f.btnAddDir);
                specs = SpecTexts(f);
                f.Close();
            },
            {Mask(typed, true)});
        EXPECT_EQ(specs, std::vector<std::string>{src + "/docs/" + kept});
    }
    // a file twice leaves one item; no mask prompt for files; Cancel in the prompt adds nothing
    std::vector<std::string> specs;
    bool okEnabled = false;
    Show(
        Setup(),
        [&](TfrmAddFiles& f) {
            Select(f, {"a.txt"});
            UserClick(f.btnAddDir);
            UserClick(f.btnAddDir);
            okEnabled = f.btnOK->Enabled();
            Select(f, {"other"});
            UserClick(f.btnAddDir); // the prompt is cancelled
            specs = SpecTexts(f);
            EXPECT_EQ(f.AdicionadosLb->GetItemState(0), TCheckBoxState::cbGrayed);
            f.Close();
        },
        {{TModalAction::maClickResult, mrCancel, std::nullopt, {}}});
    EXPECT_EQ(specs, std::vector<std::string>{src + "/a.txt"});
    EXPECT_TRUE(okEnabled);
    ASSERT_EQ(shown.size(), 2u); // the dialog and one mask prompt
}

TEST_F(AddDialogTest, CheckModeAddsTheMarkedItems) {
    std::vector<std::string> specs;
    Show(Setup(), [&](TfrmAddFiles& f) {
        UserClick(f.CheckBoxBtn);
        EXPECT_TRUE(f.CheckBoxBtn->Down());
        EXPECT_FALSE(f.ArquivosLv->MultiSelect());
        Select(f, {"a.txt"}); // selected, not marked: not chosen
        f.SetListItemChecked(f.ArquivosLv->IndexOfName("b.log"), true);
        UserClick(f.btnAddDir);
        specs = SpecTexts(f);
        f.Close();
    });
    EXPECT_EQ(specs, std::vector<std::string>{src + "/b.log"});
}

TEST_F(AddDialogTest, MarksCycleAndTheCountFollows) {
    Show(
        Setup(),
        [&](TfrmAddFiles& f) {
            Select(f, {"a.txt", "docs"});
            UserClick(f.btnAddDir);
            ASSERT_EQ(f.AdicionadosLb->Items().Count(), 2);
            const std::vector<std::string> texts = SpecTexts(f);
            const int file = static_cast<int>(std::find(texts.begin(), texts.end(), src + "/a.txt") - texts.begin());
            const int folder = 1 - file;
            ASSERT_LT(file, 2);
            EXPECT_EQ(f.AdicionadosLb->GetItemState(folder), TCheckBoxState::cbUnchecked);
            // without subfolders: a.txt and docs/readme.txt, docs/x.txt
            EXPECT_EQ(f.FilesFound, 3);
            EXPECT_EQ(f.BytesFound, 10 + 3 + 6);
            EXPECT_EQ(f.TamanhoLb->Caption(), "19 bytes");
            // a click on the file's mark leaves it grey
            f.AdicionadosLb->ToggleItem(file);
            EXPECT_EQ(f.AdicionadosLb->GetItemState(file), TCheckBoxState::cbGrayed);
            // the folder alternates checked and unchecked, and is counted again
            f.AdicionadosLb->ToggleItem(folder);
            EXPECT_EQ(f.AdicionadosLb->GetItemState(folder), TCheckBoxState::cbChecked);
            EXPECT_EQ(f.FilesFound, 4);
            EXPECT_EQ(f.FoldersFound, 1);
            EXPECT_EQ(f.PastasLb->Caption(), "1");
            f.AdicionadosLb->ToggleItem(folder);
            EXPECT_EQ(f.AdicionadosLb->GetItemState(folder), TCheckBoxState::cbUnchecked);
            EXPECT_EQ(f.FilesFound, 3);
            // removing the current item counts again
            f.AdicionadosLb->SetItemIndex(folder);
            UserClick(f.RemoverItemBtn);
            EXPECT_EQ(SpecTexts(f), std::vector<std::string>{src + "/a.txt"});
            EXPECT_EQ(f.FilesFound, 1);
            f.Close();
        },
        {Mask("*.txt", false)});
}

TEST_F(AddDialogTest, AnUncheckedFolderBesideARecursiveOneGoesFileByFile) {
    TAddChoice choice;
    ASSERT_TRUE(Show(
        Setup(),
        [&](TfrmAddFiles& f) {
            f.AddSpecification(src + "/docs/*.txt", true, true);  // A, with subfolders
            f.AddSpecification(src + "/other/*.*", true, false); // B, that folder only
            f.AddSpecification(src + "/a.txt", false, false);    // a single file
            f.ScanFileSpecs(true, 0);
            EXPECT_TRUE(f.AnyRecursive);
            f.btnOK->SetEnabled(true);
            UserClick(f.btnOK);
        },
        {}, &choice));
    EXPECT_EQ(choice.FileSpecs,
              (std::vector<std::string>{src + "/docs/*.txt", src + "/other/o.txt", src + "/a.txt"}));
    EXPECT_TRUE(choice.AnyRecursive);
    // every file found with the folder of its specification, sorted by name
    std::vector<std::pair<std::string, std::string>> found;
    for (const auto& f : choice.Found) found.emplace_back(f.Name, f.Root);
    const std::string s = src.substr(1);
    EXPECT_EQ(found, (std::vector<std::pair<std::string, std::string>>{
                         {s + "/a.txt", s + "/"},
                         {s + "/docs/deep/readme.txt", s + "/docs/"},
                         {s + "/docs/readme.txt", s + "/docs/"},
                         {s + "/docs/x.txt", s + "/docs/"},
                         {s + "/other/o.txt", s + "/other/"}}));
    // only unchecked folders: the specifications as they are
    ASSERT_TRUE(Show(
        Setup(),
        [&](TfrmAddFiles& f) {
            f.AddSpecification(src + "/other/*.*", true, false);
            f.ScanFileSpecs(true, 0);
            f.btnOK->SetEnabled(true);
            UserClick(f.btnOK);
        },
        {}, &choice));
    EXPECT_EQ(choice.FileSpecs, std::vector<std::string>{src + "/other/*.*"});
    EXPECT_FALSE(choice.AnyRecursive);
}

TEST_F(AddDialogTest, TypeRadiosSetMethodsMultiDiskPasswordAndExtension) {
    struct Row {
        TAddArchiveKind Kind;
        std::vector<std::string> Methods;
        std::string Default;
        bool MultiDisk, Password;
        std::string Ext;
    };
    const std::string store = LoadLangStr(74), fast = LoadLangStr(635), normal = LoadLangStr(637),
                      slow = LoadLangStr(636);
    const Row rows[] = {
        {TAddArchiveKind::akLha, {store, "Frozen1", "Frozen5"}, "Frozen5", false, false, ".lha"},
        {TAddArchiveKind::akCab, {store, "MsZip", "Quantum", "Lzx"}, "MsZip", false, false, ".cab"},
        {TAddArchiveKind::akBh, {fast, normal, slow}, normal, false, true, ".bh"},
        {TAddArchiveKind::akGZip, {fast, normal, slow}, normal, false, false, ".gz"},
        {TAddArchiveKind::akTar, {"Tarred", "GzipTar"}, "Tarred", false, false, ".tar"},
        {TAddArchiveKind::akJar, {fast, normal, slow}, normal, false, true, ".jar"},
        {TAddArchiveKind::akZip, {store, fast, normal, slow}, normal, true, true, ".zip"},
    };
    TAddSetup setup = Setup();
    setup.Items = {src + "/a.txt"}; // a caller's list: the destination is shown
    Show(setup, [&](TfrmAddFiles& f) {
        EXPECT_TRUE(f.DestinationShown());
        EXPECT_EQ(f.DestinoEdit->Text(), setup.Archive);
        for (const Row& r : rows) {
            SCOPED_TRACE(r.Ext);
            UserClick(f.TypeRadio(r.Kind));
            EXPECT_EQ(ComboItems(f.MetodoCb), r.Methods);
            EXPECT_EQ(f.MetodoCb->Text(), r.Default);
            EXPECT_EQ(f.MultiDiscosGB->Enabled(), r.MultiDisk);
            EXPECT_EQ(f.BtnPassword->Enabled(), r.Password);
            EXPECT_EQ(f.DestinoEdit->Text(), (dir / ("out/new" + r.Ext)).string());
        }
        // an empty destination disables OK
        f.DestinoEdit->SetTextValue(" ");
        EXPECT_FALSE(f.btnOK->Enabled());
        f.DestinoEdit->SetTextValue((dir / "out/x.zip").string());
        EXPECT_TRUE(f.btnOK->Enabled());
        f.Close();
    });
}

TEST_F(AddDialogTest, MultiDiskChoicesFollowTheDrive) {
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem scope(fake);
    fake.AddDrive((dir / "floppy").string(), 1457664, platform::DriveKind::Removable, "DISK", 1);
    fake.AddDrive((dir / "hd").string(), 1u << 30, platform::DriveKind::Fixed, "HD", 2);
    const std::vector<std::string> removable = {LoadLangStr(612), LoadLangStr(613), LoadLangStr(372)};
    const std::vector<std::string> fixed = {LoadLangStr(613), LoadLangStr(614)};
    for (const auto& [folder, expected] :
         std::vector<std::pair<std::string, std::vector<std::string>>>{{"floppy", removable}, {"hd", fixed}}) {
        SCOPED_TRACE(folder);
        TAddSetup setup = Setup();
        setup.Archive = (dir / folder / "new.zip").string();
        Show(setup, [&](TfrmAddFiles& f) {
            EXPECT_EQ(ComboItems(f.MultiDiscosCb), expected);
            EXPECT_EQ(f.MultiDiscosCb->ItemIndex(), 0);
            EXPECT_FALSE(f.BytesEdit->Enabled());
            f.MultiDiscosCb->SetItemIndex(static_cast<int>(expected.size()) - 1);
            EXPECT_EQ(f.BytesEdit->Enabled(), folder == "hd");
            EXPECT_EQ(f.BytesEdit->Text(), "1457600");
            f.Close();
        });
    }
    // an existing archive: the group is off and its type cannot change
    Show(Setup(false), [&](TfrmAddFiles& f) {
        EXPECT_FALSE(f.MultiDiscosGB->Enabled());
        EXPECT_FALSE(f.rbLha->Enabled());
        f.Close();
    });
}

TEST_F(AddDialogTest, PasswordSetsThePadlock) {
    TAddChoice choice;
    ASSERT_TRUE(Show(
        Setup(),
        [&](TfrmAddFiles& f) {
            EXPECT_FALSE(f.PasswordSet());
            UserClick(f.BtnPassword);
            EXPECT_EQ(f.ChosenPassword, "secret");
            EXPECT_TRUE(f.PasswordSet());
            Select(f, {"a.txt"});
            UserClick(f.btnAddDir);
            UserClick(f.btnOK);
        },
        {{TModalAction::maClickResult, 99, std::nullopt,
          [](TForm& form) {
              auto& p = dynamic_cast<TFrmPassword&>(form);
              p.SenhaEdit->SetTextValue(" secret ");
              p.ConfirmacaoEdit->SetTextValue(" secret ");
              UserClick(p.OkBtn);
          }}},
        &choice));
    EXPECT_EQ(choice.Password, "secret");
    // Cancel in the prompt: no password
    Show(
        Setup(),
        [&](TfrmAddFiles& f) {
            UserClick(f.BtnPassword);
            EXPECT_FALSE(f.PasswordSet());
            f.Close();
        },
        {{TModalAction::maClickResult, mrCancel, std::nullopt, {}}});
}

TEST_F(AddDialogTest, ScreenshotsInTheThreeLanguages) {
    const std::string folder = mvtest::ScreenshotFolder("add");
    const std::pair<int32_t, const char*> languages[] = {{lbPortuguese, "pt"}, {lbEnglish, "en"}, {lbSpanish, "es"}};
    for (const auto& [base, code] : languages) {
        SetLanguageBase(base);
        for (TAddArchiveKind kind : {TAddArchiveKind::akZip, TAddArchiveKind::akLha}) {
            const std::string name = kind == TAddArchiveKind::akZip ? "zip" : "lha";
            Show(
                Setup(),
                [&](TfrmAddFiles& f) {
                    UserClick(f.TypeRadio(kind));
                    Select(f, {"a.txt", "b.log", "docs"});
                    UserClick(f.btnAddDir);
                    EXPECT_TRUE(SaveControlImage(f, folder + "/add-dialog-" + name + "-" + code + ".png"));
                    f.Close();
                },
                {Mask("*.*", true)});
        }
        Show(
            Setup(),
            [&](TfrmAddFiles& f) {
                UserClick(f.BtnPassword);
                f.Close();
            },
            {{TModalAction::maClickResult, mrCancel, std::nullopt, [&](TForm& form) {
                  EXPECT_TRUE(SaveControlImage(form, folder + "/password-" + std::string(code) + ".png"));
              }}});
    }
}

TEST_F(AddDialogTest, WithTwoArgumentsAddingCountsOnlyWhenShownAgain) {
    TAddSetup setup = Setup();
    setup.ArgumentCount = 2;
    Show(setup, [&](TfrmAddFiles& f) {
        Select(f, {"a.txt"});
        UserClick(f.btnAddDir);
        EXPECT_EQ(f.AdicionadosLb->Items().Count(), 1);
        EXPECT_EQ(f.FilesFound, 0);
        EXPECT_FALSE(f.btnOK->Enabled());
        f.Close();
    });
    // a caller's list is counted when the form shows
    setup.Items = {src + "/a.txt", src + "/docs"};
    Show(setup, [&](TfrmAddFiles& f) {
        EXPECT_EQ(f.FilesFound, 4);
        EXPECT_TRUE(f.AnyRecursive);
        EXPECT_TRUE(f.btnOK->Enabled());
        f.Close();
    });
}

} // namespace
} // namespace mv
