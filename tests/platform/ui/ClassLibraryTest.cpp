// The desktop class library under the offscreen platform: ownership, alignment, posted
// messages, timers, the exception boundary, modal forms answered by the modal driver,
// resources, screenshots, and one form in a real X window under Xvfb.
#include "platform/ui/Form.h"
#include "platform/ui/Menu.h"
#include "platform/ui/ModalDriver.h"
#include "platform/Sound.h"
#include "platform/ui/StdControls.h"
#include "platform/ui/Timer.h"
#include "resources/ResourceData.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <thread>

namespace mv {
namespace {

class Probe : public TComponent {
public:
    Probe(TComponent* owner, std::vector<std::string>& log, std::string name) : TComponent(owner), FLog(log) {
        SetName(std::move(name));
    }
    ~Probe() override { FLog.push_back("~" + Name()); }

protected:
    void Notification(TComponent* c, TOperation op) override {
        FLog.push_back(Name() + (op == TOperation::opInsert ? "+" : "-") + c->Name());
    }

private:
    std::vector<std::string>& FLog;
};

class MessageSink : public TPanel {
public:
    using TPanel::TPanel;
    void Dispatch(TMessage& m) override { Received.push_back(m); }
    std::vector<TMessage> Received;
};

void PumpUntil(const std::function<bool()>& done, int ms = 2000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// Screenshots go into the build tree, beside the test program.
std::string ScreenshotPath(const std::string& name) {
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "screenshots";
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

TEST(ClassLibrary, OwnerDestroysWhatItOwnsAndHearsRemovals) {
    std::vector<std::string> log;
    auto owner = std::make_unique<Probe>(nullptr, log, "owner");
    auto* a = new Probe(owner.get(), log, "a");
    new Probe(owner.get(), log, "b");
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->FindComponent("b")->Name(), "b");
    delete a;
    EXPECT_EQ(owner->ComponentCount(), 1);
    owner.reset();
    // Names are set after insertion; the owner's own override is gone once it is
    // being destroyed, so only removals before that are heard.
    const std::vector<std::string> expected{"owner+", "owner+", "~a", "owner-a", "~owner", "~b"};
    EXPECT_EQ(log, expected);
}

TEST(ClassLibrary, ParentDestroysItsControlsAndAlignmentFillsTheEdges) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetBounds(0, 0, 300, 200);
    EXPECT_EQ(form->ClientWidth(), 300 - 6);
    EXPECT_EQ(form->ClientHeight(), 200 - 6 - 19);
    auto* top = new TPanel(form.get());
    top->SetHeight(5);
    top->SetParent(form.get());
    top->SetAlign(TAlign::alTop);
    auto* bottom = new TPanel(form.get());
    bottom->SetHeight(7);
    bottom->SetParent(form.get());
    bottom->SetAlign(TAlign::alBottom);
    auto* left = new TBevel(form.get());
    left->SetParent(form.get());
    left->SetAlign(TAlign::alLeft);
    EXPECT_EQ(top->BoundsRect(), Bounds(0, 0, 294, 5));
    EXPECT_EQ(bottom->BoundsRect(), Bounds(0, 175 - 7, 294, 7));
    EXPECT_EQ(left->BoundsRect(), Bounds(0, 5, 50, 175 - 12));

    auto* group = new TGroupBox(form.get());
    group->SetParent(form.get());
    auto* inner = new TButton(form.get());
    inner->SetParent(group);
    EXPECT_EQ(form->ComponentCount(), 5);
    delete group; // takes the button it holds with it
    EXPECT_EQ(form->ComponentCount(), 3);
}

TEST(ClassLibrary, PostedMessagesArriveInOrderFromAnyThread) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    auto* sink = new MessageSink(form.get());
    sink->SetParent(form.get());
    PostMessage(sink, 1124, 1, 2);
    std::thread worker([sink] { PostMessage(sink, 1125, 3, 4); });
    worker.join();
    EXPECT_TRUE(sink->Received.empty()); // handled later, not inside the call
    PumpUntil([&] { return sink->Received.size() == 2; });
    ASSERT_EQ(sink->Received.size(), 2u);
    EXPECT_EQ(sink->Received[0].Msg, 1124u);
    EXPECT_EQ(sink->Received[0].LParam, 2);
    EXPECT_EQ(sink->Received[1].Msg, 1125u);
    EXPECT_EQ(sink->Received[1].WParam, 3);
}

TEST(ClassLibrary, TimerFiresWhileEnabled) {
    EnsureApplication();
    TTimer timer(nullptr);
    int ticks = 0;
    timer.OnTimer = [&](TComponent*) { ++ticks; };
    timer.SetInterval(5);
    PumpUntil([&] { return ticks >= 3; });
    EXPECT_GE(ticks, 3);
    timer.SetEnabled(false);
    const int stopped = ticks;
    PumpUntil([] { return false; }, 30);
    EXPECT_EQ(ticks, stopped);
}

TEST(ClassLibrary, ExceptionFromAHandlerStopsAtTheBoundary) {
    EnsureApplication();
    std::vector<std::string> shown;
    Application->OnException = [&](const std::string& m) { shown.push_back(m); };
    auto form = std::make_unique<TForm>(nullptr);
    auto* button = new TButton(form.get());
    button->SetParent(form.get());
    button->OnClick = [](TComponent*) { throw std::runtime_error("disk full"); };
    // A click through Qt's own signal, as a user's click arrives.
    QMetaObject::invokeMethod(button->Widget(), "click");
    Application->OnException = nullptr;
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "disk full");
}

TEST(ClassLibrary, AHandlerMayFreeTheFormItRunsOn) {
    EnsureApplication();
    auto* form = new TForm(nullptr);
    auto* button = new TButton(form);
    button->SetParent(form);
    bool freed = false;
    button->OnClick = [&freed, form](TComponent*) {
        bool* done = &freed; // the handler itself goes with the form
        delete form;
        *done = true;
    };
    form->Show();
    QMetaObject::invokeMethod(button->Widget(), "click");
    EXPECT_TRUE(freed);
    QApplication::processEvents(); // the widgets go now
}

TEST(ClassLibrary, ModalDriverAnswersWithRealKeysAndRecordsTexts) {
    EnsureApplication();
    TForm form(nullptr);
    form.SetCaption("Question");
    form.SetBorderStyle(TFormBorderStyle::bsDialog);
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    label->SetCaption("&Proceed?");
    auto* yes = new TButton(&form);
    yes->SetParent(&form);
    yes->SetCaption("&Yes");
    yes->SetModalResult(mrYes);
    yes->SetDefault(true);
    auto* no = new TButton(&form);
    no->SetParent(&form);
    no->SetLeft(80);
    no->SetCaption("&No");
    no->SetModalResult(mrNo);
    no->SetCancel(true);
    TModalDriver driver;
    driver.PressEnter();
    driver.PressEscape();
    driver.CloseBox();
    driver.Click(mrNo);
    EXPECT_EQ(form.ShowModal(), mrYes);
    EXPECT_EQ(form.ShowModal(), mrNo);
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(form.ShowModal(), mrNo);
    EXPECT_EQ(form.ShowModal(), mrCancel); // nothing queued: closed, counted
    EXPECT_EQ(driver.Unanswered(), 1);
    ASSERT_EQ(driver.Shown().size(), 5u);
    EXPECT_EQ(driver.Shown()[0].Caption, "Question");
    EXPECT_EQ(driver.Shown()[0].Texts, (std::vector<std::string>{"&Proceed?", "&Yes", "&No"}));
    EXPECT_EQ(driver.Shown()[2].ModalResult, mrCancel);
}

// A button's modal result closes the form the way the close box does: the form is
// asked first and may refuse, and its close handler runs once (dialogs save their
// settings there).
TEST(ClassLibrary, ModalResultOfAButtonAsksTheFormAndRunsItsCloseHandler) {
    EnsureApplication();
    TForm form(nullptr);
    auto* ok = new TButton(&form);
    ok->SetParent(&form);
    ok->SetCaption("OK");
    ok->SetModalResult(mrOk);
    std::vector<std::string> log;
    int queries = 0;
    form.OnCloseQuery = [&](TComponent*, bool& canClose) {
        log.push_back("query");
        canClose = ++queries > 1;
        // Refused once: the user clicks again.
        if (!canClose) QTimer::singleShot(0, [ok] { ok->Click(); });
    };
    form.OnClose = [&](TComponent*, TCloseAction&) { log.push_back("close"); };
    TModalDriver driver;
    driver.Click(mrOk);
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(log, (std::vector<std::string>{"query", "query", "close"}));

    // The close box asks once too, not again when the run ends.
    log.clear();
    driver.CloseBox();
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(log, (std::vector<std::string>{"query", "close"}));

    // A close handler that keeps the form open keeps the run going.
    log.clear();
    int closes = 0;
    form.OnClose = [&](TComponent*, TCloseAction& action) {
        log.push_back("close");
        if (++closes == 1) {
            action = TCloseAction::caNone;
            QTimer::singleShot(0, [ok] { ok->Click(); });
        }
    };
    driver.Click(mrOk);
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(log, (std::vector<std::string>{"query", "close", "query", "close"}));

    // A form that closes itself as it shows is asked once as well.
    log.clear();
    form.OnClose = [&](TComponent*, TCloseAction&) { log.push_back("close"); };
    form.OnShow = [&](TComponent*) { form.Close(); };
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(log, (std::vector<std::string>{"query", "close"}));
    form.OnShow = nullptr;
}

TEST(ClassLibrary, StandardControlsKeepTheirState) {
    EnsureApplication();
    TForm form(nullptr);
    auto* group = new TRadioGroup(&form);
    group->SetParent(&form);
    group->Items().Assign({"one", "two", "three"});
    group->SetItemIndex(1);
    EXPECT_EQ(group->ItemIndex(), 1);
    group->SetItemIndex(7);
    EXPECT_EQ(group->ItemIndex(), -1);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    edit->SetTextValue("C:/tmp");
    EXPECT_EQ(edit->Text(), "C:/tmp");
    auto* check = new TCheckBox(&form);
    check->SetParent(&form);
    check->SetChecked(true);
    EXPECT_TRUE(check->Checked());
    auto* a = new TSpeedButton(&form);
    auto* b = new TSpeedButton(&form);
    for (auto* s : {a, b}) {
        s->SetParent(&form);
        s->SetGroupIndex(1);
    }
    a->Click();
    EXPECT_TRUE(a->Down());
    b->Click();
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down());
    b->SetDown(false); // the last button down of a group without "all up" stays down
    EXPECT_TRUE(b->Down());
    auto* pages = new TPageControl(&form);
    pages->SetParent(&form);
    auto* sheet = new TTabSheet(&form);
    sheet->SetPageControl(pages);
    sheet->SetCaption("Main");
    EXPECT_EQ(pages->PageCount(), 1);
    EXPECT_EQ(sheet->PageIndex(), 0);
    TMenuItem root(nullptr);
    auto* item = new TMenuItem(&root);
    root.Add(item);
    int clicks = 0;
    item->OnClick = [&](TComponent*) { ++clicks; };
    item->Click();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(StripAccelChars("S&im && N&ao"), "Sim & Nao");
    const std::pair<const char*, char> accels[] = {
        {"&Ok", 'o'}, {"S&im && N&ao", 'i'}, {"A && B", 0}, {"End&", 0}, {"&&&X", 'x'}, {"", 0}, {"& x", 0},
    };
    for (const auto& [caption, accel] : accels) EXPECT_EQ(AccelCharOf(caption), accel) << caption;
    EXPECT_TRUE(IsAccel('O', "&Ok"));
    EXPECT_FALSE(IsAccel('k', "&Ok"));

    auto* combo = new TComboBox(&form);
    combo->SetParent(&form);
    int changes = 0;
    combo->OnChange = [&](TComponent*) { ++changes; };
    combo->Items().Assign({"C:/", "D:/dados"});
    EXPECT_EQ(changes, 0); // filling the list is no change of the text
    combo->SetItemIndex(1);
    EXPECT_EQ(combo->Text(), "D:/dados");
    EXPECT_EQ(combo->ItemIndex(), 1);
    combo->SetTextValue("E:/outra");
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(combo->Text(), "E:/outra");
    EXPECT_GE(changes, 2);
    combo->SetStyle(TComboBoxStyle::csDropDownList);
    combo->SetTextValue("C:/");
    EXPECT_EQ(combo->ItemIndex(), 0);

    auto* bar = new TProgressBar(&form);
    bar->SetParent(&form);
    bar->SetPosition(140);
    EXPECT_EQ(bar->Position(), 100);
    bar->SetPosition(-3);
    EXPECT_EQ(bar->Position(), 0);

    auto* image = new TImage(&form);
    image->SetParent(&form);
    image->SetAutoSize(true);
    ASSERT_TRUE(image->Picture().LoadFromResourceName("INTERR"));
    image->PictureChanged();
    EXPECT_EQ(image->Width(), 160);
    EXPECT_EQ(image->Height(), 32);
}

TEST(ClassLibrary, ResourcesLoadAsStripsAndSounds) {
    EnsureApplication();
    const std::pair<const char*, int> strips[] = {
        {"INTERR", 160}, {"INFORM", 192}, {"EXCLAM", 224}, {"ERROR", 256}};
    for (auto [name, width] : strips) {
        SCOPED_TRACE(name);
        TBitmap bitmap;
        ASSERT_TRUE(bitmap.LoadFromResourceName(name));
        EXPECT_EQ(bitmap.Width(), width);
        EXPECT_EQ(bitmap.Height(), 32);
    }
    TBitmap missing;
    EXPECT_FALSE(missing.LoadFromResourceName("NOSUCH"));
    EXPECT_TRUE(missing.Empty());
    for (const char* name : {"BEEP", "CLEK", "CLICK", "INICIO", "LIXO", "NOTICIA"}) {
        SCOPED_TRACE(name);
        const auto wave = FindResourceData(TResourceKind::rkWave, name);
        ASSERT_GT(wave.size(), 44u);
        const int ms = WaveDurationMs(wave);
        EXPECT_GT(ms, 10);
        EXPECT_LT(ms, 1000); // short sounds
    }
    EXPECT_EQ(FindResourceData(TResourceKind::rkWave, "click").size(),
              FindResourceData(TResourceKind::rkWave, "CLICK").size());
}

TEST(ClassLibrary, ScreenshotOfAFormShowsItsText) {
    EnsureApplication();
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 80);
    form.SetBorderStyle(TFormBorderStyle::bsDialog);
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    label->SetBounds(10, 10, 0, 0);
    label->SetCaption("Morvelan");
    form.Show();
    const std::string path = ScreenshotPath("class-library-form.png");
    ASSERT_TRUE(SaveControlImage(form, path));
    TBitmap shot;
    ASSERT_TRUE(shot.LoadFromFile(path));
    int dark = 0;
    for (int y = 0; y < shot.Height(); ++y)
        for (int x = 0; x < shot.Width(); ++x)
            if ((ColorToRGB(shot.Pixel(x, y)) & 0xFF) < 0x60) ++dark;
    EXPECT_GT(dark, 20); // the text is drawn
    form.Hide();
}

// Shows a small form in a real X window: the test runs itself again under Xvfb.
TEST(XvfbWindow, FormShowsInARealXWindow) {
    if (std::getenv("MV_XVFB_CHILD")) {
        EnsureApplication();
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
        TForm form(nullptr);
        form.SetCaption("Morvelan");
        form.SetBounds(20, 20, 240, 120);
        auto* button = new TButton(&form);
        button->SetParent(&form);
        button->SetBounds(20, 20, 75, 25);
        button->SetCaption("&Ok");
        form.Show();
        PumpUntil([&] { return form.Widget()->windowHandle() && form.Widget()->windowHandle()->isExposed(); },
                  5000);
        ASSERT_TRUE(form.Widget()->windowHandle()->isExposed());
        EXPECT_NE(form.Widget()->winId(), 0u);
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(form.Widget()->winId());
        EXPECT_FALSE(shot.isNull());
        if (const char* out = std::getenv("MV_XVFB_SHOT")) shot.save(out, "PNG");
        return;
    }
    if (!mvtest::RequireTool("xvfb-run") || !mvtest::RequireTool("Xvfb")) return;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string shot = ScreenshotPath("xvfb-form.png");
    const auto result =
        mvtest::Run("xvfb-run -a -s '-screen 0 800x600x24' env MV_XVFB_CHILD=1 QT_QPA_PLATFORM=xcb "
                    "ASAN_OPTIONS=detect_leaks=0 MV_XVFB_SHOT=" +
                    mvtest::Quote(shot) + " " + mvtest::Quote(self) +
                    " --gtest_filter=XvfbWindow.FormShowsInARealXWindow");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("[  PASSED  ] 1 test"), std::string::npos) << result.output;
}

} // namespace
} // namespace mv
