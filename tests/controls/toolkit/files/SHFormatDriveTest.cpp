// The format-drive dialog over a fake disk utility: the letter rule, what the call is
// asked, the results of both result families mapped to the error codes, the
// information box without a disk utility, and a fixed drive refused by the real layer.
#include "controls/toolkit/files/SHFormatDrive.h"
#include "platform/ui/Form.h"
#include "platform/ui/ModalDriver.h"
#include "resources/StringTable.h"
#include "tests/support/DesktopFixture.h"

#include <gtest/gtest.h>
#include <memory>

namespace mv {
namespace {

struct FakeLayer : platform::FormatDriveLayer {
    bool newer = true;
    platform::FormatDriveResult answer;
    std::vector<platform::FormatDriveRequest> asked;
    bool NewerResults() const override { return newer; }
    platform::FormatDriveResult Format(const platform::FormatDriveRequest& r) override {
        asked.push_back(r);
        return answer;
    }
};

struct WithFake {
    WithFake() {
        auto owned = std::make_unique<FakeLayer>();
        fake = owned.get();
        platform::SetFormatDriveLayer(std::move(owned));
    }
    ~WithFake() { platform::SetFormatDriveLayer(nullptr); }
    FakeLayer* fake;
};

TEST(SHFormatDrive, LowerCaseLetterSelectsItsDriveAndTheCallIsAskedRight) {
    EnsureApplication();
    WithFake f;
    TSHFormatDrive dialog(nullptr);
    EXPECT_EQ(dialog.Drive(), 'A');
    dialog.SetDrive('c');
    EXPECT_EQ(dialog.Drive(), 'C');
    EXPECT_EQ(dialog.DriveNumber(), 2);
    dialog.SetPath("/media/usb");
    f.fake->answer.Code = 0;
    EXPECT_TRUE(dialog.Execute()); // quick by default
    dialog.SetFormatType(TFormatType::ftStandard);
    EXPECT_TRUE(dialog.Execute());
    f.fake->newer = false;
    f.fake->answer.Code = 6;
    dialog.SetFormatType(TFormatType::ftBootable);
    dialog.SetCapacity(TDriveCapacity::dcSize720kB);
    EXPECT_TRUE(dialog.Execute());
    dialog.SetCapacity(TDriveCapacity::dcSize360kB);
    EXPECT_TRUE(dialog.Execute());
    ASSERT_EQ(f.fake->asked.size(), 4u);
    const unsigned want[4][2] = {{0, 1}, {0, 0}, {5, 2}, {3, 2}}; // format id, options
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(f.fake->asked[i].FormatId, want[i][0]) << i;
        EXPECT_EQ(f.fake->asked[i].Options, want[i][1]) << i;
        EXPECT_EQ(f.fake->asked[i].DriveNumber, 2);
        EXPECT_EQ(f.fake->asked[i].Path, "/media/usb");
    }
}

TEST(SHFormatDrive, ResultsMapToTheErrorCodes) {
    EnsureApplication();
    WithFake f;
    const struct {
        bool newer;
        int returned;
        bool ok;
        int code; // -1: no event
    } cases[] = {
        {true, 0, true, -1},   {true, -2, false, 4}, {true, -1, false, 4},  {true, -3, false, 4},
        {true, 6, false, 4},   {false, 6, true, -1}, {false, -3, false, 3}, {false, -2, false, 2},
        {false, -1, false, 1}, {false, 0, false, 0}, {false, 9, false, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.newer) + " " + std::to_string(c.returned));
        f.fake->newer = c.newer;
        f.fake->answer.Code = c.returned;
        TSHFormatDrive dialog(nullptr);
        int code = -1;
        dialog.OnError = [&](TComponent* sender, int e) {
            EXPECT_EQ(sender, &dialog);
            code = e;
        };
        EXPECT_EQ(dialog.Execute(), c.ok);
        EXPECT_EQ(code, c.code);
    }
}

TEST(SHFormatDrive, WithoutADiskUtilityTheUserIsToldHow) {
    EnsureApplication();
    WithFake f;
    f.fake->answer.NoFormatter = true;
    const std::string folder = mvtest::ScreenshotFolder("files");
    const struct {
        const char* name;
        int32_t base;
        const char* words;
    } langs[] = {{"pt", 10000, "Discos"}, {"en", 20000, "Disks"}, {"es", 50000, "Discos"}};
    for (const auto& lang : langs) {
        SCOPED_TRACE(lang.name);
        TModalDriver driver;
        driver.PressEnter([&](TForm& form) {
            ASSERT_TRUE(SaveControlImage(form, folder + "/format_no_utility_" + lang.name + ".png"));
        });
        TSHFormatDrive dialog(nullptr);
        dialog.SetTextBase(lang.base);
        int code = -1;
        dialog.OnError = [&](TComponent*, int e) { code = e; };
        EXPECT_FALSE(dialog.Execute());
        EXPECT_EQ(code, 4);
        ASSERT_EQ(driver.Shown().size(), 1u);
        EXPECT_EQ(driver.Shown()[0].Caption, LoadStr(291 + lang.base));
        ASSERT_FALSE(driver.Shown()[0].Texts.empty());
        EXPECT_NE(driver.Shown()[0].Texts[0].find(lang.words), std::string::npos);
        EXPECT_EQ(driver.Shown()[0].ModalResult, mrOk);
        EXPECT_EQ(driver.Unanswered(), 0);
    }
}

TEST(SHFormatDrive, TheRealLayerRefusesAFixedDrive) {
    mvtest::TempDir dir;
    std::filesystem::create_directories(dir / "sys");
    // An empty sysfs: no device is removable. The utility is never looked for.
    platform::DiskUtilityFormatLayer layer((dir / "sys").string(), (dir / "no-utility").string());
    platform::FormatDriveRequest request;
    request.Path = dir.Path().string();
    EXPECT_EQ(layer.Format(request).Code, platform::SHFMT_NOFORMAT);
    EXPECT_FALSE(layer.Format(request).NoFormatter);
    request.Path = (dir / "missing").string();
    EXPECT_EQ(layer.Format(request).Code, platform::SHFMT_ERROR);
}

} // namespace
} // namespace mv
