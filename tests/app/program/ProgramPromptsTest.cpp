// The program hands its message boxes to the shell verbs: deleting an item no trash
// takes asks twice before deleting it for good, and a failure shows a warning.
#include "app/ProgramMain.h"

#include "app/common/MessageBox.h"
#include "controls/shell/ShellCommands.h"
#include "platform/ui/ModalDriver.h"
#include "tests/support/DesktopFixture.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace mv {
namespace {

namespace fs = std::filesystem;

bool Shows(const TShownForm& form, const std::string& part) {
    return std::any_of(form.Texts.begin(), form.Texts.end(),
                       [&](const std::string& t) { return t.find(part) != std::string::npos; });
}

TEST(ProgramPrompts, ShellVerbsAskAndWarnThroughTheProgramsMessageBoxes) {
    mvtest::DesktopFixture desk;
    EnsureApplication();
    InstallProgramPrompts();
    // The trash cannot be made: a file stands where its folder would be.
    mvtest::WriteFileText(desk.Data() / "Trash", "not a folder");
    const fs::path item = desk.Home() / "item.txt";
    mvtest::WriteFileText(item, "x");

    TModalDriver driver;
    // "No" to the first question keeps the item.
    driver.PressEscape();
    EXPECT_FALSE(DeleteShellItem(item.string()));
    EXPECT_TRUE(fs::exists(item));
    ASSERT_EQ(driver.Shown().size(), 1u);
    EXPECT_TRUE(Shows(driver.Shown()[0], item.string()));
    EXPECT_EQ(driver.Shown()[0].ModalResult, mrNo);
    // "Yes" to the first and "No" to the second keeps it too; "Yes" to both deletes it.
    driver.PressEnter();
    driver.PressEscape();
    EXPECT_FALSE(DeleteShellItem(item.string()));
    EXPECT_TRUE(fs::exists(item));
    driver.PressEnter();
    driver.PressEnter();
    EXPECT_TRUE(DeleteShellItem(item.string()));
    EXPECT_FALSE(fs::exists(item));
    EXPECT_EQ(driver.Shown().size(), 5u);

    // A folder that cannot be made: one warning with its OK button.
    std::string made;
    driver.PressEnter();
    EXPECT_FALSE(CreateNewFolder((desk.Home() / "missing" / "deeper").string(), made));
    ASSERT_EQ(driver.Shown().size(), 6u);
    EXPECT_TRUE(Shows(driver.Shown()[5], std::strerror(ENOENT)));
    EXPECT_EQ(driver.Shown()[5].ModalResult, mrOk);
    EXPECT_EQ(driver.Unanswered(), 0);
    SetShellPrompts({});
}

} // namespace
} // namespace mv
