// The open and save dialogs driven as a user meets them: typing names, folders and
// wildcards, the questions about existing and missing files, re-entry, the geometry
// kept between runs, and screenshots in the three languages.
#include "controls/shell/ShellList.h"
#include "controls/shell/ShellTree.h"
#include "controls/shell/dialogs/MvOpenDlg.h"
#include "controls/shell/dialogs/Splitter.h"
#include "platform/desktop/ShellNamespace.h"
#include "platform/ui/ModalDriver.h"
#include "tests/controls/shell/dialogs/DelegateOwner.h"
#include "tests/support/DesktopFixture.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace mv {
namespace {

namespace fs = std::filesystem;

// The row of the list that shows a name, or -1.
int RowOf(TMvShellList& list, const std::string& name) {
    for (int row = 0; row < list.RowCount(); ++row)
        if (TMvShListData* data = list.GetItemData(row); data && data->GetDisplayName() == name) return row;
    return -1;
}

// A double click of the left button on a row, as the mouse gives it.
void DoubleClickRow(TListView& list, int row) {
    QWidget* rows = list.RowsWidget();
    const TRect r = list.ItemRect(row);
    const QPointF at(r.Left + 8, (r.Top + r.Bottom) / 2.0);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const bool down = type != QEvent::MouseButtonRelease;
        QMouseEvent event(type, at, rows->mapToGlobal(at), Qt::LeftButton,
                          down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(rows, &event);
    }
}

class OpenDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        delegates = std::make_unique<mvtest::DelegateOwner>();
        desktop::SetNamespaceLanguageBase(10000);
        SetDialogMessageService(nullptr);
        SetRegisteredExtensionTest([](const std::string& ext) { return ext == "txt"; });
        dir = desk.Home() / "files";
        fs::create_directories(dir);
        root = fs::canonical(dir).string();
        mvtest::WriteFileText(dir / "a.zip", "a");
        mvtest::WriteFileText(dir / "c.zip", "c");
        mvtest::WriteFileText(dir / "notes.txt", "n");
        fs::create_directories(dir / "sub");
        mvtest::WriteFileText(dir / "sub/b.zip", "b");
    }
    void TearDown() override {
        SetRegisteredExtensionTest(nullptr);
        desktop::SetNamespaceLanguageBase(20000);
    }
    static TMvFrmOpenDlg& Frm(TForm& form) { return dynamic_cast<TMvFrmOpenDlg&>(form); }

    mvtest::DesktopFixture desk;
    std::unique_ptr<mvtest::DelegateOwner> delegates;
    fs::path dir; // under the home folder, so that the tree shows few neighbours
    std::string root;
};

TEST_F(OpenDialogTest, TypedNameIsChosen) {
    TModalDriver driver;
    TMvOpenDlg dialog(nullptr);
    dialog.SetOptions(dialog.Options() | ptofFileMustExist);
    dialog.SetInitialDir(root);
    driver.Queue({TModalAction::maEnter, mrNone, std::string("a.zip"), {}});
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.Files(), std::vector<std::string>{root + "/a.zip"});
    EXPECT_EQ(dialog.FileName(), root + "/a.zip");
    ASSERT_EQ(driver.Shown().size(), 1u);
    EXPECT_EQ(driver.Shown()[0].Caption, "Abrir");
}

TEST_F(OpenDialogTest, TypedFolderNavigatesAndKeepsTheDialogOpen) {
    TModalDriver driver;
    TMvOpenDlg dialog(nullptr);
    dialog.SetInitialDir(root);
    std::string shownAfterFolder;
    int resultAfterFolder = -1;
    int folderChanges = 0;
    dialog.OnFolderChanged = [&](TComponent*) { ++folderChanges; };
    driver.PressEnter([&](TForm& form) {
        TMvFrmOpenDlg& frm = Frm(form);
        frm.FileNameEdt->SetTextValue("sub");
        PerformModalAction(form, TModalAction::maEnter);
        resultAfterFolder = form.ModalResult();
        shownAfterFolder = frm.CurrentDir();
        EXPECT_GE(RowOf(*frm.MvShellList1, "b.zip"), 0);
        frm.FileNameEdt->SetTextValue("b.zip");
    });
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(resultAfterFolder, mrNone);
    EXPECT_EQ(shownAfterFolder, root + "/sub");
    EXPECT_GE(folderChanges, 1);
    EXPECT_EQ(dialog.Files(), std::vector<std::string>{root + "/sub/b.zip"});
    EXPECT_EQ(driver.Unanswered(), 0);
}

TEST_F(OpenDialogTest, DoubleClickOnAFileChoosesIt) {
    TModalDriver driver;
    TMvOpenDlg dialog(nullptr);
    dialog.SetInitialDir(root);
    std::string edit;
    // The double click closes the form itself; the answer after it does nothing.
    driver.Queue({TModalAction::maClickResult, 99, std::nullopt, [&](TForm& form) {
                      TMvShellList& list = *Frm(form).MvShellList1;
                      const int row = RowOf(list, "c.zip");
                      ASSERT_GE(row, 0);
                      list.ClearSelection();
                      list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
                      Frm(form).ListSelectionChanged();
                      edit = Frm(form).FileNameEdt->Text();
                      DoubleClickRow(list, row);
                  }});
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(edit, "c.zip");
    EXPECT_EQ(dialog.Files(), std::vector<std::string>{root + "/c.zip"});
}

TEST_F(OpenDialogTest, AddItemEventsReachTheListAndTree) {
    TModalDriver driver;
    TMvOpenDlg dialog(nullptr);
    dialog.SetInitialDir(root);
    dialog.SetOptions(dialog.Options() | ptofShowTree);
    int treeAsked = 0;
    dialog.OnAddListItem = [](TComponent*, const TShellFolder*, const TIdList& parent, const TIdList& item,
                              uint32_t, bool& allowAdd) {
        allowAdd = NamePart(PidlToPath(ConcatPidls(parent, item))) != "c.zip";
    };
    dialog.OnAddTreeItem = [&](TComponent*, const TShellFolder*, const TIdList&, const TIdList&, uint32_t,
                               bool&) { ++treeAsked; };
    driver.PressEscape([&](TForm& form) {
        TMvShellList& list = *Frm(form).MvShellList1;
        EXPECT_GE(RowOf(list, "a.zip"), 0);
        EXPECT_EQ(RowOf(list, "c.zip"), -1);
    });
    dialog.Execute();
    EXPECT_GT(treeAsked, 0);
}

TEST_F(OpenDialogTest, DoubleClickOnAFolderEntersIt) {
    TModalDriver driver;
    TMvOpenDlg dialog(nullptr);
    dialog.SetInitialDir(root);
    driver.PressEscape([&](TForm& form) {
        TMvFrmOpenDlg& frm = Frm(form);
        TMvShellList& list = *frm.MvShellList1;
        const int row = RowOf(list, "sub");
        ASSERT_GE(row, 0);
        list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        DoubleClickRow(list, row);
        list.FlushPendingSync(true);
        EXPECT_EQ(form.ModalResult(), mrNone);
        EXPECT_EQ(frm.CurrentDir(), root + "/sub");
        EXPECT_GE(RowOf(list, "b.zip"), 0);
    });
    EXPECT_FALSE(dialog.Execute());
}

TEST_F(OpenDialogTest, SeveralSelectedFilesAreQuoted) {
    TModalDriver driver;
    TMvOpenDlg dialog(nullptr);
    dialog.SetOptions(dialog.Options() | ptofAllowMultiselect);
    dialog.SetInitialDir(root);
    std::string edit;
    driver.PressEnter([&](TForm& form) {
        TMvFrmOpenDlg& frm = Frm(form);
        TMvShellList& list = *frm.MvShellList1;
        for (const char* name : {"a.zip", "c.zip", "sub"})
            list.SetItemState(RowOf(list, name), LVIS_SELECTED, LVIS_SELECTED);
        frm.ListSelectionChanged();
        edit = frm.FileNameEdt->Text();
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(edit, "\"a.zip\" \"c.zip\"");
    EXPECT_EQ(dialog.Files(), (std::vector<std::string>{root + "/a.zip", root + "/c.zip"}));
}

TEST_F(OpenDialogTest, TwoFilesWithTheTypedCaptionAskTheUserToChoose) {
    mvtest::WriteFileText(dir / "Dup.zip", "1");
    mvtest::WriteFileText(dir / "dup.zip", "2");
    TModalDriver driver;
    TMvOpenDlg dialog(nullptr);
    dialog.SetInitialDir(root);
    int selected = -1, expected = -2;
    driver.PressEscape([&](TForm& form) {
        TMvFrmOpenDlg& frm = Frm(form);
        TMvShellList& list = *frm.MvShellList1;
        frm.FileNameEdt->SetTextValue("DUP.ZIP");
        PerformModalAction(form, TModalAction::maEnter);
        EXPECT_EQ(form.ModalResult(), mrNone);
        expected = std::min(RowOf(list, "Dup.zip"), RowOf(list, "dup.zip"));
        selected = list.GetNextItem(-1, LVNI_SELECTED);
    });
    driver.PressEnter(); // the message
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(selected, expected);
    ASSERT_EQ(driver.Shown().size(), 2u);
    EXPECT_EQ(driver.Shown()[1].Texts[0],
              "Mais de um arquivo tem o nome 'DUP.ZIP'.\n\nEscolha um da lista de arquivos.");
}

TEST_F(OpenDialogTest, WildcardFiltersTheListAndChoosingATypeClearsIt) {
    TModalDriver driver;
    TMvOpenDlg dialog(nullptr);
    dialog.SetInitialDir(root);
    dialog.SetFilter("Arquivos zip|*.zip|Todos|*");
    dialog.SetFilterIndex(1);
    std::string filterAfterTyping, editAfterTyping, filterAfterType, editAfterType;
    int resultAfterTyping = -1;
    driver.PressEscape([&](TForm& form) {
        TMvFrmOpenDlg& frm = Frm(form);
        EXPECT_EQ(frm.ListFileFilter(), "*.zip");
        frm.FileNameEdt->SetTextValue("*.txt");
        PerformModalAction(form, TModalAction::maEnter);
        resultAfterTyping = form.ModalResult();
        filterAfterTyping = frm.ListFileFilter();
        editAfterTyping = frm.FileNameEdt->Text();
        EXPECT_GE(RowOf(*frm.MvShellList1, "notes.txt"), 0);
        EXPECT_EQ(RowOf(*frm.MvShellList1, "a.zip"), -1);
        frm.FileTypesCbx->SetItemIndex(1);
        frm.FileTypesCbxSelEndOk(frm.FileTypesCbx);
        filterAfterType = frm.ListFileFilter();
        editAfterType = frm.FileNameEdt->Text();
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(resultAfterTyping, mrNone);
    EXPECT_EQ(filterAfterTyping, "*.txt");
    EXPECT_EQ(editAfterTyping, "*.txt");
    EXPECT_EQ(filterAfterType, "*");
    EXPECT_EQ(editAfterType, "");
    EXPECT_EQ(dialog.FilterIndex(), 2);
    EXPECT_TRUE(dialog.Files().empty());
}

TEST_F(OpenDialogTest, QuotedNamesGiveSeveralFiles) {
    TModalDriver driver;
    TMvOpenDlg dialog(nullptr);
    dialog.SetOptions(dialog.Options() | ptofAllowMultiselect | ptofFileMustExist);
    dialog.SetInitialDir(root);
    driver.Queue({TModalAction::maEnter, mrNone, std::string("\"a.zip\" \"c.zip\""), {}});
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.Files(), (std::vector<std::string>{root + "/a.zip", root + "/c.zip"}));
}

TEST_F(OpenDialogTest, DefaultExtensionAndItsFlag) {
    struct Row {
        const char* typed;
        const char* expected;
        bool different;
    };
    const Row rows[] = {
        {"x", "x.zip", false},
        {"x.zip", "x.zip", false},
        {"notes.txt", "notes.txt", true},
        {"x.abc", "x.abc.zip", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        TModalDriver driver;
        TMvSaveDlg dialog(nullptr);
        dialog.SetDefaultExt("zip");
        dialog.SetInitialDir(root);
        driver.Queue({TModalAction::maEnter, mrNone, std::string(row.typed), {}});
        ASSERT_TRUE(dialog.Execute());
        EXPECT_EQ(dialog.Files(), std::vector<std::string>{root + "/" + row.expected});
        EXPECT_EQ((dialog.Options() & ptofExtensionDifferent) != 0, row.different);
        EXPECT_EQ(driver.Shown()[0].Caption, "Salvar como");
    }
}

// Every question and refusal about the chosen file, answered through the modal driver.
TEST_F(OpenDialogTest, CheckFileMatrix) {
    ::chmod((dir / "c.zip").c_str(), 0444);
    struct Row {
        const char* what;
        bool save;
        TMvOpenOptions options;
        const char* typed;
        std::vector<int> answers; // the message boxes' buttons, in order
        bool chosen;
        std::string message; // the first box's text ("" none)
    };
    const std::string a = root + "/a.zip", c = root + "/c.zip", m = root + "/missing.zip";
    const std::string x = root + "/nofolder/x.zip";
    const std::vector<Row> rows = {
        {"exists, no question", true, 0, "a.zip", {}, true, ""},
        {"overwrite yes",
         true,
         ptofOverwritePrompt,
         "a.zip",
         {mrYes},
         true,
         a + " já existe.\nDeseja substituí-lo?"},
        {"overwrite no",
         true,
         ptofOverwritePrompt,
         "a.zip",
         {mrNo},
         false,
         a + " já existe.\nDeseja substituí-lo?"},
        {"read-only refused",
         true,
         ptofOverwritePrompt | ptofNoReadOnlyReturn,
         "c.zip",
         {mrOk},
         false,
         c + "\nEste arquivo é somente para leitura.\nUse um nome diferente."},
        {"read-only allowed",
         true,
         ptofOverwritePrompt,
         "c.zip",
         {mrYes},
         true,
         c + " já existe.\nDeseja substituí-lo?"},
        {"missing refused",
         false,
         ptofFileMustExist | ptofCreatePrompt,
         "missing.zip",
         {mrOk},
         false,
         m + "\nArquivo não encontrado.\nVerifique se o nome do arquivo está correto."},
        {"create yes",
         false,
         ptofCreatePrompt,
         "missing.zip",
         {mrYes},
         true,
         "missing.zip\nEste arquivo não existe.\n\nDeseja criar o arquivo?"},
        {"create no",
         false,
         ptofCreatePrompt,
         "missing.zip",
         {mrNo},
         false,
         "missing.zip\nEste arquivo não existe.\n\nDeseja criar o arquivo?"},
        {"missing, no option", true, 0, "missing.zip", {}, true, ""},
        {"missing folder refused",
         true,
         ptofPathMustExist,
         "nofolder/x.zip",
         {mrOk},
         false,
         x + "\nO caminho não existe.\nVerifique se o caminho está correto."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TModalDriver driver;
        std::unique_ptr<TMvFileDlg> dialog;
        if (row.save)
            dialog = std::make_unique<TMvSaveDlg>(nullptr);
        else
            dialog = std::make_unique<TMvOpenDlg>(nullptr);
        dialog->SetOptions(DefaultOpenOptions | row.options);
        dialog->SetInitialDir(root);
        driver.Queue({TModalAction::maEnter, mrNone, std::string(row.typed), {}});
        for (int answer : row.answers) driver.Click(answer);
        EXPECT_EQ(dialog->Execute(), row.chosen);
        if (!row.message.empty()) {
            ASSERT_GE(driver.Shown().size(), 2u);
            EXPECT_EQ(driver.Shown()[1].Caption, row.save ? "Salvar como" : "Abrir");
            ASSERT_FALSE(driver.Shown()[1].Texts.empty());
            EXPECT_EQ(driver.Shown()[1].Texts[0], row.message);
        } else {
            EXPECT_EQ(driver.Shown().size(), 1u);
        }
        EXPECT_EQ(driver.Pending(), 0);
        if (!row.chosen) {
            EXPECT_TRUE(dialog->Files().empty());
        }
    }
}

TEST_F(OpenDialogTest, MessagesGoThroughTheProgramsService) {
    std::vector<std::string> texts;
    SetDialogMessageService(
        [&](const std::string& text, const std::string&, TMvDlgMsgKind kind, TMvDlgMsgButtons buttons) {
            texts.push_back(text);
            EXPECT_EQ(kind, TMvDlgMsgKind::dmkWarning);
            EXPECT_EQ(buttons, TMvDlgMsgButtons::dmbYesNo);
            return mrYes;
        });
    TModalDriver driver;
    TMvSaveDlg dialog(nullptr);
    dialog.SetOptions(dialog.Options() | ptofOverwritePrompt);
    dialog.SetInitialDir(root);
    driver.Queue({TModalAction::maEnter, mrNone, std::string("a.zip"), {}});
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(texts, std::vector<std::string>{root + "/a.zip já existe.\nDeseja substituí-lo?"});
    SetDialogMessageService(nullptr);
}

TEST_F(OpenDialogTest, SecondExecuteWhileShownRaisesAndTheFirstRunGoesOn) {
    TModalDriver driver;
    TMvOpenDlg dialog(nullptr);
    dialog.SetInitialDir(root);
    std::string error;
    dialog.OnFormShow = [&](TComponent*) {
        try {
            dialog.Execute();
        } catch (const std::exception& e) {
            error = e.what();
        }
    };
    driver.Queue({TModalAction::maEnter, mrNone, std::string("a.zip"), {}});
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(error, "TMvOpenDlg already executing");
    EXPECT_EQ(dialog.Files(), std::vector<std::string>{root + "/a.zip"});
    EXPECT_EQ(driver.Shown().size(), 1u);
}

TEST_F(OpenDialogTest, MaximisedRunKeepsItsRestoredSize) {
    TModalDriver driver;
    TMvOpenDlg dialog(nullptr);
    dialog.SetInitialDir(root);
    dialog.SetFormWidth(571);
    dialog.SetFormHeight(425);
    int widthShown = 0;
    driver.PressEscape([&](TForm& form) {
        widthShown = form.Width();
        form.SetWindowState(TWindowState::wsMaximized);
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(widthShown, 571);
    EXPECT_EQ(dialog.FormWidth(), 571);
    EXPECT_EQ(dialog.FormHeight(), 425);
    EXPECT_EQ(dialog.FormWindowState(), TWindowState::wsMaximized);
    // The next run opens maximised again.
    TWindowState stateShown = TWindowState::wsNormal;
    driver.PressEscape([&](TForm& form) { stateShown = form.WindowState(); });
    dialog.Execute();
    EXPECT_EQ(stateShown, TWindowState::wsMaximized);
}

TEST_F(OpenDialogTest, TreeHiddenAtTheEndOpensHiddenNextTime) {
    TModalDriver driver;
    TMvOpenDlg dialog(nullptr);
    dialog.SetInitialDir(root);
    dialog.SetOptions(dialog.Options() | ptofShowTree);
    dialog.SetFormSplitterPos(150);
    bool downAtFirst = false;
    driver.PressEscape([&](TForm& form) {
        TMvFrmOpenDlg& frm = Frm(form);
        downAtFirst = frm.ShowTreeBtn->Down();
        EXPECT_EQ(frm.MvSplitter1->Position(), 150);
        // F12 typed in the name edit.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F12, Qt::NoModifier);
        QApplication::sendEvent(frm.FileNameEdt->Widget(), &press);
    });
    dialog.Execute();
    EXPECT_TRUE(downAtFirst);
    EXPECT_LT(dialog.FormSplitterPos(), 0);
    EXPECT_EQ(dialog.Options() & ptofShowTree, 0u);
    bool downAtSecond = true;
    int positionShown = 0;
    driver.PressEscape([&](TForm& form) {
        TMvFrmOpenDlg& frm = Frm(form);
        downAtSecond = frm.ShowTreeBtn->Down();
        frm.ShowTreeBtn->Click(); // the user shows it again: at 200
        positionShown = frm.MvSplitter1->Position();
    });
    dialog.Execute();
    EXPECT_FALSE(downAtSecond);
    EXPECT_EQ(positionShown, 200);
    EXPECT_EQ(dialog.FormSplitterPos(), 200);
    EXPECT_NE(dialog.Options() & ptofShowTree, 0u);
}

TEST_F(OpenDialogTest, GeometryStreamRoundTrip) {
    TMvOpenDlg dialog(nullptr);
    dialog.SetFormWidth(571);
    dialog.SetFormHeight(-1);
    dialog.SetFormWindowState(TWindowState::wsMaximized);
    dialog.SetOptions(dialog.Options() | ptofShowTree);
    dialog.SetFormSplitterPos(-5);
    std::ostringstream out;
    dialog.WriteFormGeometry(out);
    const std::string bytes = out.str();
    ASSERT_EQ(bytes.size(), 14u);
    EXPECT_EQ(bytes, std::string("\x3B\x02\x00\x00\xFF\xFF\xFF\xFF\x02\x01\xFB\xFF\xFF\xFF", 14));
    TMvSaveDlg other(nullptr);
    std::istringstream in(bytes);
    other.ReadFormGeometry(in);
    EXPECT_EQ(other.FormWidth(), 571);
    EXPECT_EQ(other.FormHeight(), -1);
    EXPECT_EQ(other.FormWindowState(), TWindowState::wsMaximized);
    EXPECT_NE(other.Options() & ptofShowTree, 0u);
    EXPECT_EQ(other.FormSplitterPos(), -5);
    std::istringstream shortStream(bytes.substr(0, 10));
    EXPECT_THROW(other.ReadFormGeometry(shortStream), std::exception);
}

TEST_F(OpenDialogTest, EntryForTheMainWindow) {
    TModalDriver driver;
    driver.Queue({TModalAction::maEnter, mrNone, std::string("\"a.zip\" \"sub/b.zip\""), {}});
    std::vector<std::string> files;
    ASSERT_TRUE(ExecuteOpenArchiveDialog("Zip|*.zip", 1, root, "", true, files));
    EXPECT_EQ(files, (std::vector<std::string>{root + "/a.zip", root + "/sub/b.zip"}));
    driver.PressEscape();
    EXPECT_FALSE(ExecuteOpenArchiveDialog("Zip|*.zip", 1, root, "Abrir arquivo", false, files));
    EXPECT_EQ(driver.Shown().back().Caption, "Abrir arquivo");
}

TEST_F(OpenDialogTest, Screenshots) {
    const std::string folder = mvtest::ScreenshotFolder("controls/dialogs");
    const std::pair<int32_t, const char*> languages[] = {{10000, "pt"}, {20000, "en"}, {50000, "es"}};
    for (const auto& [base, code] : languages) {
        desktop::SetNamespaceLanguageBase(base);
        TModalDriver driver;
        {
            TMvOpenDlg dialog(nullptr);
            dialog.SetInitialDir(root);
            dialog.SetFilter("Zip|*.zip|*|*");
            dialog.SetFormWidth(571);
            dialog.SetFormHeight(425);
            dialog.SetFormSplitterPos(159);
            dialog.SetOptions(dialog.Options() | ptofShowTree);
            driver.PressEscape([&](TForm& form) {
                EXPECT_TRUE(SaveControlImage(form, folder + "/open-tree-" + code + ".png"));
                Frm(form).ShowTree(false);
                EXPECT_TRUE(SaveControlImage(form, folder + "/open-notree-" + code + ".png"));
            });
            dialog.Execute();
        }
        {
            TMvSaveDlg dialog(nullptr);
            dialog.SetInitialDir(root);
            dialog.SetFilter("Zip|*.zip");
            dialog.SetFormWidth(556);
            dialog.SetFormHeight(428);
            dialog.SetFormSplitterPos(163);
            dialog.SetOptions(dialog.Options() | ptofShowTree);
            driver.PressEscape([&](TForm& form) {
                TMvFrmOpenDlg& frm = Frm(form);
                frm.ViewBtnClick(frm.DetailsBtn);
                EXPECT_TRUE(frm.DetailsBtn->Down());
                EXPECT_FALSE(frm.ListBtn->Down());
                EXPECT_TRUE(frm.Details1Mitm->Checked());
                EXPECT_TRUE(SaveControlImage(form, folder + "/save-details-" + code + ".png"));
            });
            dialog.Execute();
        }
    }
    EXPECT_TRUE(fs::exists(folder + "/open-tree-es.png"));
}

} // namespace
} // namespace mv
