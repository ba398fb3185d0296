// Docks, toolbars and tool windows on a real form, driven through their mouse and
// key handlers: drags between docks, floating, Ctrl and Esc, the close button,
// double-clicks, the dock/float event order, saved positions and screenshots of a
// form with four docks and three toolbars (one floating) and of a tool window.
#include "controls/toolkit/docking/ToolDock.h"
#include "controls/toolkit/docking/ToolWindowPositions.h"
#include "platform/IniFile.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Docking.h"
#include "platform/ui/Form.h"
#include "platform/ui/Labels.h"
#include "platform/ui/Panels.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/SysMetrics.h"

#include <QApplication>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mv {
namespace {

std::string ShotPath(const std::string& name) {
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() /
                        "screenshots" / "docking";
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

std::string TempIni(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() / ("mv-docking-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / name;
    std::filesystem::remove(path);
    return path.string();
}

struct Captions {
    const char* lang;
    const char* file;
    const char* edit;
    const char* view;
    const char* progress;
};
const Captions kCaptions[] = {
    {"pt", "Arquivo", "Editar", "Exibir", "Progresso da operação"},
    {"en", "File", "Edit", "View", "Operation progress"},
    {"es", "Archivo", "Editar", "Ver", "Progreso de la operación"},
};

// A form like the scripts window: four docks, three toolbars of 30 x 30 buttons
// (a separator in each) and a tool window.
struct DockForm {
    std::unique_ptr<TForm> form;
    TToolDock *top = nullptr, *bottom = nullptr, *left = nullptr, *right = nullptr;
    TDockToolbar *bar1 = nullptr, *bar2 = nullptr, *bar3 = nullptr;
    TToolWindow* tool = nullptr;
};

TDockToolbar* MakeToolbar(TForm& form, const std::string& name, const std::string& caption, int buttons) {
    auto* bar = new TDockToolbar(&form);
    bar->SetName(name);
    bar->SetCaption(caption);
    bar->SetHideWhenInactive(false);
    for (int i = 0; i < buttons; ++i) {
        if (i == 2) {
            auto* sep = new TDockToolbarSep(&form);
            bar->InsertControl(sep);
        }
        auto* b = new TSpeedButton(&form);
        b->SetCaption(std::string(1, static_cast<char>('A' + i)));
        b->SetBounds(0, 0, 30, 30);
        bar->InsertControl(b);
    }
    bar->Loaded();
    return bar;
}

DockForm MakeForm(const Captions& text, bool showIt = true) {
    EnsureApplication();
    DockForm f;
    f.form = std::make_unique<TForm>(nullptr);
    f.form->SetName("FormScript");
    f.form->SetBounds(100, 80, 640, 420);
    const struct {
        TToolDock** dock;
        const char* name;
        TDockPosition position;
    } docks[] = {{&f.top, "dockSuperior", TDockPosition::dpTop},
                 {&f.bottom, "dockInferior", TDockPosition::dpBottom},
                 {&f.left, "dockEsquerda", TDockPosition::dpLeft},
                 {&f.right, "dockDireita", TDockPosition::dpRight}};
    for (const auto& d : docks) {
        *d.dock = new TToolDock(f.form.get());
        (*d.dock)->SetName(d.name);
        (*d.dock)->SetPosition(d.position);
        (*d.dock)->SetParent(f.form.get());
    }
    f.bar1 = MakeToolbar(*f.form, "tbArquivo", text.file, 4);
    f.bar2 = MakeToolbar(*f.form, "tbEditar", text.edit, 3);
    f.bar3 = MakeToolbar(*f.form, "tbExibir", text.view, 5);
    f.tool = new TToolWindow(f.form.get());
    f.tool->SetName("ProgressoTw");
    f.tool->SetCaption(text.progress);
    f.tool->SetHideWhenInactive(false);
    f.tool->Loaded();
    f.tool->SetClientAreaSize(160, 48);
    auto* label = new TLabel(f.form.get());
    label->SetCaption(text.progress);
    label->SetBounds(4, 4, 150, 16);
    label->SetParent(f.tool);
    f.bar1->SetParent(f.top);
    f.bar2->StoreDockPlace(0, 200);
    f.bar2->SetParent(f.top);
    f.bar3->SetParent(f.left);
    if (showIt) f.form->Show();
    QApplication::processEvents();
    return f;
}

// A point of a control given in screen terms, as the control's own coordinates.
TPoint Local(const TControl& c, TPoint screen) {
    const TPoint origin = ControlToScreen(c, {0, 0});
    return {screen.X - origin.X, screen.Y - origin.Y};
}

// Drags a window by its handle (5, 10) to a screen point and lets go.
void DragTo(TCustomToolWindow& w, TPoint screen, TShiftState shift = 0, bool release = true) {
    w.MouseDown(TMouseButton::mbLeft, ssLeft | shift, 5, 10);
    const TPoint to = Local(w, screen);
    w.MouseMove(ssLeft | shift, to.X, to.Y);
    if (release) w.MouseUp(TMouseButton::mbLeft, shift, to.X, to.Y);
}

TEST(DockingForm, DocksAndToolbarLayout) {
    DockForm f = MakeForm(kCaptions[1]);
    // Four buttons and a separator: 4 * 30 + 6 client wide, a row of 30, docked bars
    // are 4 thicker than the row; the handle adds 9 + 2 + 2 across the frame.
    EXPECT_EQ(f.bar1->ClientWidth(), 126);
    EXPECT_EQ(f.bar1->ClientHeight(), 30);
    EXPECT_EQ(f.bar1->Height(), 34);
    EXPECT_EQ(f.bar1->Width(), 126 + 13);
    EXPECT_EQ(f.top->Height(), 34);
    EXPECT_EQ(f.bar1->Left(), 0);
    EXPECT_EQ(f.bar2->Left(), 200);
    EXPECT_EQ(f.left->Width(), 34);
    EXPECT_EQ(f.bottom->Height(), 0); // empty
    // In the left dock the handle is on top and the buttons go down.
    EXPECT_EQ(f.bar3->Width(), 34);
    EXPECT_EQ(f.bar3->Height(), 5 * 30 + 6 + 13);
    // The separator of the first toolbar sits between the second and third button.
    const auto& order = f.bar1->ControlOrder();
    ASSERT_EQ(order.size(), 5u);
    EXPECT_EQ(order[2]->Width(), 6);
    EXPECT_EQ(order[2]->Left(), 11 + 60);
}

TEST(DockingForm, DragSequences) {
    DockForm f = MakeForm(kCaptions[1]);
    // To the bottom dock.
    const TRect bottom = ScreenRectOf(*f.bottom);
    DragTo(*f.bar1, {bottom.Left + 100, bottom.Top - 2});
    EXPECT_EQ(f.bar1->DockedTo(), f.bottom);
    EXPECT_EQ(f.bottom->Height(), 34);
    EXPECT_EQ(f.bar1->LastDock(), f.bottom);
    // Off every dock: it floats, a top-level window of its own.
    const TRect formRect = ScreenRectOf(*f.form);
    DragTo(*f.bar1, {formRect.Left + 300, formRect.Top + 200});
    EXPECT_TRUE(f.bar1->Floating());
    EXPECT_EQ(f.bar1->DockedTo(), nullptr);
    EXPECT_EQ(f.bottom->Height(), 0);
    EXPECT_TRUE(f.bar1->FloatingHost()->Widget()->isWindow());
    // Back onto the top dock, behind the other toolbar.
    const TRect top = ScreenRectOf(*f.top);
    DragTo(*f.bar1, {top.Left + 420, top.Top + 10});
    EXPECT_EQ(f.bar1->DockedTo(), f.top);
    EXPECT_EQ(f.bar1->DockRow(), 0);
    EXPECT_GE(f.bar1->Left(), f.bar2->Left() + f.bar2->Width());
    // Ctrl held: never docks.
    DragTo(*f.bar1, {bottom.Left + 100, bottom.Top - 2}, ssCtrl);
    EXPECT_TRUE(f.bar1->Floating());
    // Esc: nothing moves.
    const int floatLeft = f.bar1->FloatLeft();
    DragTo(*f.bar1, {top.Left + 100, top.Top + 10}, 0, false);
    EXPECT_TRUE(f.bar1->DragRunning());
    uint16_t esc = 27;
    f.bar1->KeyDown(esc, 0);
    EXPECT_FALSE(f.bar1->DragRunning());
    f.bar1->MouseUp(TMouseButton::mbLeft, 0, 0, 0);
    EXPECT_TRUE(f.bar1->Floating());
    EXPECT_EQ(f.bar1->FloatLeft(), floatLeft);
    // Cannot float: dropped away from the docks it stays where it was.
    f.bar2->SetDockMode(TToolWindowDockMode::dmCannotFloat);
    DragTo(*f.bar2, {formRect.Left + 300, formRect.Top + 200}, 0, false);
    EXPECT_TRUE(f.bar2->Drag().ForbiddenCursor());
    f.bar2->MouseUp(TMouseButton::mbLeft, 0, 0, 0);
    EXPECT_EQ(f.bar2->DockedTo(), f.top);
    // A dock that refuses is passed over.
    f.bottom->OnRequestDock = [](TComponent*, TCustomToolWindow*, bool& accept) { accept = false; };
    DragTo(*f.bar1, {bottom.Left + 100, bottom.Top - 2});
    EXPECT_NE(f.bar1->DockedTo(), f.bottom);
}

TEST(DockingForm, DoubleClicks) {
    DockForm f = MakeForm(kCaptions[1]);
    f.bar2->MouseDown(TMouseButton::mbLeft, ssLeft | ssDouble, 5, 10);
    EXPECT_TRUE(f.bar2->Floating());
    f.bar2->MouseDown(TMouseButton::mbLeft, ssLeft | ssDouble, 20, 8);
    EXPECT_EQ(f.bar2->DockedTo(), f.top);
    EXPECT_EQ(f.bar2->Left(), 200);
    // Only a default dock: first in row 0.
    f.tool->SetParent(f.form.get());
    f.tool->SetUseLastDock(false);
    f.tool->SetDefaultDock(f.top);
    f.tool->MouseDown(TMouseButton::mbLeft, ssLeft | ssDouble, 20, 8);
    EXPECT_EQ(f.tool->DockedTo(), f.top);
    EXPECT_EQ(f.tool->DockRow(), 0);
    EXPECT_EQ(f.tool->Left(), 0);
}

TEST(DockingForm, SetParentEventOrder) {
    DockForm f = MakeForm(kCaptions[1]);
    std::vector<std::string> events;
    auto note = [&](const char* what) { return [&events, what](TComponent*) { events.push_back(what); }; };
    f.bar2->OnDockChanging = note("changing");
    f.bar2->OnDockChangingEx = [&](TComponent*, TToolDock* to) {
        events.push_back(std::string("changingEx ") + (to ? to->Name() : "-"));
    };
    f.bar2->OnRecreating = note("recreating");
    f.bar2->OnDockChangingHidden = [&](TComponent*, TToolDock* to) {
        events.push_back(std::string("hidden ") + (to ? to->Name() : "-") + (f.bar2->Widget()->isVisible() ? " shown" : ""));
    };
    f.bar2->OnMove = note("move");
    f.bar2->OnRecreated = note("recreated");
    f.bar2->OnDockChanged = note("changed");
    for (auto* d : {f.top, f.bottom})
        d->OnInsertRemoveBar = [&events, d](TComponent*, bool inserting, TCustomToolWindow*) {
            events.push_back(d->Name() + (inserting ? " +bar" : " -bar"));
        };
    f.bar2->SetParent(f.bottom);
    const std::vector<std::string> expected{
        "changing",   "changingEx dockInferior", "recreating",         "hidden dockInferior",
        "dockSuperior -bar", "dockInferior +bar", "move", "recreated", "changed"};
    EXPECT_EQ(events, expected);
    EXPECT_THROW(f.bar2->SetParent(new TPanel(f.form.get())), EInvalidOperation);
    EXPECT_EQ(f.bar2->DockedTo(), f.bottom);
    EXPECT_THROW(f.top->SetPosition(TDockPosition::dpLeft), EInvalidOperation);
    auto* inner = new TToolDock(f.form.get());
    EXPECT_THROW(inner->SetParent(f.top), EInvalidOperation);
    EXPECT_THROW(inner->SetParent(f.tool), EInvalidOperation);
    auto* sep = new TDockToolbarSep(f.form.get());
    EXPECT_THROW(sep->SetParent(f.tool), EInvalidOperation);
}

TEST(DockingForm, CloseButtonAndFloatingFrame) {
    DockForm f = MakeForm(kCaptions[1]);
    int closed = 0;
    f.tool->OnClose = [&](TComponent*) { ++closed; };
    f.tool->SetFloatingPosition(300, 300);
    f.tool->SetParent(f.form.get());
    ASSERT_TRUE(f.tool->Floating());
    const TRect button = f.tool->FloatingFrame().CloseButtonRect();
    const int bx = (button.Left + button.Right) / 2, by = (button.Top + button.Bottom) / 2;
    EXPECT_EQ(f.tool->HitTest(bx, by), HTCLOSE);
    f.tool->MouseDown(TMouseButton::mbLeft, ssLeft, bx, by);
    EXPECT_TRUE(f.tool->CloseButtonDown());
    f.tool->MouseMove(ssLeft, bx - 60, by + 30);
    EXPECT_FALSE(f.tool->CloseButtonDown());
    f.tool->MouseUp(TMouseButton::mbLeft, 0, bx - 60, by + 30);
    EXPECT_TRUE(f.tool->Visible());
    EXPECT_EQ(closed, 0);
    f.tool->MouseDown(TMouseButton::mbLeft, ssLeft, bx, by);
    f.tool->MouseMove(ssLeft, bx - 60, by);
    f.tool->MouseMove(ssLeft, bx, by);
    f.tool->MouseUp(TMouseButton::mbLeft, 0, bx, by);
    EXPECT_FALSE(f.tool->Visible());
    EXPECT_EQ(closed, 1);
    // Sizing from the left edge below the minimum stops there, the right edge kept.
    f.tool->SetVisible(true);
    const int right = f.tool->FloatLeft() + f.tool->Width();
    f.tool->MouseDown(TMouseButton::mbLeft, ssLeft, 1, 40);
    EXPECT_TRUE(f.tool->Sizing());
    f.tool->MouseMove(ssLeft, 400, 40);
    f.tool->MouseUp(TMouseButton::mbLeft, 0, 400, 40);
    EXPECT_EQ(f.tool->ClientWidth(), 32);
    EXPECT_EQ(f.tool->FloatLeft() + f.tool->Width(), right);
    // A docked bar in a dock that does not allow dragging: 2-pixel border, no handle.
    f.top->SetAllowDrag(false);
    EXPECT_EQ(f.bar1->ClientRect().Left, 2);
    f.bar1->MouseDown(TMouseButton::mbLeft, ssLeft, 5, 10);
    EXPECT_FALSE(f.bar1->DragRunning());
}

TEST(DockingForm, FloatingToolbarWrapsAndSizes) {
    DockForm f = MakeForm(kCaptions[1]);
    f.bar3->SetFloatRightX(70);
    f.bar3->SetParent(f.form.get());
    // Two buttons fit a 70-pixel line; the third starts after the separator, which
    // becomes 0 wide under an etched line.
    ASSERT_EQ(f.bar3->WrapLines().size(), 1u);
    const auto& order = f.bar3->ControlOrder();
    EXPECT_EQ(order[2]->Width(), 0);
    TBitmap image;
    ASSERT_TRUE(GrabControlImage(*f.bar3, image));
    const TRect client = f.bar3->ClientRect();
    const int y = client.Top + f.bar3->WrapLines()[0].Y;
    EXPECT_EQ(image.Canvas().Pixel(client.Left + 20, y - 4), GetSysColor(16));
    EXPECT_EQ(image.Canvas().Pixel(client.Left + 20, y - 3), GetSysColor(20));
    // Sizing by the right edge out to the full width takes the unwrapped layout.
    const TRect frame = Bounds(f.bar3->FloatLeft(), f.bar3->FloatTop(), f.bar3->Width(), f.bar3->Height());
    f.bar3->MouseDown(TMouseButton::mbLeft, ssLeft, frame.Width() - 2, frame.Height() / 2);
    ASSERT_TRUE(f.bar3->Sizing());
    f.bar3->MouseMove(ssLeft, frame.Width() + 400, frame.Height() / 2);
    f.bar3->MouseUp(TMouseButton::mbLeft, 0, frame.Width() + 400, frame.Height() / 2);
    EXPECT_EQ(f.bar3->FloatRightX(), 0);
    EXPECT_TRUE(f.bar3->WrapLines().empty());
}

TEST(DockingForm, SavedPositionsRoundTrip) {
    const std::string ini = TempIni("positions.ini");
    TRect savedBar1, savedBar3;
    {
        DockForm f = MakeForm(kCaptions[0]);
        f.bar1->SetParent(f.bottom);
        f.bar2->SetParent(f.right);
        f.bar3->SetFloatingPosition(420, 260);
        f.bar3->SetFloatRightX(70);
        f.bar3->SetParent(f.form.get());
        f.tool->SetParent(f.left);
        f.tool->SetVisible(false);
        SaveToolWindowPositions(*f.form, ini);
        savedBar1 = f.bar1->BoundsRect();
        savedBar3 = Bounds(f.bar3->FloatLeft(), f.bar3->FloatTop(), f.bar3->Width(), f.bar3->Height());
    }
    platform::IniFile file(ini);
    EXPECT_EQ(file.ReadSection("tbExibir"),
              (std::vector<std::string>{"Rev", "Visible", "DockedTo", "LastDock", "DockRow", "DockPos", "FloatLeft",
                                        "FloatTop", "FloatRightX"}));
    EXPECT_EQ(file.ReadString("tbExibir", "DockedTo", ""), "+");
    EXPECT_EQ(file.ReadString("tbExibir", "LastDock", ""), "dockEsquerda");
    EXPECT_EQ(file.ReadString("ProgressoTw", "ClientWidth", ""), "160");

    DockForm g = MakeForm(kCaptions[0]);
    // No dock arranges while the windows are placed: each does so when the load ends.
    int insertsWhileLocked = 0;
    std::vector<int> before;
    for (auto* d : {g.top, g.bottom, g.left, g.right}) {
        before.push_back(d->ArrangeCount());
        d->OnInsertRemoveBar = [&insertsWhileLocked, d, count = d->ArrangeCount()](TComponent*, bool, TCustomToolWindow*) {
            EXPECT_EQ(d->ArrangeCount(), count) << d->Name();
            ++insertsWhileLocked;
        };
    }
    LoadToolWindowPositions(*g.form, ini);
    EXPECT_GE(insertsWhileLocked, 4);
    EXPECT_GT(g.bottom->ArrangeCount(), before[1]);
    EXPECT_GT(g.left->ArrangeCount(), before[2]);
    EXPECT_GT(g.right->ArrangeCount(), before[3]);
    EXPECT_EQ(g.bar1->DockedTo(), g.bottom);
    EXPECT_EQ(g.bar1->BoundsRect(), savedBar1);
    EXPECT_EQ(g.bar2->DockedTo(), g.right);
    EXPECT_TRUE(g.bar3->Floating());
    EXPECT_EQ(g.bar3->FloatRightX(), 70);
    EXPECT_EQ(Bounds(g.bar3->FloatLeft(), g.bar3->FloatTop(), g.bar3->Width(), g.bar3->Height()), savedBar3);
    EXPECT_EQ(g.bar3->LastDock(), g.left);
    EXPECT_EQ(g.tool->DockedTo(), g.left);
    EXPECT_FALSE(g.tool->Visible());
    EXPECT_EQ(g.tool->StoredClientWidth(), 160);
}

TEST(DockingForm, SavedPositionsRules) {
    const std::string ini = TempIni("rules.ini");
    {
        std::ofstream out(ini);
        out << "[tbArquivo]\nRev=3\nVisible=1\nDockedTo=dockInferior\nDockRow=zz\nDockPos=12x\n"
               "[tbEditar]\nRev=1\nVisible=0\nDockedTo=dockInferior\n"
               "[tbExibir]\nRev=2\nVisible=1\nDockedTo=+\nLastDock=dockDireita\nFloatLeft=-90000\nFloatTop=-90000\n"
               "[ProgressoTw]\nRev=3\nVisible=0\nDockedTo=nowhere\n";
    }
    DockForm g = MakeForm(kCaptions[0]);
    g.tool->SetParent(g.top);
    const int pos = g.bar1->DockPos();
    LoadToolWindowPositions(*g.form, ini);
    // Damaged row and position: the current ones.
    EXPECT_EQ(g.bar1->DockedTo(), g.bottom);
    EXPECT_EQ(g.bar1->DockRow(), 0);
    EXPECT_EQ(g.bar1->DockPos(), pos);
    EXPECT_EQ(g.bar1->Left(), pos);
    // Rev 1: ignored entirely.
    EXPECT_TRUE(g.bar2->Visible());
    EXPECT_EQ(g.bar2->DockedTo(), g.top);
    // Rev 2 floating: no LastDock restored; the place off every screen comes back.
    EXPECT_TRUE(g.bar3->Floating());
    EXPECT_EQ(g.bar3->LastDock(), g.left);
    const TRect work = WorkAreaAt({g.bar3->FloatLeft(), g.bar3->FloatTop()});
    EXPECT_GE(g.bar3->FloatLeft(), work.Left);
    EXPECT_GE(g.bar3->FloatTop(), work.Top);
    // A dock that does not exist: only Visible applies.
    EXPECT_FALSE(g.tool->Visible());
    EXPECT_EQ(g.tool->DockedTo(), g.top);
    // A window without a name stops the save with the message.
    g.bar2->SetName("");
    try {
        SaveToolWindowPositions(*g.form, ini);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Cannot save tool window's position because Name property is not set");
    }
}

// Paints the floating window into the form's picture where it floats over it.
void SaveFormWithFloating(DockForm& f, TCustomToolWindow& floating, const std::string& path) {
    TBitmap picture, over;
    ASSERT_TRUE(GrabControlImage(*f.form, picture));
    ASSERT_TRUE(GrabControlImage(floating, over));
    const TRect formRect = ScreenRectOf(*f.form);
    const TRect barRect = ScreenRectOf(floating);
    picture.Canvas().Draw(barRect.Left - formRect.Left, barRect.Top - formRect.Top, over);
    ASSERT_TRUE(picture.SaveToFile(path));
}

TEST(DockingForm, Screenshots) {
    for (const auto& text : kCaptions) {
        DockForm f = MakeForm(text);
        f.tool->SetParent(f.bottom);
        f.bar3->SetCloseButtonWhenDocked(true);
        const TRect formRect = ScreenRectOf(*f.form);
        f.bar1->SetFloatRightX(80);
        f.bar1->SetFloatingPosition(formRect.Left + 250, formRect.Top + 120);
        f.bar1->SetParent(f.form.get());
        QApplication::processEvents();
        // Probes: the first grip bar of the docked toolbar is a raised edge.
        TBitmap bar;
        ASSERT_TRUE(GrabControlImage(*f.bar2, bar));
        ASSERT_EQ(f.bar2->DockedTo(), f.top);
        EXPECT_EQ(bar.Canvas().Pixel(4, 6), GetSysColor(20));
        EXPECT_EQ(bar.Canvas().Pixel(6, 6), GetSysColor(16));
        SaveFormWithFloating(f, *f.bar1, ShotPath(std::string("docks_") + text.lang + ".png"));

        f.tool->SetFloatingPosition(formRect.Left + 60, formRect.Top + 300);
        f.tool->SetClientAreaSize(110, 48);
        f.tool->SetParent(f.form.get());
        QApplication::processEvents();
        // The caption is shortened to fit, with the close button at its end.
        EXPECT_EQ(f.tool->HitTest(f.tool->FloatingFrame().CloseButtonRect().Left + 2, 8), HTCLOSE);
        // The label keeps its place in the client area below the caption.
        EXPECT_EQ(f.tool->Controls(0)->Top(), f.tool->ClientRect().Top + 4);
        ASSERT_TRUE(SaveControlImage(*f.tool, ShotPath(std::string("toolwindow_") + text.lang + ".png")));
    }
}

// Under a real X server: the floating toolbar is its own top-level window, and
// mouse events sent to it drag it back onto a dock. Runs this program again under
// xvfb-run, on the xcb platform.
TEST(DockingX11, FloatingToolbarDragsBackUnderXvfb) {
    if (std::getenv("MV_DOCKING_X11")) {
        DockForm f = MakeForm(kCaptions[1]);
        f.bar3->SetFloatingPosition(400, 300);
        f.bar3->SetParent(f.form.get());
        for (int i = 0; i < 20; ++i) QApplication::processEvents();
        QWidget* host = f.bar3->FloatingHost()->Widget();
        ASSERT_TRUE(host->isWindow());
        ASSERT_TRUE(host->isVisible());
        EXPECT_NE(host->window(), f.form->Widget()->window());
        const TRect top = ScreenRectOf(*f.top);
        DragTo(*f.bar3, {top.Left + 400, top.Top + 10});
        EXPECT_EQ(f.bar3->DockedTo(), f.top);
        EXPECT_EQ(f.bar3->FloatingHost(), nullptr);
        return;
    }
    if (access("/usr/bin/xvfb-run", X_OK) != 0) GTEST_SKIP() << "xvfb-run is not installed";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command = "env MV_DOCKING_X11=1 QT_QPA_PLATFORM=xcb xvfb-run -a '" + self +
                                "' --gtest_filter=DockingX11.FloatingToolbarDragsBackUnderXvfb > /dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << command;
}

} // namespace
} // namespace mv
