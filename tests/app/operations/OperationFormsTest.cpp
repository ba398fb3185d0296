// The operations' questions met as the user meets them: the overwrite, password and
// next-volume prompts are the program's forms, answered through the modal driver
// (with screenshots in the three languages); and a 300 MB extraction keeps the window
// responsive, its bar advancing while a timer keeps ticking.
#include "app/operations/ArchiveOperations.h"

#include "app/common/LangStr.h"
#include "app/dialogs/SmallPrompts.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"
#include "platform/ui/Timer.h"
#include "tests/app/mainwindow/FakeMainWindowView.h"
#include "tests/app/operations/PumpHook.h"
#include "tests/support/DesktopFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

namespace mv {
namespace {

namespace fs = std::filesystem;
using mvtest::CorpusDir;
using mvtest::Quote;
using mvtest::TempDir;

// The window's prompts as the program's forms, filled as the main window fills them.
struct TFormsView : TFakeMainWindowView {
    std::vector<int> Percents;
    int AskPassword(const std::string& entryName, std::string& password) override {
        TFrmSenha form(nullptr);
        form.SetCaption(entryName);
        const int result = form.ShowModal();
        password = form.SenhaEdit->Text();
        return result;
    }
    int AskOverwrite(const std::string& title, const std::string& oldSize, const std::string& oldTime,
                     const std::string& newSize, const std::string& newTime) override {
        TfrmOverwrite form(nullptr);
        form.TituloLbl->SetCaption(title);
        form.TamanhoOriginalLbl->SetCaption(oldSize);
        form.DataOriginalLbl->SetCaption(oldTime);
        form.TamanhoDestinoLbl->SetCaption(newSize);
        form.DataDestinoLbl->SetCaption(newTime);
        OverwriteTitles.push_back(title);
        return form.ShowModal();
    }
    void SetProgressPercent(int percent) override {
        TFakeMainWindowView::SetProgressPercent(percent);
        Percents.push_back(percent);
    }
};

struct Window {
    TFormsView view;
    TArchiveList list;
    TReopenList history;
    TArchiveOpener opener{view, list, history};
    TFormPrompts prompts;
    TArchiveOperations ops{view, opener, list, prompts};
    TempDir temp;
};

class OperationFormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        SetLanguageBase(lbPortuguese);
    }
    void TearDown() override {
        SetLanguageBase(lbPortuguese);
        testpump::Install(nullptr);
    }
};

const std::pair<int32_t, const char*> kLanguages[] = {{lbPortuguese, "pt"}, {lbEnglish, "en"}, {lbSpanish, "es"}};

TEST_F(OperationFormsTest, TheOverwritePromptAnsweredThroughItsForm) {
    const std::string folder = mvtest::ScreenshotFolder("extract");
    for (const auto& [base, code] : kLanguages) {
        SetLanguageBase(base);
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive((CorpusDir() / "arc/arc601.arc").string()));
        const fs::path out = w.temp / "out";
        std::string temp;
        ASSERT_TRUE(w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, 5));
        for (const auto& e : fs::directory_iterator(out)) std::ofstream(e.path(), std::ios::trunc) << "old";
        TModalDriver driver;
        std::vector<std::string> texts;
        // Yes to all on the first: one prompt, every file replaced.
        driver.Click(5, [&, code = std::string(code)](TForm& f) {
            for (TControl* c : AllControls(f)) texts.push_back(c->Caption());
            EXPECT_TRUE(SaveControlImage(f, folder + "/overwrite-prompt-" + code + ".png"));
        });
        ASSERT_TRUE(w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, 7));
        EXPECT_EQ(driver.Shown().size(), 1u);
        EXPECT_EQ(driver.Unanswered(), 0);
        EXPECT_NE(std::find(texts.begin(), texts.end(), "3 bytes."), texts.end());
        for (const auto& e : fs::directory_iterator(out)) EXPECT_GT(fs::file_size(e.path()), 3u);
        EXPECT_EQ(w.view.OverwriteTitles.size(), 1u);
        EXPECT_EQ(w.view.OverwriteTitles[0].rfind(LoadLangStr(88) + "\"", 0), 0u);
    }
}

TEST_F(OperationFormsTest, ThePasswordPromptRightWrongAndCancel) {
    const std::string folder = mvtest::ScreenshotFolder("extract");
    for (const auto& [base, code] : kLanguages) {
        SetLanguageBase(base);
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive((CorpusDir() / "arj/garbled.arj").string()));
        TModalDriver driver;
        driver.Queue({TModalAction::maClickResult, mrOk, std::string("secret"),
                      [&, code = std::string(code)](TForm& f) {
                          EXPECT_TRUE(SaveControlImage(f, folder + "/password-prompt-" + code + ".png"));
                      }});
        const fs::path out = w.temp / "out";
        std::string temp;
        EXPECT_TRUE(w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, 5));
        EXPECT_GE(driver.Shown().size(), 1u);
        EXPECT_FALSE(fs::is_empty(out));
    }
    // Cancel: the run stops and leaves nothing behind.
    Window w;
    ASSERT_TRUE(w.opener.OpenArchive((CorpusDir() / "arj/garbled.arj").string()));
    TModalDriver driver;
    driver.Click(mrCancel);
    const fs::path out = w.temp / "cancel";
    std::string temp;
    EXPECT_FALSE(w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, 5));
    EXPECT_EQ(driver.Shown().size(), 1u);
    EXPECT_TRUE(!fs::exists(out) || fs::is_empty(out));
    EXPECT_FALSE(w.ops.Busy());
}

TEST_F(OperationFormsTest, TheNextVolumePromptThroughItsForm) {
    const std::string folder = mvtest::ScreenshotFolder("extract");
    for (const auto& [base, code] : kLanguages) {
        SetLanguageBase(base);
        Window w;
        const fs::path set = w.temp / "set";
        fs::create_directories(set);
        for (const char* part : {"multi.arj", "multi.a01"}) fs::copy_file(CorpusDir() / "arj" / part, set / part);
        TModalDriver driver;
        // The listing meets the missing volume first: cancelled there.
        driver.Click(mrCancel);
        ASSERT_TRUE(w.opener.OpenArchive((set / "multi.arj").string()));
        std::string message;
        driver.Click(mrOk, [&, code = std::string(code)](TForm& f) {
            message = static_cast<TFrmNovoDisco&>(f).MensagemLb->Caption();
            EXPECT_TRUE(SaveControlImage(f, folder + "/next-volume-prompt-" + code + ".png"));
            fs::copy_file(CorpusDir() / "arj/multi.a02", set / "multi.a02");
        });
        const fs::path out = w.temp / "out";
        std::string temp;
        EXPECT_TRUE(w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, 5));
        EXPECT_EQ(driver.Shown().size(), 2u);
        EXPECT_EQ(driver.Unanswered(), 0);
        EXPECT_EQ(message, LoadLangStr(106) + (set / "multi.a02").string() + "   " + LoadLangStr(107) + "2")
            << message;
    }
}

TEST_F(OperationFormsTest, ALargeExtractionKeepsTheWindowResponsive) {
    TempDir src;
    {
        std::ofstream big(src / "big.bin", std::ios::binary);
        std::string block(1 << 20, '\0');
        for (int i = 0; i < 300; ++i) {
            block[size_t(i)] = char(i);
            big.write(block.data(), std::streamsize(block.size()));
        }
    }
    ASSERT_EQ(mvtest::Run("cd " + Quote(src.Path().string()) + " && tar cf big.tar big.bin && rm big.bin").exitCode, 0);
    Window w;
    ASSERT_TRUE(w.opener.OpenArchive((src / "big.tar").string()));
    testpump::Install([] { Application->ProcessMessages(); });
    // A timer of the window: each tick notes how far the bar has come.
    TTimer timer(nullptr);
    // A short interval: the extraction may take little more than a tenth of a second.
    timer.SetInterval(5);
    std::vector<int> atTicks;
    bool running = false;
    timer.OnTimer = [&](TComponent*) {
        if (running) atTicks.push_back(w.view.ProgressPercent);
    };
    timer.SetEnabled(true);
    const fs::path out = w.temp / "out";
    std::string temp;
    running = true;
    EXPECT_TRUE(w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, 5));
    running = false;
    timer.SetEnabled(false);
    EXPECT_EQ(fs::file_size(out / "big.bin"), 300u << 20);
    // The bar went from the start to the end, and the timer kept ticking on the
    // way: several ticks saw it at different points.
    ASSERT_FALSE(w.view.Percents.empty());
    EXPECT_EQ(w.view.Percents.back(), 100);
    const std::set<int> seen(atTicks.begin(), atTicks.end());
    EXPECT_GE(atTicks.size(), 3u);
    EXPECT_GE(seen.size(), 3u);
    EXPECT_TRUE(std::is_sorted(atTicks.begin(), atTicks.end()));
}

} // namespace
} // namespace mv
