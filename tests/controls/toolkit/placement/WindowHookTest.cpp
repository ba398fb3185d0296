// Window hooks: shared control hooks, the before and after chains, a handled message,
// exceptions, the destroy message, a procedure installed over the hook, and deferred
// freeing.
#include "controls/toolkit/placement/WindowHook.h"
#include "platform/ui/Form.h"
#include "platform/ui/StdControls.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <stdexcept>

namespace mv {
namespace {

class Recorder : public TPanel {
public:
    using TPanel::TPanel;
    std::vector<std::string>* Log = nullptr;
    bool Fail = false;
    void Dispatch(TMessage& m) override {
        if (Log) Log->push_back("control " + std::to_string(m.Msg));
        if (Fail && m.Msg == WM_USER) throw std::runtime_error("control failed");
    }
};

struct Fixture {
    std::vector<std::string> log;
    std::vector<std::string> errors;
    std::unique_ptr<TForm> form;
    Recorder* control;
    Fixture() {
        EnsureApplication().OnException = [this](const std::string& m) { errors.push_back(m); };
        form = std::make_unique<TForm>(nullptr);
        control = new Recorder(form.get());
        control->SetParent(form.get());
        control->Log = &log;
    }
    ~Fixture() { Application->OnException = nullptr; }
    std::unique_ptr<TMvWindowHook> Hook(const std::string& name, bool handleBefore = false) {
        auto hook = std::make_unique<TMvWindowHook>(nullptr);
        hook->BeforeMessage = [this, name, handleBefore](TComponent*, TMessage& m, bool& handled) {
            log.push_back(name + " before " + std::to_string(m.Msg));
            if (handleBefore) handled = true;
        };
        hook->AfterMessage = [this, name](TComponent*, TMessage& m, bool&) {
            log.push_back(name + " after " + std::to_string(m.Msg));
        };
        hook->SetWinControl(control);
        return hook;
    }
};

TEST(WindowHook, HooksShareOneControlHookAndRunLastAttachedFirst) {
    Fixture f;
    auto a = f.Hook("a");
    auto b = f.Hook("b");
    TControlHook* shared = THookList::Instance().Find(f.control);
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->HookCount(), 2);
    EXPECT_EQ(a->WinControl(), f.control);
    f.control->Perform(WM_USER, 0, 0);
    EXPECT_EQ(f.log, (std::vector<std::string>{"b before 1024", "a before 1024", "control 1024",
                                               "b after 1024", "a after 1024"}));
    // One off: the other goes on; both off: the control's own procedure is back.
    f.log.clear();
    b->SetActive(false);
    f.control->Perform(WM_USER, 0, 0);
    EXPECT_EQ(f.log, (std::vector<std::string>{"a before 1024", "control 1024", "a after 1024"}));
    a->SetActive(false);
    EXPECT_EQ(f.control->WindowProcInstaller(), nullptr);
    f.log.clear();
    f.control->Perform(WM_USER, 0, 0);
    EXPECT_EQ(f.log, (std::vector<std::string>{"control 1024"}));
    a->SetActive(true);
    EXPECT_EQ(f.control->WindowProcInstaller(), shared);
}

TEST(WindowHook, AHandledMessageStopsTheChainButDestroyAlwaysReachesTheControl) {
    Fixture f;
    // The control's own procedure, as the hooks find it (its handlers below are gone
    // once its destructor runs, so the message is logged here).
    TWndMethod own = f.control->WindowProc();
    f.control->SetWindowProc(
        [&, own](TMessage& m) {
            if (m.Msg == WM_DESTROY) f.log.push_back("control 2");
            own(m);
        },
        nullptr);
    auto first = f.Hook("first");
    auto stopper = f.Hook("stopper", true);
    f.control->Perform(WM_USER, 0, 0);
    EXPECT_EQ(f.log, (std::vector<std::string>{"stopper before 1024"}));
    f.log.clear();
    // Posted messages pass the hooks too.
    PostMessage(f.control, WM_USER + 5, 0, 0);
    QApplication::processEvents();
    EXPECT_EQ(f.log, (std::vector<std::string>{"stopper before 1029"}));
    f.log.clear();
    f.form.reset(); // destroys the control
    EXPECT_EQ(f.log, (std::vector<std::string>{"stopper before 2", "control 2", "stopper after 2",
                                               "first after 2"}));
    // The hooks have let go of the destroyed control.
    EXPECT_EQ(first->WinControl(), nullptr);
    EXPECT_EQ(stopper->WinControl(), nullptr);
}

TEST(WindowHook, HandlerErrorsAreReportedAndAfterHooksRunWhenTheControlFails) {
    Fixture f;
    auto a = f.Hook("a");
    auto thrower = std::make_unique<TMvWindowHook>(nullptr);
    thrower->BeforeMessage = [](TComponent*, TMessage&, bool&) { throw std::runtime_error("hook failed"); };
    thrower->SetWinControl(f.control);
    f.control->Perform(WM_USER + 1, 0, 0);
    EXPECT_EQ(f.errors, (std::vector<std::string>{"hook failed"}));
    EXPECT_EQ(f.log, (std::vector<std::string>{"a before 1025", "control 1025", "a after 1025"}));
    f.log.clear();
    f.control->Fail = true;
    EXPECT_THROW(f.control->Perform(WM_USER, 0, 0), std::runtime_error);
    EXPECT_EQ(f.log, (std::vector<std::string>{"a before 1024", "control 1024", "a after 1024"}));
    // Through the dispatch boundary the failure is reported, never thrown into Qt.
    f.log.clear();
    PostMessage(f.control, WM_USER, 0, 0);
    QApplication::processEvents();
    EXPECT_EQ(f.errors.back(), "control failed");
    EXPECT_EQ(f.log.back(), "a after 1024");
}

TEST(WindowHook, AProcedureInstalledOverTheHookIsLeftInPlace) {
    Fixture f;
    auto a = f.Hook("a");
    TWndMethod below = f.control->WindowProc();
    int marker = 0;
    f.control->SetWindowProc(
        [&, below](TMessage& m) {
            f.log.push_back("over " + std::to_string(m.Msg));
            below(m);
        },
        &marker);
    a->SetActive(false);
    EXPECT_EQ(f.control->WindowProcInstaller(), &marker);
    f.control->Perform(WM_USER, 0, 0);
    // The chain is unchanged: the later procedure still calls the hook's, which now
    // only passes the message on.
    EXPECT_EQ(f.log.front(), "over 1024");
    EXPECT_EQ(f.log.back(), "control 1024");
}

TEST(WindowHook, AnEmptyControlHookIsFreedAfterTheCurrentMessage) {
    QApplication::processEvents(); // what earlier tests left to free
    Fixture f;
    const int before = THookList::Instance().Count();
    auto a = f.Hook("a");
    EXPECT_EQ(THookList::Instance().Count(), before + 1);
    auto other = std::make_unique<TPanel>(f.form.get());
    other->SetParent(f.form.get());
    a->SetWinControl(other.get());
    EXPECT_EQ(THookList::Instance().Count(), before + 2); // the old one waits for the posted message
    QApplication::processEvents();
    EXPECT_EQ(THookList::Instance().Count(), before + 1);
    EXPECT_EQ(THookList::Instance().Find(f.control), nullptr);
    a.reset();
    other.reset();
    QApplication::processEvents();
}

} // namespace
} // namespace mv
