// The docking rules without a display: dock arranges, toolbar layouts and their
// size table, frame zones, caption shortening, the close button, the floating
// resize, the drag decisions and the visibility predicate.
#include "controls/toolkit/docking/DockLayoutModel.h"
#include "controls/toolkit/docking/ToolWindowModel.h"
#include "controls/toolkit/docking/ToolbarLayoutModel.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

TDockBarRecord Bar(int id, int row, int pos, int w, int h, bool fullSize = false) {
    TDockBarRecord b;
    b.Id = id, b.DockRow = row, b.DockPos = pos, b.Width = w, b.Height = h, b.FullSize = fullSize;
    b.SizeForOrientation = h;
    return b;
}

const TDockPlacedBar& PlacedOf(const TDockArrangeResult& r, int id) {
    for (const auto& p : r.Placed)
        if (p.Id == id) return p;
    static TDockPlacedBar none;
    ADD_FAILURE() << "bar " << id << " not placed";
    return none;
}
int RowOf(const std::vector<TDockBarRecord>& bars, int id) {
    for (const auto& b : bars)
        if (b.Id == id) return b.DockRow;
    return -99;
}
int PosOf(const std::vector<TDockBarRecord>& bars, int id) {
    for (const auto& b : bars)
        if (b.Id == id) return b.DockPos;
    return -99;
}

TEST(DockArrange, EmptyDockThickness) {
    std::vector<TDockBarRecord> none;
    EXPECT_EQ(DockArrange(none, {}).Thickness, 0);
    TDockArrangeInput fixAlign;
    fixAlign.FixAlign = true;
    EXPECT_EQ(DockArrange(none, fixAlign).Thickness, 1);
    std::vector<TDockBarRecord> hidden{Bar(1, 0, 0, 50, 20)};
    hidden[0].Shown = false;
    EXPECT_EQ(DockArrange(hidden, {}).Thickness, 0);
}

TEST(DockArrange, LayoutTable) {
    struct Case {
        const char* name;
        std::vector<TDockBarRecord> bars;
        TDockPosition position;
        bool commit;
        std::vector<int> rows, positions; // per Id 1..n after the arrange
        std::vector<TRect> bounds;        // per Id
        int thickness;
    };
    std::vector<TDockBarRecord> fullSize{Bar(1, 0, 0, 50, 20), Bar(2, 0, 60, 50, 20, true), Bar(3, 0, 120, 50, 20)};
    const Case cases[] = {
        {"thin controls make a row of 8", {Bar(1, 0, 0, 40, 5)}, TDockPosition::dpTop, false, {0}, {0},
         {Bounds(0, 0, 40, 12)}, 12},
        {"push apart", {Bar(1, 0, 0, 100, 20), Bar(2, 0, 10, 100, 20)}, TDockPosition::dpTop, false, {0, 0},
         {0, 100}, {Bounds(0, 0, 100, 24), Bounds(100, 0, 100, 24)}, 24},
        {"too long, no commit keeps pushed positions",
         {Bar(1, 0, 50, 200, 20), Bar(2, 0, 100, 200, 20)}, TDockPosition::dpTop, false, {0, 0}, {50, 250},
         {Bounds(0, 0, 200, 24), Bounds(200, 0, 200, 24)}, 24},
        {"fits after pull, commit stores", {Bar(1, 0, 250, 100, 20)}, TDockPosition::dpTop, true, {0}, {200},
         {Bounds(200, 0, 100, 24)}, 24},
        {"full size gets its row", fullSize, TDockPosition::dpTop, false, {1, 0, 1}, {0, 0, 120},
         {Bounds(0, 24, 50, 24), Bounds(0, 0, 300, 24), Bounds(120, 24, 50, 24)}, 48},
        {"empty rows close up", {Bar(1, 0, 0, 50, 20), Bar(2, 3, 0, 50, 30)}, TDockPosition::dpTop, false, {0, 1},
         {0, 0}, {Bounds(0, 0, 50, 24), Bounds(0, 24, 50, 34)}, 58},
        {"vertical dock", {Bar(1, 0, 0, 30, 80), Bar(2, 1, 5, 30, 40)}, TDockPosition::dpLeft, false, {0, 1},
         {0, 5}, {Bounds(0, 0, 34, 80), Bounds(34, 5, 34, 40)}, 68},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bars = c.bars;
        if (c.position == TDockPosition::dpLeft)
            for (auto& b : bars) b.SizeForOrientation = b.Width;
        TDockArrangeInput in;
        in.Position = c.position;
        in.ClientWidth = 300, in.ClientHeight = 300;
        in.Commit = c.commit;
        const auto r = DockArrange(bars, in);
        EXPECT_EQ(r.Thickness, c.thickness);
        for (size_t i = 0; i < c.rows.size(); ++i) {
            const int id = static_cast<int>(i) + 1;
            EXPECT_EQ(RowOf(bars, id), c.rows[i]) << "bar " << id;
            EXPECT_EQ(PosOf(bars, id), c.positions[i]) << "bar " << id;
            const TRect b = PlacedOf(r, id).Bounds;
            EXPECT_EQ(b.Left, c.bounds[i].Left) << id;
            EXPECT_EQ(b.Top, c.bounds[i].Top) << id;
            EXPECT_EQ(b.Width(), c.bounds[i].Width()) << id;
            EXPECT_EQ(b.Height(), c.bounds[i].Height()) << id;
        }
    }
}

TEST(DockArrange, TiesKeepMemberOrder) {
    // Equal rows and positions: the member order decides, the same every time.
    for (int run = 0; run < 3; ++run) {
        std::vector<TDockBarRecord> bars{Bar(7, 0, 0, 40, 20), Bar(3, 0, 0, 40, 20), Bar(5, 0, 0, 40, 20)};
        TDockArrangeInput in;
        in.ClientWidth = 500;
        const auto r = DockArrange(bars, in);
        ASSERT_EQ(r.Placed.size(), 3u);
        EXPECT_EQ(r.Placed[0].Id, 7);
        EXPECT_EQ(r.Placed[1].Id, 3);
        EXPECT_EQ(r.Placed[2].Id, 5);
        EXPECT_EQ(PosOf(bars, 5), 80);
    }
}

TEST(DockArrange, RowLookups) {
    const std::vector<int> rows{20, 30}; // bands 0..24, 24..58
    struct Case {
        int at, row;
        bool insert;
    } cases[] = {{0, 0, true}, {4, 0, true}, {5, 0, false}, {18, 0, false}, {19, 1, true}, {28, 1, true},
                 {29, 1, false}, {52, 1, false}, {53, 2, true}, {62, 2, true}, {63, 2, false}, {900, 2, false}};
    for (const auto& c : cases) {
        bool insert = !c.insert;
        EXPECT_EQ(DockRowUnderDrop(rows, 1, c.at, insert), c.row) << c.at;
        EXPECT_EQ(insert, c.insert) << c.at;
    }
    EXPECT_EQ(DockRowUnderPoint(rows, 1, 10), 0);
    EXPECT_EQ(DockRowUnderPoint(rows, 1, 30), 1);
    EXPECT_EQ(DockRowUnderPoint(rows, 1, 60), 2);
}

TEST(DockArrange, LockRunsOnceWithStrongestCommit) {
    TDockArrangeLock lock;
    lock.Disable();
    lock.Disable();
    EXPECT_FALSE(lock.Request(true, false));
    EXPECT_FALSE(lock.Request(false, false));
    EXPECT_FALSE(lock.Enable());
    EXPECT_TRUE(lock.Enable());
    EXPECT_TRUE(lock.CommitPositions());
    lock.Begin();
    lock.End();
    EXPECT_FALSE(lock.LayoutPending());
    EXPECT_FALSE(lock.CommitPositions());
}

TToolbarItem Button(int w, int h) {
    TToolbarItem i;
    i.Width = w, i.Height = h;
    return i;
}
TToolbarItem Sep(bool blank = false) {
    TToolbarItem i;
    i.Separator = true, i.Blank = blank;
    return i;
}

TEST(ToolbarLayout, Table) {
    // Empty floating toolbar: 4 + 8 + 4 wide, 2 + 8 + 1 high.
    auto empty = LayoutToolbar({}, dkNone, 0);
    EXPECT_EQ(empty.Width, 16);
    EXPECT_EQ(empty.Height, 11);
    // Docked horizontally: two 30x30 buttons with a separator.
    auto docked = LayoutToolbar({Button(30, 30), Sep(), Button(30, 30)}, dkHorizontal, 0);
    EXPECT_EQ(docked.Width, 66);
    EXPECT_EQ(docked.Height, 30);
    EXPECT_EQ(docked.Bounds[1].Left, 30);
    EXPECT_EQ(docked.Bounds[1].Width(), 6);
    EXPECT_EQ(docked.Bounds[1].Height(), 30);
    // In a vertical dock buttons are centred across the slot.
    auto vertical = LayoutToolbar({Button(20, 30), Sep(), Button(30, 30)}, dkVertical, 0);
    EXPECT_EQ(vertical.Width, 30);
    EXPECT_EQ(vertical.Height, 66);
    EXPECT_EQ(vertical.Bounds[0].Left, 5);
    EXPECT_EQ(vertical.Bounds[1].Top, 30);
    EXPECT_EQ(vertical.Bounds[1].Height(), 6);
}

TEST(ToolbarLayout, FloatingWrap) {
    // A wrap width below the widest button + 8 wraps at that width.
    auto narrow = LayoutToolbar({Button(30, 20), Button(40, 20), Button(30, 20)}, dkNone, 10);
    EXPECT_EQ(narrow.Width, 4 + 40 + 4);
    EXPECT_EQ(narrow.Height, 2 + 3 * 20 + 1);
    // After a separator the wrap leaves a 6-pixel gap with a line, the separator 0 wide.
    for (bool blank : {false, true}) {
        auto wrapped = LayoutToolbar({Button(30, 20), Sep(blank), Button(30, 20)}, dkNone, 50);
        ASSERT_EQ(wrapped.WrapLines.size(), 1u);
        EXPECT_EQ(wrapped.WrapLines[0].Y, 2 + 20 + 6);
        EXPECT_EQ(wrapped.WrapLines[0].Blank, blank);
        EXPECT_EQ(wrapped.Bounds[1].Width(), 0);
        EXPECT_EQ(wrapped.Bounds[2].Top, 28);
        EXPECT_EQ(wrapped.Width, 4 + 30 + 4);
        EXPECT_EQ(wrapped.Height, 28 + 20 + 1);
    }
}

TEST(ToolbarLayout, SizeTableOffersOnlyWrapWidths) {
    const std::vector<TToolbarItem> items{Button(30, 20), Button(30, 20), Button(30, 20)};
    auto layout = [&](int rightX) {
        auto l = LayoutToolbar(items, dkNone, rightX);
        return TPoint{l.Width, l.Height};
    };
    TToolbarSizeTable table;
    table.Build(layout, 8, 22, ToolbarSizeForOrientation(items, dkNone) + 8, 4, HTLEFT);
    // Unwrapped 98 wide, two per line 68, one per line 38 (client + 8 of frame).
    ASSERT_EQ(table.Entries().size(), 3u);
    EXPECT_EQ(table.Entries()[0].Width, 106);
    EXPECT_EQ(table.Entries()[1].Width, 76);
    EXPECT_EQ(table.Entries()[2].Width, 46);
    EXPECT_EQ(table.Entries()[2].Height, 2 + 60 + 1 + 22);
    const TRect start = Bounds(100, 100, 106, 20 + 3 + 22);
    table.Begin(start.Width(), start.Height());
    EXPECT_EQ(table.SnapDistance(), 12);
    // Dragging the left edge in by 8: within the snap distance, the unwrapped width.
    TRect r = table.Track(start, {start.Left + 8, 120});
    EXPECT_EQ(r.Width(), 106);
    // Further in: the widest size not wider than the pointer, keeping the right edge.
    r = table.Track(start, {start.Left + 25, 120});
    EXPECT_EQ(r.Width(), 76);
    EXPECT_EQ(r.Right, start.Right);
    EXPECT_EQ(table.CandidateFloatRightX(), 76 - 8);
    r = table.Track(start, {start.Left - 30, 120});
    EXPECT_EQ(r.Width(), 106);
    EXPECT_EQ(table.CandidateFloatRightX(), 0);
}

TEST(ToolFrame, HitTestZones) {
    TFloatingFrame f;
    f.Width = 100, f.Height = 80, f.Fx = 4, f.Fy = 4, f.CaptionHeight = 15;
    struct Case {
        bool corners, resizable;
        int x, y, code;
    } cases[] = {
        {true, true, 0, 0, HTTOPLEFT},       {true, true, 0, 40, HTLEFT},         {true, true, 99, 79, HTBOTTOMRIGHT},
        {true, true, 50, 0, HTTOP},          {true, true, 50, 79, HTBOTTOM},      {true, true, 97, 30, HTRIGHT},
        {false, true, 0, 0, HTTOP},          {false, true, 0, 79, HTBOTTOM},      {false, true, 0, 40, HTLEFT},
        {false, true, 99, 40, HTRIGHT},      {false, false, 0, 40, 0},            {true, true, 50, 50, HTCLIENT},
        {true, true, 20, 8, HTCLIENT},       {true, true, 90, 8, HTCLOSE},
    };
    for (const auto& c : cases) {
        f.CornerSizing = c.corners, f.Resizable = c.resizable;
        EXPECT_EQ(FloatingHitTest(f, c.x, c.y), c.code) << c.x << "," << c.y << " corners " << c.corners;
    }
}

TEST(ToolFrame, DockedNonClientAndHandles) {
    const TNonClient noDrag = DockedNonClient(dkHorizontal, false, TDragHandleStyle::dhDouble, false);
    EXPECT_EQ(noDrag.Left, 2);
    EXPECT_EQ(noDrag.Width(), 4);
    EXPECT_EQ(DockedNonClient(dkHorizontal, true, TDragHandleStyle::dhDouble, false).Left, 11);
    EXPECT_EQ(DockedNonClient(dkVertical, true, TDragHandleStyle::dhSingle, false).Top, 8);
    EXPECT_EQ(DockedNonClient(dkHorizontal, true, TDragHandleStyle::dhNone, true).Left, 16);
    EXPECT_EQ(DragHandleMetrics(TDragHandleStyle::dhSingle, true).FirstGrip, 7);
}

TEST(ToolFrame, CaptionShortening) {
    auto measure = [](const std::string& s) {
        int n = 0;
        for (unsigned char c : s)
            if ((c & 0xC0) != 0x80) ++n;
        return n * 5;
    };
    EXPECT_EQ(ShortenCaption("Ferramentas", 100, measure), "Ferramentas");
    EXPECT_EQ(ShortenCaption("Ferramentas", 40, measure), "Ferra...");
    EXPECT_EQ(ShortenCaption("Ferramentas", 5, measure), "F...");
    EXPECT_EQ(ShortenCaption("Ações de script", 35, measure), "Açõe...");
}

TEST(ToolFrame, CloseButtonPress) {
    TCloseButtonTracker t;
    t.Press();
    t.Move(false);
    EXPECT_FALSE(t.Down());
    EXPECT_FALSE(t.Release());
    t.Press();
    t.Move(false);
    t.Move(true);
    EXPECT_TRUE(t.Release());
}

TEST(ToolFrame, ResizeStopsAtMinimum) {
    const TRect start = Rect(100, 100, 200, 180);
    TRect r = ResizeTrackRect(start, HTLEFT, 90, 0, 40, 40);
    EXPECT_EQ(r.Left, 160);
    EXPECT_EQ(r.Right, 200);
    r = ResizeTrackRect(start, HTBOTTOMRIGHT, 10, -70, 40, 40);
    EXPECT_EQ(r.Right, 210);
    EXPECT_EQ(r.Top, 100);
    EXPECT_EQ(r.Bottom, 140);
}

TEST(ToolFrame, KeepOnScreenAndVisibleNow) {
    const TRect work = Rect(0, 0, 800, 600);
    const TRect off = Bounds(2000, -500, 100, 50);
    const TRect back = KeepRectOnScreen(off, work, true);
    EXPECT_EQ(back.Right, 800);
    EXPECT_EQ(back.Top, 0);
    const TRect partly = Bounds(750, 10, 100, 50);
    EXPECT_EQ(KeepRectOnScreen(partly, work, true).Left, 750);
    EXPECT_EQ(KeepRectOnScreen(partly, work, false).Left, 700);

    TVisibleNowInput base;
    base.Showing = true, base.Floating = true, base.FormExists = true, base.FormVisible = true;
    base.ApplicationActive = true;
    struct Case {
        const char* name;
        std::function<void(TVisibleNowInput&)> change;
        bool visible;
    } cases[] = {
        {"floating over a shown form", [](TVisibleNowInput&) {}, true},
        {"not showing", [](TVisibleNowInput& i) { i.Showing = false; }, false},
        {"dock switch running", [](TVisibleNowInput& i) { i.HideCount = 1; }, false},
        {"docked ignores the form", [](TVisibleNowInput& i) { i.Floating = false, i.FormVisible = false; }, true},
        {"form hidden", [](TVisibleNowInput& i) { i.FormVisible = false; }, false},
        {"form minimised", [](TVisibleNowInput& i) { i.FormMinimised = true; }, false},
        {"application minimised", [](TVisibleNowInput& i) { i.ApplicationMinimised = true; }, false},
        {"no form window", [](TVisibleNowInput& i) { i.FormExists = false; }, false},
        {"inactive application hides", [](TVisibleNowInput& i) { i.ApplicationActive = false; }, false},
        {"inactive but not hiding",
         [](TVisibleNowInput& i) { i.ApplicationActive = false, i.HideWhenInactive = false; }, true},
        {"on top of all forms ignores the form",
         [](TVisibleNowInput& i) { i.FloatingMode = TToolWindowFloatingMode::fmOnTopOfAllForms, i.FormVisible = false; },
         true},
    };
    for (const auto& c : cases) {
        TVisibleNowInput in = base;
        c.change(in);
        EXPECT_EQ(VisibleNow(in), c.visible) << c.name;
    }
}

TEST(ToolFrame, ActivationRules) {
    using M = TToolWindowFloatingMode;
    EXPECT_TRUE(ClickActivatesForm(M::fmOnTopOfParentForm, true, false));
    EXPECT_FALSE(ClickActivatesForm(M::fmOnTopOfParentForm, true, true));
    EXPECT_FALSE(ClickActivatesForm(M::fmOnTopOfParentForm, false, false));
    EXPECT_FALSE(ClickActivatesForm(M::fmOnTopOfAllForms, true, false));
    EXPECT_EQ(ActivationPass(false, false), TActivationPass::apOtherWindow);
    EXPECT_EQ(ActivationPass(false, true), TActivationPass::apOtherWindow);
    EXPECT_EQ(ActivationPass(true, false), TActivationPass::apForm);
    EXPECT_EQ(ActivationPass(true, true), TActivationPass::apStay);
}

// The drag state machine: a window 100 x 30 grabbed at (10, 10), a top dock along
// y 0..30 and a bottom dock at y 570..600 on an 800 x 600 screen.
class DragTest : public ::testing::Test {
protected:
    void Begin(bool ctrl, bool cannotFloat, TPoint cursor) {
        drag.WorkAreaAt = [](TPoint) { return Rect(0, 0, 800, 600); };
        std::vector<TDragCandidate> docks{{Rect(0, 0, 800, 30), false, {100, 30}, 1},
                                          {Rect(0, 600, 800, 600), false, {100, 30}, 2},
                                          {Rect(0, 30, 0, 570), true, {30, 100}, 3}};
        drag.Start({10, 10}, {100, 30}, ctrl, cannotFloat, docks, {108, 45}, {4, 19, 4, 4}, cursor);
    }
    TToolWindowDrag drag;
};

TEST_F(DragTest, Sequences) {
    // To the bottom edge: docks there.
    Begin(false, false, {20, 15});
    EXPECT_EQ(drag.Target(), 1);
    drag.Move({300, 595});
    EXPECT_EQ(drag.Target(), 2);
    drag.Move({400, 300}); // the middle of the screen: floats
    EXPECT_EQ(drag.Target(), -1);
    EXPECT_EQ(drag.OutlineThickness(), 4);
    drag.Move({2, 300}); // the empty left dock
    EXPECT_EQ(drag.Target(), 3);
    drag.LeftUp();
    EXPECT_TRUE(drag.ShouldApply());

    // Ctrl prevents docking, and toggling it re-evaluates at once.
    Begin(true, false, {20, 15});
    EXPECT_EQ(drag.Target(), -1);
    drag.CtrlChanged(false);
    EXPECT_EQ(drag.Target(), 1);
    drag.CtrlChanged(true);
    EXPECT_EQ(drag.Target(), -1);

    // Esc, a second press: nothing moves.
    Begin(false, false, {400, 300});
    drag.Escape();
    EXPECT_FALSE(drag.ShouldApply());
    Begin(false, false, {400, 300});
    drag.LeftDown();
    EXPECT_FALSE(drag.ShouldApply());

    // Cannot float: no outline and the forbidden cursor away from docks.
    Begin(false, true, {400, 300});
    EXPECT_TRUE(drag.ForbiddenCursor());
    EXPECT_TRUE(TToolWindowDrag::IsEmpty(drag.Outline()));
    drag.LeftUp();
    EXPECT_FALSE(drag.ShouldApply());

    // Far above the screen: the caption's bottom stays 4 pixels inside.
    Begin(true, false, {400, -300});
    EXPECT_EQ(drag.Outline().Top, 0 - 19 + 4);
    // Off the right side: clamped into the work area.
    drag.Move({5000, 300});
    EXPECT_LE(drag.Outline().Left, 800);
}

TEST_F(DragTest, RefusedDockFallsToNext) {
    drag.OnRequestDock = [](int id, bool& accept) { accept = id != 1; };
    Begin(false, false, {20, 15});
    EXPECT_EQ(drag.Target(), -1);
    drag.OnRequestDock = nullptr;
    drag.Move({21, 15});
    EXPECT_EQ(drag.Target(), 1);
}

TEST(DockDrop, FullSizeIntoOccupiedRowOpensRowBelow) {
    std::vector<TDockBarRecord> bars{Bar(1, 0, 0, 50, 20), Bar(2, 1, 0, 50, 20)};
    const auto rows = DockMeasureRows(bars);
    TPoint place = DockDropPlace(bars, rows, Bounds(70, 2, 60, 20), false, true, 9);
    EXPECT_EQ(place.X, 1);
    EXPECT_EQ(RowOf(bars, 2), 2);
    // Near the boundary between rows 0 and 1: a new row 1.
    std::vector<TDockBarRecord> bars2{Bar(1, 0, 0, 50, 20), Bar(2, 1, 0, 50, 20)};
    place = DockDropPlace(bars2, rows, Bounds(70, 14, 60, 20), false, false, 9);
    EXPECT_EQ(place.X, 1);
    EXPECT_EQ(place.Y, 70);
    EXPECT_EQ(RowOf(bars2, 2), 2);
}

} // namespace
} // namespace mv
