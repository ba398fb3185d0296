// The runner's window as the user meets it, under the offscreen platform and
// answered by the modal driver: Start runs the backup, Cancel asks and stops it,
// Close leaves exit code 167, "View destination" checks the drive; with screenshots
// in the three languages.
#include "app/scripts/FrmExecuta.h"
#include "app/common/LangStr.h"
#include "platform/FakeFileSystem.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"
#include "tests/support/TestSupport.h"
#include "zipwriter/ZipEngine.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace mv {
namespace {

namespace fs = mvtest::fs;

std::string ScreenshotPath(const std::string& name) {
    const auto folder = fs::read_symlink("/proc/self/exe").parent_path() / "screenshots" / "scripts";
    fs::create_directories(folder);
    return (folder / name).string();
}

struct RunnerSetup {
    mvtest::TempDir dir;
    TZipEngine engine;
    TArchiveCheckVendor vendor;
    TBackupRunner runner{engine, vendor};
    std::vector<std::string> warnings;
    RunnerSetup() {
        EnsureApplication();
        for (int i = 0; i < 3; ++i)
            mvtest::WriteFileText(dir / "src" / ("f" + std::to_string(i) + ".txt"), "x");
        runner.ScriptLines().SetLines({"header", "SSS" + (dir / "src").string() + "/*.*"});
        runner.SetArquivoZip((dir / "out" / "b.zip").string());
        runner.SetTestWanted(true);
        runner.SetWarningsList(&warnings);
    }
};

TEST(FrmExecuta, StartRunsTheBackupAndCloseLeaves167InEachLanguage) {
    const int32_t old = LanguageBase();
    for (int32_t base : {lbPortuguese, lbEnglish, lbSpanish}) {
        SCOPED_TRACE(base);
        SetLanguageBase(base);
        RunnerSetup s;
        TFrmExecuta form(nullptr, s.runner);
        TModalDriver driver;
        driver.PressEscape([&](TForm& f) {
            EXPECT_EQ(f.Caption(), LoadLangStr(327));
            EXPECT_EQ(form.CancelaBtn->Caption(), LoadLangStr(11));
            form.IniciaBtn->Click();
            EXPECT_EQ(s.runner.Record().Status, rsDone);
            EXPECT_EQ(form.StatusLabel->Caption(), LoadLangStr(345));
            EXPECT_EQ(form.CancelaBtn->Caption(), LoadLangStr(11));
            EXPECT_TRUE(form.IniciaBtn->Enabled());
            EXPECT_TRUE(SaveControlImage(f, ScreenshotPath("runner-done-" + std::to_string(base) + ".png")));
        });
        form.ShowModal();
        EXPECT_EQ(form.ExitCode(), ecRunnerClosed);
        EXPECT_TRUE(fs::exists(s.dir / "out" / "b.zip"));
        EXPECT_EQ(driver.Unanswered(), 0);
    }
    SetLanguageBase(old);
}

TEST(FrmExecuta, CancelAsksAndStopsTheRun) {
    SetLanguageBase(lbPortuguese);
    RunnerSetup s;
    TFrmExecuta form(nullptr, s.runner);
    // While the first file is added, the user presses Cancel.
    const auto shown = s.runner.OnProgress;
    bool pressed = false;
    s.runner.OnProgress = [&](const std::string& file, int percent) {
        shown(file, percent);
        if (!pressed) {
            pressed = true;
            EXPECT_EQ(form.CancelaBtn->Caption(), LoadLangStr(121));
            form.CancelaBtn->Click();
        }
    };
    TModalDriver driver;
    driver.PressEscape([&](TForm&) { form.IniciaBtn->Click(); });
    driver.Click(mrYes, [](TForm& box) { EXPECT_EQ(box.Caption(), LoadLangStr(292)); });
    form.ShowModal();
    ASSERT_EQ(driver.Shown().size(), 2u);
    EXPECT_EQ(s.runner.Record().Status, rsCancelled);
    EXPECT_EQ(s.runner.Record().Result, 341);
    EXPECT_EQ(form.StatusLabel->Caption(), LoadLangStr(341));
    EXPECT_FALSE(fs::exists(s.dir / "out" / "b.zip"));
}

TEST(FrmExecuta, ViewDestinationOnAnUnavailableDrive) {
    SetLanguageBase(lbPortuguese);
    RunnerSetup s;
    platform::FakeFileSystem fake;
    fake.AddDrive((s.dir / "usb").string(), 1 << 20, platform::DriveKind::Removable, "USB", 1).EjectMedium();
    platform::ScopedFileSystem use(fake);
    s.runner.SetArquivoZip((s.dir / "usb" / "b.zip").string());
    TFrmExecuta form(nullptr, s.runner);
    TModalDriver driver;
    driver.PressEnter([](TForm& box) { EXPECT_EQ(box.Caption(), LoadLangStr(290)); });
    form.NavegaBtnClick();
    ASSERT_EQ(driver.Shown().size(), 1u);
    bool hasText = false;
    for (const auto& t : driver.Shown()[0].Texts) hasText |= t == LoadLangStr(652);
    EXPECT_TRUE(hasText);

    form.ArquivoZipEdit->SetTextValue("");
    form.ArquivoZipEditExit();
    EXPECT_EQ(fs::path(form.ArquivoZipEdit->Text()).filename(), "Backup.zip");
}

} // namespace
} // namespace mv
