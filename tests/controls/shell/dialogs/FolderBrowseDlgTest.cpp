// The folder dialog driven as a user meets it: cancel keeps the previous choice, OK
// takes the folder selected, a folder outside the file system and the root cannot be
// deleted, the buttons' two arrangements, and screenshots in three languages.
#include "controls/shell/dialogs/MvFolderBrowseDlg.h"
#include "platform/desktop/ShellNamespace.h"
#include "platform/ui/ModalDriver.h"
#include "tests/support/DesktopFixture.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace mv {
namespace {

namespace fs = std::filesystem;

class FolderDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        desktop::SetNamespaceLanguageBase(10000);
        root = fs::canonical(dir.Path()).string();
        fs::create_directories(dir / "sub/deeper");
    }
    void TearDown() override { desktop::SetNamespaceLanguageBase(20000); }
    static TMvFrmFolderBrowseDlg& Frm(TForm& form) { return dynamic_cast<TMvFrmFolderBrowseDlg&>(form); }
    static TIdList Pidl(const std::string& path) {
        TIdList list;
        EXPECT_TRUE(Succeeded(PathToPidl(path, list))) << path;
        return list;
    }

    mvtest::DesktopFixture desk;
    mvtest::TempDir dir;
    std::string root;
};

TEST_F(FolderDialogTest, CancelKeepsThePreviousChoiceAndOkTakesTheNewOne) {
    TModalDriver driver;
    TMvFolderBrowseDlg dialog(nullptr);
    dialog.SelectedFolder().SetPath(root);
    std::vector<std::string> selChanges;
    dialog.OnSelChange = [&](TComponent*, const TIdList& pidl) { selChanges.push_back(PidlToPath(pidl)); };
    driver.PressEscape([&](TForm& form) { Frm(form).SelectionChanged(Pidl(root + "/sub"), root + "/sub", false); });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.GetSelectedPath(), root);
    driver.PressEnter([&](TForm& form) {
        TMvFrmFolderBrowseDlg& frm = Frm(form);
        EXPECT_EQ(frm.CurrentFolder().GetPath(), root); // starts in the folder chosen last
        frm.SelectionChanged(Pidl(root + "/sub"), root + "/sub", false);
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.GetSelectedPath(), root + "/sub");
    EXPECT_EQ(selChanges, (std::vector<std::string>{root + "/sub", root + "/sub"}));
    EXPECT_EQ(driver.Shown()[0].Caption, "Procurar a pasta");
}

TEST_F(FolderDialogTest, VirtualFolderAndRootCannotBeDeleted) {
    struct Row {
        const char* what;
        bool hasPath, firstNode;
        bool create, del;
    };
    const Row rows[] = {
        {"a folder", true, false, true, true},
        {"the root", true, true, true, false},
        {"a virtual folder", false, false, false, false},
        {"a virtual root", false, true, false, false},
    };
    TModalDriver driver;
    TMvFolderBrowseDlg dialog(nullptr);
    dialog.SetOptions(dialog.Options() | ptfbCreateDeleteButtons);
    driver.PressEnter([&](TForm& form) {
        TMvFrmFolderBrowseDlg& frm = Frm(form);
        for (const Row& row : rows) {
            SCOPED_TRACE(row.what);
            frm.SelectionChanged(row.hasPath ? Pidl(root) : TIdList{}, row.hasPath ? root : "", row.firstNode);
            EXPECT_EQ(frm.CreateBtn->Enabled(), row.create);
            EXPECT_EQ(frm.CreateNewFolderBtn->Enabled(), row.create);
            EXPECT_EQ(frm.DeleteBtn->Enabled(), row.del);
            EXPECT_EQ(frm.DeleteFolderBtn->Enabled(), row.del);
        }
    });
    // OK on a virtual folder returns it, with no path.
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.GetSelectedPath(), "");
}

TEST_F(FolderDialogTest, ButtonArrangements) {
    TModalDriver driver;
    TMvFolderBrowseDlg dialog(nullptr);
    driver.PressEscape([&](TForm& form) {
        TMvFrmFolderBrowseDlg& frm = Frm(form);
        const int cw = form.ClientWidth();
        // Without the text buttons: Cancel ends 16 pixels before the edge, OK 4 before it.
        EXPECT_FALSE(frm.CreateBtn->Visible());
        EXPECT_EQ(frm.CancelBtn->Left() + frm.CancelBtn->Width(), cw - 16);
        EXPECT_EQ(frm.OkBtn->Left() + frm.OkBtn->Width(), frm.CancelBtn->Left() - 4);
        // The icons at the top right, the status text up to them.
        EXPECT_EQ(frm.DeleteFolderBtn->Left() + frm.DeleteFolderBtn->Width(), cw - 16);
        EXPECT_EQ(frm.CreateNewFolderBtn->Left() + frm.CreateNewFolderBtn->Width(), frm.DeleteFolderBtn->Left() - 8);
        EXPECT_EQ(frm.StatusTxt->Left() + frm.StatusTxt->Width(), frm.CreateNewFolderBtn->Left() - 4);
        // With them: OK and Cancel move to the left.
        frm.SetOptions(frm.Options() | ptfbCreateDeleteButtons);
        EXPECT_TRUE(frm.CreateBtn->Visible());
        EXPECT_EQ(frm.OkBtn->Left(), 8);
        EXPECT_EQ(frm.CancelBtn->Left(), frm.OkBtn->Left() + frm.OkBtn->Width() + 4);
        // Without icons the status text runs to 16 pixels before the edge.
        frm.SetOptions(ptfbCreateDeleteButtons);
        EXPECT_EQ(frm.StatusTxt->Left() + frm.StatusTxt->Width(), cw - 16);
        // The smallest size the user can give it.
        EXPECT_EQ(form.SizeLimits().ptMinTrackSize.X, 366);
        EXPECT_EQ(form.SizeLimits().ptMinTrackSize.Y, 340);
    });
    dialog.Execute();
}

TEST_F(FolderDialogTest, SecondRunWhileShownRaises) {
    TModalDriver driver;
    TMvFolderBrowseDlg dialog(nullptr);
    std::string error;
    dialog.OnFormShow = [&](TComponent*) {
        try {
            dialog.Execute();
        } catch (const std::exception& e) {
            error = e.what();
        }
    };
    driver.PressEscape();
    dialog.Execute();
    EXPECT_EQ(error, "TMvFolderBrowseDlg already executing");
}

TEST_F(FolderDialogTest, Screenshots) {
    const std::string folder = mvtest::ScreenshotFolder("controls/dialogs");
    const std::pair<int32_t, const char*> languages[] = {{10000, "pt"}, {20000, "en"}, {50000, "es"}};
    for (const auto& [base, code] : languages) {
        desktop::SetNamespaceLanguageBase(base);
        TModalDriver driver;
        TMvFolderBrowseDlg dialog(nullptr);
        dialog.SetOptions(dialog.Options() | ptfbCreateDeleteButtons);
        dialog.SelectedFolder().SetPath(root + "/sub");
        dialog.SetStatusText(root);
        driver.PressEscape([&](TForm& form) {
            EXPECT_TRUE(SaveControlImage(form, folder + "/folder-" + code + ".png"));
        });
        dialog.Execute();
    }
    EXPECT_TRUE(fs::exists(folder + "/folder-pt.png"));
}

} // namespace
} // namespace mv
