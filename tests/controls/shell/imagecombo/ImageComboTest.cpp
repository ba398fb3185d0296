// The image combo box: item objects and their deletion, the item height rule, drawing
// (indent, closed field, overlays), the selection and close-up reports, and the combo
// dropped down with the namespace's icons, in the three languages.
#include "controls/shell/ImageCombo.h"
#include "controls/shell/ShellUtils.h"
#include "controls/shell/SystemImages.h"
#include "platform/ui/Form.h"
#include "tests/support/DesktopFixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <gtest/gtest.h>

namespace mv {
namespace {

// A 16x16 image list: image 0 solid blue, image 1 an overlay dot in its corner.
void MakeImages(TImageList& list, int size = 16) {
    list.SetWidth(size);
    list.SetHeight(size);
    TBitmap blue, dot, mask;
    blue.SetSize(size, size);
    blue.Canvas().SetBrushColor(0xFF0000);
    blue.Canvas().FillRect(Rect(0, 0, size, size));
    list.Add(blue, nullptr);
    dot.SetSize(size, size);
    dot.Canvas().SetBrushColor(0x0000FF);
    dot.Canvas().FillRect(Rect(0, 0, size, size));
    mask.SetSize(size, size);
    mask.Canvas().SetBrushColor(clWhite);
    mask.Canvas().FillRect(Rect(0, 0, size, size));
    mask.Canvas().SetBrushColor(clBlack);
    mask.Canvas().FillRect(Rect(0, size - 4, 4, size));
    list.Add(dot, &mask);
    list.Overlay(1, 1);
}

int FirstColumnOf(const TBitmap& b, TColor colour) {
    for (int x = 0; x < b.Width(); ++x)
        for (int y = 0; y < b.Height(); ++y)
            if (b.Pixel(x, y) == colour) return x;
    return -1;
}

TEST(ImageCombo, DeletingAnEntryFreesItsItemOnce) {
    EnsureApplication();
    TForm form(nullptr);
    TMvImageCombo combo(&form);
    std::vector<TMvImageComboItem*> deleted;
    combo.OnDeleteImageItem = [&](TComponent*, TMvImageComboItem* item) { deleted.push_back(item); };
    TMvImageComboItem* a = combo.AddImageItem("a", 0, 0);
    TMvImageComboItem* b = combo.AddImageItem("b", 0, 1);
    EXPECT_EQ(a->Index(), 0);
    EXPECT_EQ(b->Index(), 1);
    EXPECT_EQ(b->OverlayIndex(), -1);
    EXPECT_EQ(combo.Item(1), b);
    EXPECT_EQ(combo.ItemText(1), "");
    combo.DeleteItem(0);
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0], a); // freed after the event (the sanitizer checks the rest)
    EXPECT_EQ(combo.Count(), 1);
    combo.ClearItems();
    EXPECT_EQ(deleted.size(), 2u);

    TMvCombobox plain(&form);
    int events = 0;
    void* seen = nullptr;
    plain.OnDeleteItem = [&](TComponent*, void* item) { ++events, seen = item; };
    int marker = 0;
    plain.AddItem("no data", nullptr);
    plain.AddItem("data", &marker);
    plain.DeleteItem(0);
    EXPECT_EQ(events, 0);
    plain.DeleteItem(0);
    EXPECT_EQ(events, 1);
    EXPECT_EQ(seen, &marker);
}

TEST(ImageCombo, ItemHeightFollowsFontAndImages) {
    EnsureApplication();
    TForm form(nullptr);
    TMvImageCombo combo(&form);
    TBitmap measure;
    measure.SetSize(4, 4);
    measure.Canvas().Font().Assign(combo.Font());
    const int text = measure.Canvas().TextHeight("Wy") + 2;
    EXPECT_EQ(combo.ItemHeight(), text);
    TImageList small(nullptr), large(nullptr);
    MakeImages(small, 16);
    MakeImages(large, 40);
    combo.SetImages(&small);
    EXPECT_EQ(combo.ItemHeight(), std::max(16, text));
    combo.SetImages(&large);
    EXPECT_EQ(combo.ItemHeight(), 40);
    combo.SetImages(nullptr);
    EXPECT_EQ(combo.ItemHeight(), text);
    {
        TImageList gone(nullptr);
        MakeImages(gone);
        combo.SetImages(&gone);
    }
    EXPECT_EQ(combo.Images(), nullptr); // told when the list went away
}

TEST(ImageCombo, DrawsIndentClosedFieldAndOverlay) {
    EnsureApplication();
    TForm form(nullptr);
    TMvImageCombo combo(&form);
    TImageList images(nullptr);
    MakeImages(images);
    combo.SetImages(&images);
    combo.SetColor(clWhite);
    TMvImageComboItem* item = combo.AddImageItem("Item", 0, 2);
    TBitmap list, field;
    list.SetSize(200, combo.ItemHeight());
    field.SetSize(200, combo.ItemHeight());
    combo.PaintItemTo(list, 0, 0);
    combo.PaintItemTo(field, 0, odsComboBoxEdit);
    EXPECT_EQ(FirstColumnOf(list, 0xFF0000), 2 * 12 + 2);
    EXPECT_EQ(FirstColumnOf(field, 0xFF0000), 2); // no indentation in the closed field
    // Overlay -1 draws the plain image; 1 draws the overlay over it.
    const int y = (combo.ItemHeight() + 16) / 2 - 2;
    EXPECT_EQ(list.Pixel(26, y), 0xFF0000);
    item->SetOverlayIndex(1);
    combo.PaintItemTo(list, 0, 0);
    EXPECT_EQ(list.Pixel(26, y), 0x0000FF);
    EXPECT_EQ(list.Pixel(26 + 10, y - 8), 0xFF0000);
    // A selected entry highlights the caption only.
    combo.PaintItemTo(list, 0, odsSelected);
    EXPECT_EQ(list.Pixel(24, 1), clWhite);
    EXPECT_NE(FirstColumnOf(list, list.Pixel(26 + 16 + 6, 1)), -1);
}

TEST(ImageCombo, ReportsSelectionEndAndCloseUp) {
    EnsureApplication();
    TForm form(nullptr);
    TMvImageCombo combo(&form);
    combo.SetParent(&form);
    form.Show();
    combo.AddImageItem("one", 0, 0);
    combo.AddImageItem("two", 0, 0);
    std::vector<std::string> events;
    combo.OnSelEndOk = [&](TComponent*) { events.push_back("ok"); };
    combo.OnSelEndCancel = [&](TComponent*) { events.push_back("cancel"); };
    combo.OnCloseUp = [&](TComponent*) { events.push_back("closeup"); };
    // The extended interface: Down opens the list instead of moving the choice.
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(combo.Widget(), &down);
    EXPECT_TRUE(combo.DroppedDown());
    combo.SetDroppedDown(false);
    QApplication::processEvents();
    EXPECT_EQ(events, (std::vector<std::string>{"cancel", "closeup"}));
    form.Hide();
}

TEST(ImageCombo, DroppedDownWithIconsInEveryLanguage) {
    mvtest::DesktopFixture desk;
    EnsureApplication();
    std::filesystem::create_directories(desk.Home() / "Documents/Projects");
    TIdList docs;
    ASSERT_EQ(PathToPidl((desk.Home() / "Documents/Projects").string(), docs), S_OK);
    for (auto [base, lang] : {std::pair{10000, "pt"}, {20000, "en"}, {50000, "es"}}) {
        desktop::SetNamespaceLanguageBase(base);
        TForm form(nullptr);
        form.SetClientWidth(260);
        form.SetClientHeight(240);
        TMvImageCombo combo(&form);
        combo.SetParent(&form);
        combo.SetBounds(8, 8, 240, 22);
        combo.SetDropDownCount(10);
        // The chain of the folder and the volumes, as the folder combo shows it.
        TMvIdListArray view(docs);
        std::vector<std::pair<TIdList, int>> rows;
        for (int level = 0; level <= view.Count(); ++level) rows.push_back({view.Ancestor(view.Count() - level), level});
        TIdList computer;
        GetSpecialFolderPidl(desktop::csidlDrives, computer);
        std::vector<TIdList> volumes;
        TShellFolderRef comp;
        ASSERT_EQ(BindToFolder(computer, comp), S_OK);
        comp->EnumObjects(desktop::shcontFolders, volumes);
        for (const TIdList& v : volumes) rows.push_back({ConcatPidls(computer, v), 2});
        for (auto& [abs, level] : rows) {
            int image = GetPidlIconIndex(abs, desktop::shgfiSmallIcon);
            combo.AddImageItem(GetPidlDisplayName(nullptr, abs, 0), image, level);
        }
        combo.SetImages(GetSystemImageList(0));
        combo.SetItemIndex(static_cast<int>(view.Count()));
        form.Show();
        combo.SetDroppedDown(true);
        QApplication::processEvents();
        std::string path = mvtest::ScreenshotFolder("shell") + "/imagecombo-" + lang + ".png";
        EXPECT_TRUE(combo.SaveDroppedDownImage(path));
        EXPECT_EQ(combo.Item(0)->Caption(), desktop::IdListDisplayName(TIdList{0, 0}, 0));
        combo.SetDroppedDown(false);
        QApplication::processEvents();
    }
    desktop::SetNamespaceLanguageBase(20000);
}

// A type first met after a view took the system list still has its icon there: the
// lists made so far take every icon handed out.
TEST(SystemImages, IconsHandedOutLaterJoinTheListsMadeBefore) {
    mvtest::DesktopFixture desk;
    ::setenv("XDG_DATA_DIRS", "/usr/share", 1); // types with icons of their own (restored by the fixture)
    EnsureApplication();
    TImageList* small = GetSystemImageList(0);
    TImageList* large = GetSystemImageList(1);
    for (const char* name : {"x.mvtesttype-a", "notes.txt", "y.mvtesttype-b", "pic.png"}) {
        const int index = GetFileIconIndex(name, 0);
        ASSERT_GE(index, 0) << name;
        EXPECT_LT(index, small->Count()) << name;
        EXPECT_LT(index, large->Count()) << name;
    }
}

} // namespace
} // namespace mv
