// Frames and groups: insets against the font, children following the frame, enabling;
// the splitter's clamping, ratio and drag sequences; screenshots of every frame style
// and of a splitter with a hidden pane.
#include "controls/shell/dialogs/Frames.h"
#include "controls/shell/dialogs/Splitter.h"
#include "platform/ui/Form.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"

#include <QApplication>
#include <filesystem>
#include <gtest/gtest.h>

namespace mv {
namespace {

std::string ShotPath(const std::string& name) {
    const auto folder =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "screenshots" / "controls";
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

int ZeroHeight(const TFont& font) {
    TCanvas c;
    c.Font().Assign(font);
    return c.TextHeight("0");
}

TEST(Frames, InsetsPerStyle) {
    struct Row {
        TMvFrameStyle style;
        TRect noCaption, caption;
    };
    const std::vector<Row> rows = {
        {TMvFrameStyle::ptfsNone, {0, 0, 0, 0}, {0, 0, 0, 0}},
        {TMvFrameStyle::ptfsGroup, {2, 2, 2, 2}, {2, 13, 2, 2}},
        {TMvFrameStyle::ptfsLowered, {2, 2, 2, 2}, {2, 2, 2, 2}},
        {TMvFrameStyle::ptfsRaised, {2, 2, 2, 2}, {2, 2, 2, 2}},
        {TMvFrameStyle::ptfsDint, {1, 1, 1, 1}, {1, 1, 1, 1}},
        {TMvFrameStyle::ptfsBump, {1, 1, 1, 1}, {1, 1, 1, 1}},
        {TMvFrameStyle::ptfsSingle, {1, 1, 1, 1}, {1, 1, 1, 1}},
        {TMvFrameStyle::ptfsHorzLine, {0, 2, 0, 0}, {0, 2, 0, 0}},
        {TMvFrameStyle::ptfsHorzEdge, {0, 2, 0, 2}, {0, 2, 0, 2}},
        {TMvFrameStyle::ptfsVertLine, {2, 0, 0, 0}, {2, 0, 0, 0}},
        {TMvFrameStyle::ptfsVertEdge, {2, 0, 2, 0}, {2, 0, 2, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.style));
        EXPECT_EQ(FrameInsets(row.style, 13, false), row.noCaption);
        EXPECT_EQ(FrameInsets(row.style, 13, true), row.caption);
    }
}

TEST(Frames, GroupInsetFollowsTheFontAndMovesChildren) {
    EnsureApplication();
    TForm form(nullptr);
    auto* group = new TMvGroup(&form);
    group->SetParent(&form);
    group->SetBounds(0, 0, 200, 100);
    EXPECT_EQ(group->ClientRect(), (TRect{2, 2, 198, 98}));
    auto* child = new TLabel(&form);
    child->SetParent(group);
    group->PlaceChild(child, 4, 4, 50, 14);
    EXPECT_EQ(child->Top(), 6);
    group->SetCaption("Options");
    const int h1 = ZeroHeight(group->Font());
    EXPECT_EQ(group->ClientRect().Top, h1);
    EXPECT_EQ(child->Top(), h1 + 4);
    TFont big;
    big.Assign(group->Font());
    big.SetSize(group->Font().Size() * 2);
    group->Font().Assign(big);
    const int h2 = ZeroHeight(group->Font());
    EXPECT_GT(h2, h1);
    EXPECT_EQ(child->Top(), h2 + 4);
    group->SetFrameStyle(TMvFrameStyle::ptfsNone);
    EXPECT_EQ(group->ClientRect(), (TRect{0, 0, 200, 100}));
    EXPECT_EQ(child->Top(), 4);
    EXPECT_EQ(child->Left(), 4);
    group->SetGroupEnabled(false);
    EXPECT_FALSE(child->Enabled());
    group->SetGroupEnabled(true);
    EXPECT_TRUE(child->Enabled());
}

TEST(Frames, AllStylesScreenshot) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetCaption("Frames");
    form->SetClientWidth(8 + 4 * 108);
    form->SetClientHeight(8 + 3 * 64);
    const char* names[11] = {"None", "Group", "Lowered", "Raised", "Dint", "Bump", "Single", "HorzLine", "HorzEdge", "VertLine", "VertEdge"};
    std::vector<TMvFrame*> frames;
    for (int s = 0; s < 11; ++s) {
        auto* f = new TMvFrame(form.get());
        f->SetParent(form.get());
        f->SetBounds(8 + (s % 4) * 108, 8 + (s / 4) * 64, 100, 56);
        f->SetFrameStyle(static_cast<TMvFrameStyle>(s));
        f->SetCaption(names[s]);
        frames.push_back(f);
    }
    form->Show();
    QApplication::processEvents();
    ASSERT_TRUE(SaveControlImage(*form, ShotPath("frames.png")));
    const TColor hi = ColorToRGB(clBtnHighlight), sh = ColorToRGB(clBtnShadow), dk = ColorToRGB(cl3DDkShadow);
    auto px = [&](int s, int x, int y) {
        TBitmap b;
        GrabControlImage(*frames[s], b);
        return b.Pixel(x, y);
    };
    const int R = 99, B = 55;
    EXPECT_EQ(px(2, 50, 0), sh);  // lowered: shadow top
    EXPECT_EQ(px(2, 50, 1), dk);  // dark inner top
    EXPECT_EQ(px(2, 50, B), hi);  // highlight bottom
    EXPECT_EQ(px(3, 50, 0), hi);  // raised
    EXPECT_EQ(px(3, 50, B), dk);
    EXPECT_EQ(px(4, 0, 20), sh);  // dint
    EXPECT_EQ(px(4, R, 20), hi);
    EXPECT_EQ(px(5, 0, 20), hi);  // bump
    EXPECT_EQ(px(5, R, 20), sh);
    EXPECT_EQ(px(6, 50, 0), ColorToRGB(clWindowFrame));
    EXPECT_EQ(px(7, 50, 0), sh);  // horizontal line
    EXPECT_EQ(px(7, 50, 1), hi);
    EXPECT_EQ(px(8, 50, B - 1), sh);
    EXPECT_EQ(px(8, 50, B), hi);
    EXPECT_EQ(px(9, 0, 40), sh);
    EXPECT_EQ(px(9, 1, 40), hi);
    EXPECT_EQ(px(10, R - 1, 40), sh);
    EXPECT_EQ(px(10, R, 40), hi);
    EXPECT_EQ(px(0, 0, 40), px(0, 10, 40)); // none draws nothing
    EXPECT_EQ(px(1, 50, B - 1), sh);         // the etched group box
    EXPECT_EQ(px(1, 50, B), hi);
}

TEST(SplitterModel, ClampingAndResizes) {
    TMvSplitterModel m;
    int changes = 0;
    m.OnChange = [&] { ++changes; };
    m.SetPosition(5);
    EXPECT_EQ(m.Position(), 20);
    m.SetPosition(190);
    EXPECT_EQ(m.Position(), 180);
    m.SetMinSize(0, 100);
    m.SetMinSize(1, 150); // both bounds apply: the lower one wins
    m.SetPosition(120);
    EXPECT_EQ(m.Position(), 100);
    m.SetMinSize(0, -200);
    m.SetMinSize(1, 20);
    m.SetPosition(-150); // a negative smallest size hides pane 1
    EXPECT_EQ(m.Position(), -150);
    EXPECT_EQ(changes, 4);

    TMvSplitterModel p, f;
    f.SetProportional(false);
    p.Resize(400);
    f.Resize(400);
    EXPECT_EQ(p.Position(), 130);
    EXPECT_EQ(f.Position(), 65);
    for (int size : {333, 97, 1000, 400}) p.Resize(size);
    EXPECT_EQ(p.Position(), 130);
    f.Resize(60); // a fixed one is still clamped
    EXPECT_EQ(f.Position(), 40);
}

TEST(SplitterModel, DragSequences) {
    struct Row {
        const char* name;
        bool fullDrag;
        std::vector<std::string> actions;
        int position;
        std::vector<int> drags;
        std::vector<int> drops;
        int changes;
    };
    const std::vector<Row> rows = {
        {"live drag", true, {"down L 66", "move 100", "up L 100"}, 99, {66, 100, -1}, {99}, 1},
        {"inverted bar drag", false, {"down L 66", "move 100", "up L 100"}, 99, {66, 100, -1}, {99}, 1},
        {"clamped to pane 2's smallest size", false, {"down L 66", "move 300", "up L 300"}, 180, {66, 181, -1}, {180}, 1},
        {"another button's release is ignored", false, {"down L 66", "move 90", "up R 90", "check", "cancel"}, 65, {66, 90, -1}, {}, 0},
        {"a right press starts nothing", false, {"down R 66", "move 90", "up R 90"}, 65, {}, {}, 0},
        {"a press during a drag ends it", false, {"down L 66", "move 90", "down L 90"}, 65, {66, 90, -1}, {}, 0},
        {"cancel ends it", false, {"down L 66", "move 90", "cancel"}, 65, {66, 90, -1}, {}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TMvSplitterModel m;
        m.SetFullDrag(row.fullDrag);
        std::vector<int> drags, drops, bars;
        int changes = 0;
        m.OnSplitterDrag = [&](int p) { drags.push_back(p); };
        m.OnSplitterDrop = [&](int p) { drops.push_back(p); };
        m.OnChange = [&] { ++changes; };
        m.OnDrawBar = [&](int x) { bars.push_back(x); };
        for (const std::string& a : row.actions) {
            char b = 0;
            int v = 0;
            if (std::sscanf(a.c_str(), "down %c %d", &b, &v) == 2)
                m.MouseDown(b == 'L' ? TMouseButton::mbLeft : TMouseButton::mbRight, v);
            else if (std::sscanf(a.c_str(), "up %c %d", &b, &v) == 2)
                m.MouseUp(b == 'L' ? TMouseButton::mbLeft : TMouseButton::mbRight, v);
            else if (std::sscanf(a.c_str(), "move %d", &v) == 1) m.MouseMove(v);
            else if (a == "cancel") m.EndDrag();
            else if (a == "check") {
                EXPECT_TRUE(m.Dragging());
            }
            if (!row.fullDrag && a.rfind("move", 0) == 0) {
                EXPECT_EQ(m.Position(), 65); // panes wait for the release
            }
        }
        EXPECT_EQ(m.Position(), row.position);
        EXPECT_EQ(drags, row.drags);
        EXPECT_EQ(drops, row.drops);
        EXPECT_EQ(changes, row.changes);
        if (row.fullDrag) EXPECT_TRUE(bars.empty());
        else EXPECT_EQ(bars.size() % 2, 0u); // every bar drawn is erased again
        EXPECT_FALSE(m.Dragging());
    }
}

TEST(Splitter, HiddenPaneScreenshotAndDrag) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetCaption("Splitter");
    form->SetClientWidth(416);
    form->SetClientHeight(156);
    auto* shown = new TMvSplitter(form.get());
    shown->SetParent(form.get());
    shown->SetBounds(8, 8, 200, 140);
    auto* hidden = new TMvSplitter(form.get());
    hidden->SetParent(form.get());
    hidden->SetBounds(216, 8, 200, 140);
    hidden->SetPaneMinSize(0, -1000);
    hidden->SetPosition(-1000 + 0); // the tree pane moved out of sight
    hidden->Pane(1).SetColor(clWindow);
    form->Show();
    QApplication::processEvents();
    ASSERT_TRUE(SaveControlImage(*form, ShotPath("splitter.png")));
    EXPECT_EQ(shown->Pane(0).Width(), 65);
    EXPECT_EQ(shown->Pane(1).Left(), 68);
    EXPECT_LE(hidden->Pane(0).Left() + hidden->Pane(0).Width(), 0);
    TBitmap shot;
    ASSERT_TRUE(GrabControlImage(*hidden, shot));
    EXPECT_EQ(shot.Pixel(100, 70), ColorToRGB(clWindow)); // pane 2 fills the splitter
    // A drag through the real control's input.
    shown->SetFullDragMode(TMvFullDragMode::ptfdOff);
    shown->MouseDown(TMouseButton::mbLeft, 0, 66, 70);
    shown->MouseMove(0, 120, 70);
    EXPECT_EQ(shown->BarShownAt(), 119);
    EXPECT_EQ(shown->Pane(0).Width(), 65);
    // The bar is drawn over the second pane, as a checkerboard the pane shows through.
    QApplication::processEvents();
    TBitmap dragging;
    ASSERT_TRUE(GrabControlImage(*shown, dragging));
    ASSERT_TRUE(SaveControlImage(*shown, ShotPath("splitter-dragging.png")));
    EXPECT_TRUE(shown->DragBar().Visible());
    EXPECT_EQ(dragging.Pixel(119, 70), clBlack);
    EXPECT_EQ(dragging.Pixel(120, 70), dragging.Pixel(125, 70)); // the pane itself
    EXPECT_NE(dragging.Pixel(120, 70), clBlack);
    shown->MouseUp(TMouseButton::mbLeft, 0, 120, 70);
    EXPECT_EQ(shown->BarShownAt(), -1);
    EXPECT_FALSE(shown->DragBar().Visible());
    EXPECT_EQ(shown->Pane(0).Width(), 119);
    shown->SetWidth(400);
    EXPECT_EQ(shown->Position(), 238);
    // Between the panes the cursor shows which way the bar moves; the panes keep theirs.
    EXPECT_EQ(shown->Cursor(), TCursor::crHSplit);
    EXPECT_EQ(shown->Pane(0).Cursor(), TCursor::crDefault);
    shown->SetStyle(TMvSplitterStyle::ptstHorizontal);
    EXPECT_EQ(shown->Cursor(), TCursor::crVSplit);
}

} // namespace
} // namespace mv
