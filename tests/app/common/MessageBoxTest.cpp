// The real message box and input box under the offscreen platform, answered by the
// modal driver: kinds, buttons, keys, layout arithmetic, the animated icon, the input
// box's outcomes, the font fix, and screenshots with their text drawn.
#include "app/common/MessageBox.h"
#include "app/common/LangStr.h"
#include "app/common/StrUtils.h"
#include "controls/toolkit/small/AnimatedStrip.h"
#include "platform/ui/Form.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"

#include <QApplication>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace mv {
namespace {

// Screenshots go into the build tree, beside the test program.
std::string ScreenshotPath(const std::string& name) {
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "screenshots";
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

template <typename T> T* Find(TForm& form, const std::string& name) {
    return dynamic_cast<T*>(form.FindComponent(name));
}

// Width the box's label gives a text (the box's font, on one line).
int TextWidth(const std::string& text) {
    TLabel label(nullptr);
    label.Font().SetName("MS Sans Serif");
    label.Font().SetSize(8);
    label.SetCaption(text);
    return label.Width();
}

int LineHeight() {
    TLabel label(nullptr);
    label.Font().SetName("MS Sans Serif");
    label.Font().SetSize(8);
    label.SetCaption("X");
    return label.Height();
}

// Counts dark pixels (text) inside a rectangle of a screenshot.
int DarkPixels(const std::string& png, const TRect& area) {
    TBitmap shot;
    if (!shot.LoadFromFile(png)) return -1;
    int dark = 0;
    for (int y = std::max(0, area.Top); y < std::min(shot.Height(), area.Bottom); ++y)
        for (int x = std::max(0, area.Left); x < std::min(shot.Width(), area.Right); ++x) {
            const TColor c = ColorToRGB(shot.Pixel(x, y));
            if ((c & 0xFF) < 0x50 && ((c >> 8) & 0xFF) < 0x50 && ((c >> 16) & 0xFF) < 0x50) ++dark;
        }
    return dark;
}

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        SetLanguageBase(lbPortuguese);
    }
};

TEST_F(MessageBoxTest, EachKindWithOkAndYesNoAnswersEnterAndEsc) {
    const char* captions[] = {"Atenção !", "Erro !", "Informação.", "Confirmação."};
    const int stripWidths[] = {224, 256, 192, 160};
    Application->SetTitle("Morvelan");
    for (uint8_t kind = 0; kind <= 4; ++kind) {
        SCOPED_TRACE(static_cast<int>(kind));
        auto checkCommon = [&](TForm& f) {
            EXPECT_EQ(f.Caption(), kind < 4 ? captions[kind] : "Morvelan");
            EXPECT_EQ(f.Width(), 375);
            EXPECT_EQ(f.Height(), 145);
            auto* icon = Find<TAnimatedStrip>(f, "Image");
            if (kind < 4) {
                ASSERT_NE(icon, nullptr);
                EXPECT_EQ(icon->BoundsRect(), Bounds(10, 8, 32, 32));
                EXPECT_EQ(icon->BitMap().Width(), stripWidths[kind]);
                EXPECT_EQ(icon->FrameCount(), 5);
                EXPECT_EQ(icon->Interval(), 200);
                EXPECT_TRUE(icon->Play());
            } else {
                EXPECT_EQ(icon, nullptr);
            }
            auto* label = Find<TLabel>(f, "Message");
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->Left(), 60);
            EXPECT_EQ(label->Width(), 375 - 75);
            EXPECT_EQ(label->Top(), (145 - 55 - label->Height()) / 2);
            const std::string shot = ScreenshotPath("messagebox-kind" + std::to_string(kind) + ".png");
            ASSERT_TRUE(SaveControlImage(f, shot));
            EXPECT_GT(DarkPixels(shot, Bounds(60, label->Top(), 300, label->Height())), 15);
        };
        TModalDriver driver;
        driver.PressEnter([&](TForm& f) {
            checkCommon(f);
            auto* ok = Find<TBitBtn>(f, "OK");
            ASSERT_NE(ok, nullptr);
            EXPECT_EQ(ok->Caption(), "&Ok");
            EXPECT_EQ(ok->BoundsRect(), Bounds(375 - 87, 145 - 55, 75, 25));
            EXPECT_EQ(ok->Cursor(), TCursor::crHandPoint);
            EXPECT_EQ(ok->Style(), TButtonStyle::bsWin31);
            // Esc finds no cancel button: the box stays open.
            PerformModalAction(f, TModalAction::maEscape);
            EXPECT_EQ(f.ModalResult(), mrNone);
        });
        EXPECT_EQ(ShowMessageBox("Arquivo gravado.", kind, mbOKOnly, 0, -1, -1), mrOk);

        driver.PressEnter([&](TForm& f) {
            auto* yes = Find<TBitBtn>(f, "Yes");
            auto* no = Find<TBitBtn>(f, "No");
            ASSERT_TRUE(yes && no);
            EXPECT_EQ(yes->Caption(), "&Sim");
            EXPECT_EQ(no->Caption(), "&Não");
            // "Sim" left of "Não", right-aligned, 7 pixels apart.
            EXPECT_EQ(no->BoundsRect(), Bounds(375 - 87, 90, 75, 25));
            EXPECT_EQ(yes->BoundsRect(), Bounds(375 - 87 - 75 - 7, 90, 75, 25));
            EXPECT_EQ(yes->TabOrder(), 0);
            EXPECT_EQ(no->TabOrder(), 1);
            EXPECT_TRUE(yes->Default());
            EXPECT_TRUE(no->Cancel());
        });
        EXPECT_EQ(ShowMessageBox("Deseja continuar ?", kind, mbYesNo, 0, -1, -1), mrYes);
        driver.PressEscape();
        EXPECT_EQ(ShowMessageBox("Deseja continuar ?", kind, mbYesNo, 0, -1, -1), mrNo);
        EXPECT_EQ(driver.Unanswered(), 0);
        ASSERT_EQ(driver.Shown().size(), 3u);
        EXPECT_EQ(driver.Shown()[2].ModalResult, mrNo);
    }
}

TEST_F(MessageBoxTest, ButtonsComeInTheirOwnOrderWithTranslatedCaptions) {
    SetLanguageBase(lbEnglish);
    TModalDriver driver;
    int helpAsked = -1;
    SetHelpHandler([&](int context) { helpAsked = context; });
    driver.Click(mrRetry, [&](TForm& f) {
        const char* names[] = {"Yes", "No", "OK", "Cancel", "Abort", "Retry", "Ignore", "All", "Help"};
        const char* texts[] = {"&Yes",   "&No",     "&OK",  "&Cancel", "&Abort",
                               "&Retry", "&Ignore", "&All", "&Help"};
        int x = f.Width() - 87 - 8 * 82;
        for (int i = 0; i < 9; ++i) {
            SCOPED_TRACE(names[i]);
            auto* b = Find<TBitBtn>(f, names[i]);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(b->Caption(), texts[i]);
            EXPECT_EQ(b->Left(), x + 82 * i);
            EXPECT_EQ(b->TabOrder(), i);
        }
        // Help leaves the box open and asks for the box's help context.
        Find<TBitBtn>(f, "Help")->Click();
        EXPECT_EQ(helpAsked, 77);
        EXPECT_EQ(f.ModalResult(), mrNone);
    });
    EXPECT_EQ(ShowMessageBox("All buttons", mkWarning, 0x1FF, 77, 10, 20), mrRetry);
    EXPECT_EQ(driver.Shown().at(0).Caption, "Warning !");
    SetHelpHandler(nullptr);
}

TEST_F(MessageBoxTest, LongMessagesWrapAndWidenAsTheArithmeticSays) {
    // A message whose need (label width + 75) falls between 376 and 380.
    std::string medium;
    for (int wide = 0; wide < 80 && medium.empty(); ++wide)
        for (int narrow = 0; narrow < 12; ++narrow) {
            const std::string text = std::string(wide, 'a') + std::string(narrow, 'i');
            const int need = TextWidth(text) + 75;
            if (need >= 376 && need <= 380) {
                medium = text;
                break;
            }
        }
    ASSERT_FALSE(medium.empty());
    const int lineHeight = LineHeight();
    TModalDriver driver;
    driver.PressEnter([&](TForm& f) {
        const int need = TextWidth(medium) + 75;
        auto* label = Find<TLabel>(f, "Message");
        EXPECT_EQ(f.Width(), need + 15);
        EXPECT_TRUE(label->WordWrap());
        EXPECT_FALSE(label->AutoSize());
        EXPECT_EQ(label->Width(), need + 15 - 75);
        EXPECT_EQ(Find<TBitBtn>(f, "OK")->Left(), need + 15 - 87);
    });
    ShowMessageBox(medium, mkInformation, mbOKOnly, 0, -1, -1);

    const std::string longText =
        "O arquivo de destino não pôde ser gravado porque o disco está cheio ou protegido.";
    ASSERT_GT(TextWidth(longText) + 75, 380);
    driver.PressEnter([&](TForm& f) {
        auto* label = Find<TLabel>(f, "Message");
        EXPECT_EQ(f.Width(), 390);
        EXPECT_EQ(label->Width(), 390 - 75);
        EXPECT_EQ(label->Height(), 3 * lineHeight);
        EXPECT_EQ(f.Height(), 145);
        EXPECT_EQ(label->Top(), (145 - 55 - 3 * lineHeight) / 2);
        const std::string shot = ScreenshotPath("messagebox-wrapped.png");
        ASSERT_TRUE(SaveControlImage(f, shot));
        // Text on the second line too.
        EXPECT_GT(DarkPixels(shot, Bounds(60, label->Top() + lineHeight, 315, lineHeight)), 10);
    });
    ShowMessageBox(longText, mkError, mbOKOnly, 0, -1, -1);

    // Eight lines: taller than 90 pixels, the form grows to the label's height + 75.
    const std::string tall = "1\n2\n3\n4\n5\n6\n7\n8";
    driver.PressEnter([&](TForm& f) {
        auto* label = Find<TLabel>(f, "Message");
        ASSERT_GT(label->Height(), 90);
        EXPECT_EQ(label->Height(), 8 * lineHeight);
        EXPECT_EQ(f.Height(), label->Height() + 75);
        EXPECT_EQ(label->Top(), (f.Height() - 55 - label->Height()) / 2);
        EXPECT_EQ(Find<TBitBtn>(f, "OK")->Top(), f.Height() - 55);
    });
    ShowMessageBox(tall, mkWarning, mbOKOnly, 0, -1, -1);

    // A very long message is never cut: its label holds every wrapped line.
    const std::string veryLong = RepeatStr("palavra ", 120);
    driver.PressEnter([&](TForm& f) {
        auto* label = Find<TLabel>(f, "Message");
        EXPECT_EQ(label->Height(), label->TextExtentHeight(label->Width()));
        EXPECT_GT(label->Height(), 3 * lineHeight);
        EXPECT_EQ(f.Height(), label->Height() + 75);
    });
    ShowMessageBox(veryLong, mkWarning, mbOKOnly, 0, -1, -1);
    EXPECT_EQ(driver.Unanswered(), 0);
}

TEST_F(MessageBoxTest, IconCyclesThroughItsFrames) {
    TModalDriver driver;
    driver.PressEnter([&](TForm& f) {
        auto* icon = Find<TAnimatedStrip>(f, "Image");
        ASSERT_NE(icon, nullptr);
        std::vector<int> frames{icon->Frame()};
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (frames.size() < 3 && std::chrono::steady_clock::now() < end) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            if (icon->Frame() != frames.back()) frames.push_back(icon->Frame());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        // The strip may already have stepped before the handler ran on a loaded
        // machine: what matters is that it advances one frame at a time.
        ASSERT_EQ(frames.size(), 3u);
        const int count = icon->FrameCount();
        for (size_t i = 1; i < frames.size(); ++i) EXPECT_EQ(frames[i], (frames[i - 1] + 1) % count) << i;
    });
    ShowMessageBox("Aguarde", mkQuestion, mbYesNo, 0, -1, -1);
}

TEST_F(MessageBoxTest, InputBoxOutcomes) {
    TModalDriver driver;
    driver.CloseBox();
    EXPECT_EQ(ShowInputBox("Senha", "Entre com a senha", "", 3, 1, "x"), "@Cancel@");
    driver.PressEnter();
    EXPECT_EQ(ShowInputBox("Pergunta", "Continuar?", "", 3, 0, ""), "@OK@");
    driver.Queue({TModalAction::maEnter, mrNone, std::string("nova pasta"), [&](TForm& f) {
                      auto* edit = Find<TEdit>(f, "Edit");
                      ASSERT_NE(edit, nullptr);
                      EXPECT_EQ(edit->Text(), "padrão"); // the default, trimmed
                      EXPECT_EQ(edit->BoundsRect().Left, 60);
                      EXPECT_EQ(edit->Top(), 30);
                      EXPECT_EQ(edit->Width(), 290);
                      EXPECT_EQ(f.ActiveControl(), edit);
                      EXPECT_EQ(Find<TLabel>(f, "Prompt")->BoundsRect().Top, 10);
                      EXPECT_EQ(Find<TLabel>(f, "Note")->Top(), 60);
                      EXPECT_EQ(Find<TBitBtn>(f, "OK")->Left(), 375 - 87 - 82);
                      EXPECT_EQ(Find<TBitBtn>(f, "Cancel")->Left(), 375 - 87);
                      EXPECT_NE(Find<TAnimatedStrip>(f, "Image"), nullptr);
                      const std::string shot = ScreenshotPath("inputbox.png");
                      ASSERT_TRUE(SaveControlImage(f, shot));
                      EXPECT_GT(DarkPixels(shot, Bounds(60, 10, 290, 13)), 15);
                  }});
    EXPECT_EQ(ShowInputBox("Nova pasta", "Nome da pasta:", "Obs.: sem barras", 3, 1, "  padrão  "),
              "nova pasta");
    driver.Queue({TModalAction::maEnter, mrNone, std::string(""), {}});
    EXPECT_EQ(ShowInputBox("Nova pasta", "Nome:", "", 3, 1, "abc"), ""); // typed empty text
    driver.Click(mrCancel);
    EXPECT_EQ(ShowInputBox("Nova pasta", "Nome:", "", 3, 1, "abc"), "@Cancel@");
    driver.PressEscape();
    EXPECT_EQ(ShowInputBox("Aviso", "Somente cancelar", "", 2, 0, ""), "@Cancel@");
    EXPECT_EQ(driver.Unanswered(), 0);
    EXPECT_EQ(driver.Shown().at(2).Caption, "Nova pasta");
}

TEST_F(MessageBoxTest, FixFormFontsOnlyAwayFrom96Dpi) {
    TForm form(nullptr);
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    FixFormFonts(form);
    EXPECT_EQ(label->Font().Name(), "MS Sans Serif");
    EXPECT_TRUE(form.Scaled());
    form.SetPixelsPerInch(120);
    FixFormFonts(form);
    EXPECT_EQ(label->Font().Name(), "Arial");
    EXPECT_EQ(label->Font().Size(), 8);
    EXPECT_EQ(panel->Font().Name(), "MS Sans Serif");
    EXPECT_FALSE(form.Scaled());
}

TEST_F(MessageBoxTest, ExceptionsReachAnErrorBox) {
    ShowExceptionsInMessageBox();
    TModalDriver driver;
    driver.PressEnter();
    Application->HandleException(std::string("Disco cheio"));
    ASSERT_EQ(driver.Shown().size(), 1u);
    EXPECT_EQ(driver.Shown()[0].Caption, "Erro !");
    EXPECT_NE(std::find(driver.Shown()[0].Texts.begin(), driver.Shown()[0].Texts.end(), "Disco cheio"),
              driver.Shown()[0].Texts.end());
    Application->OnException = nullptr;
}

} // namespace
} // namespace mv
