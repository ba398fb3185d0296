#include "platform/ui/ListView.h"

#include "platform/ui/Drawing.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/QtBridge.h"
#include "platform/ui/SysMetrics.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QCollator>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>
#include <map>
#include <unordered_map>

namespace mv {

// ---- The Qt pieces behind the control ----

// Rows of a list view as Qt's item views see them: the items, or the owner-data
// count with each row asked for when shown.
class ListViewModel : public QAbstractTableModel {
public:
    explicit ListViewModel(TListView* view) : View(view) {}
    TListView* View;

    int rowCount(const QModelIndex& parent) const override {
        return View && !parent.isValid() ? View->RowCount() : 0;
    }
    int columnCount(const QModelIndex& parent) const override {
        return View && !parent.isValid() ? View->Columns().Count() : 0;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!View || !index.isValid()) return {};
        if (role == Qt::DisplayRole || role == Qt::EditRole) return ToQ(View->CellText(index.row(), index.column()));
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags f = QAbstractTableModel::flags(index);
        if (index.isValid() && index.column() == 0 && View && !View->OwnerData()) f |= Qt::ItemIsEditable;
        return f;
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (!View || role != Qt::EditRole || !index.isValid()) return false;
        Guarded([&] { View->Edited(index.row(), FromQ(value.toString())); });
        return true;
    }
    void Reset() {
        beginResetModel();
        endResetModel();
    }
    void InsertRows(int first, int last) {
        beginInsertRows({}, first, last);
        endInsertRows();
    }
    void RemoveRows(int first, int last) {
        beginRemoveRows({}, first, last);
        endRemoveRows();
    }
    void Columns(int oldCount, int newCount) {
        if (newCount > oldCount) {
            beginInsertColumns({}, oldCount, newCount - 1);
            endInsertColumns();
        } else if (newCount < oldCount) {
            beginRemoveColumns({}, newCount, oldCount - 1);
            endRemoveColumns();
        }
        if (newCount > 0) emit headerDataChanged(Qt::Horizontal, 0, newCount - 1);
    }
    void RowChanged(int row) {
        const int columns = View ? View->Columns().Count() : 0;
        if (columns > 0) emit dataChanged(index(row, 0), index(row, columns - 1));
    }
};

class ListViewHeader : public QHeaderView {
public:
    explicit ListViewHeader(TListView* view) : QHeaderView(Qt::Horizontal), View(view) {
        setSectionsClickable(true);
        setHighlightSections(false);
        setSortIndicatorShown(false);
        setStretchLastSection(false);
        setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setMinimumSectionSize(0);
    }
    TListView* View;
    TCanvas Canvas;
    int Pressed = -1;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        if (!View || !View->HeaderOwnerDraw()) {
            QHeaderView::paintSection(painter, rect, logicalIndex);
            return;
        }
        auto* self = const_cast<ListViewHeader*>(this);
        painter->save();
        self->Canvas.Font().Assign(View->Font());
        self->Canvas.Data().Painter = painter;
        const TRect r = Rect(rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1);
        Guarded([&] { View->DrawHeaderItem(self->Canvas, logicalIndex, r, Pressed == logicalIndex); });
        self->Canvas.Data().Painter = nullptr;
        painter->restore();
    }
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override {
        QHeaderView::initStyleOptionForIndex(option, logicalIndex);
        if (View && logicalIndex < View->Columns().Count() &&
            (View->Columns()[logicalIndex]->Format() & LVCFMT_BITMAP_ON_RIGHT))
            option->iconAlignment = Qt::AlignRight | Qt::AlignVCenter;
    }
    void mousePressEvent(QMouseEvent* event) override {
        const int at = logicalIndexAt(event->position().toPoint());
        Pressed = event->button() == Qt::LeftButton && cursor().shape() != Qt::SplitHCursor ? at : -1;
        QHeaderView::mousePressEvent(event);
        viewport()->update();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        QHeaderView::mouseReleaseEvent(event);
        Pressed = -1;
        viewport()->update();
    }
};

QVariant ListViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!View || orientation != Qt::Horizontal || section < 0 || section >= View->Columns().Count()) return {};
    const TListColumn* column = View->Columns()[section];
    switch (role) {
    case Qt::DisplayRole:
        return ToQ(column->Caption());
    case Qt::TextAlignmentRole:
        switch (column->Alignment()) {
        case TAlignment::taRightJustify:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        case TAlignment::taCenter:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        default:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        }
    case Qt::DecorationRole: {
        TImageList* images = View->SmallImages();
        if (!images || !(column->Format() & LVCFMT_IMAGE) || column->ImageIndex() < 0 ||
            column->ImageIndex() >= images->Count())
            return {};
        TBitmap picture;
        picture.SetSize(images->Width(), images->Height());
        picture.Canvas().SetBrushColor(clBtnFace);
        picture.Canvas().FillRect(Rect(0, 0, images->Width(), images->Height()));
        images->Draw(picture.Canvas(), 0, 0, column->ImageIndex());
        return QPixmap::fromImage(picture.Data().Image);
    }
    default:
        return {};
    }
}

// One row of an owner-data list as its owner answered for it.
struct CachedRow {
    std::vector<std::string> Texts;
    int Image = -1;
};

struct TListView::Impl {
    QTableView* Table = nullptr;
    ListViewModel* Model = nullptr;
    ListViewHeader* Header = nullptr;
    TCanvas PaintCanvas;
    // Owner-data answers of the rows being shown; emptied before every paint.
    std::unordered_map<int, CachedRow> Cache;
    // Cut and drop-highlighted states by row.
    std::map<int, uint32_t> ExtraStates;
    QPixmap Background;
    bool MovingSections = false;
    int RowHeight = 0;
    // Custom drawing: the pre-paint answer asked for rows, and the row drawn last with
    // what its control answered.
    bool NotifyItems = false;
    int DrawnRow = -1;
    uint32_t DrawnAnswer = 0;
    TCustomDrawInfo DrawnInfo;
    // A press that may start a drag.
    QPoint PressAt;
    Qt::MouseButton PressButton = Qt::NoButton;
    int PressRow = -1;
    bool DragStarted = false;
};

class ListViewTable : public QTableView {
public:
    explicit ListViewTable(TListView* view) : View(view) {}
    TListView* View;
    int ContentsWidth(int column) const { return sizeHintForColumn(column); }
    bool Editing() const { return state() == QAbstractItemView::EditingState; }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (!View) return;
        auto& impl = *View->FImpl;
        if (!impl.Background.isNull()) {
            QPainter p(viewport());
            if (View->FBackgroundTile)
                p.drawTiledPixmap(viewport()->rect(), impl.Background);
            else {
                const int x = (viewport()->width() - impl.Background.width()) * View->FBackgroundX / 100;
                const int y = (viewport()->height() - impl.Background.height()) * View->FBackgroundY / 100;
                p.drawPixmap(x, y, impl.Background);
            }
        }
        int from = -1, to = -1;
        View->VisibleRange(from, to);
        {
            TCustomDrawInfo info;
            info.DrawStage = CDDS_PREPAINT;
            info.CurrentFont.Assign(View->Font());
            info.TextColor = View->Font().Color();
            info.TextBkColor = View->Color();
            info.Rect = Rect(0, 0, viewport()->width(), viewport()->height());
            uint32_t answer = CDRF_DODEFAULT;
            Guarded([&] { answer = View->CustomDraw(info); });
            impl.NotifyItems = (answer & CDRF_NOTIFYITEMDRAW) != 0;
            impl.DrawnRow = -1;
        }
        if (View->OwnerData()) {
            // Every paint asks the owner afresh, after telling it which rows come.
            impl.Cache.clear();
            if (from >= 0) {
                TLVCacheHint hint{from, to};
                Guarded([&] { View->CacheHint(hint); });
            }
        }
        if (!View->OwnerDraw()) {
            QTableView::paintEvent(event);
            return;
        }
        QPainter painter(viewport());
        TCanvas& canvas = impl.PaintCanvas;
        canvas.Font().Assign(View->Font());
        canvas.Data().Painter = &painter;
        for (int row = from; row >= 0 && row <= to; ++row) {
            const TRect r = View->ItemRect(row);
            TOwnerDrawState state = 0;
            const uint32_t s = View->ItemState(row, LVIS_SELECTED | LVIS_FOCUSED);
            if (s & LVIS_SELECTED) state |= odSelected;
            if ((s & LVIS_FOCUSED) && hasFocus()) state |= odFocused;
            if (!isEnabled()) state |= odDisabled;
            Guarded([&] { View->DrawItem(canvas, row, r, state); });
        }
        canvas.Data().Painter = nullptr;
    }
    void keyboardSearch(const QString& search) override {
        if (!View || !View->OwnerData()) {
            QTableView::keyboardSearch(search);
            return;
        }
        TLVFindInfo info;
        info.Start = std::max(0, View->ItemFocused());
        info.Flags = LVFI_STRING | LVFI_PARTIAL | LVFI_WRAP;
        info.Text = FromQ(search);
        int found = -1;
        Guarded([&] { found = View->FindItem(info); });
        if (found >= 0 && found < View->RowCount()) {
            const QModelIndex index = model()->index(found, 0);
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
            scrollTo(index);
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (!View) return;
        auto& impl = *View->FImpl;
        const QPoint at = event->position().toPoint();
        impl.PressAt = at;
        impl.PressButton = event->button();
        impl.PressRow = rowAt(at.y());
        impl.DragStarted = false;
        QTableView::mousePressEvent(event);
        if (event->button() == Qt::RightButton) Guarded([&] { View->RightClick(Point(at.x(), at.y())); });
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (!View) return;
        View->FImpl->PressRow = -1;
        QTableView::mouseReleaseEvent(event);
        if (event->button() == Qt::RightButton) {
            const QPoint at = event->position().toPoint();
            Guarded([&] { View->RightButtonUp(Point(at.x(), at.y())); });
        }
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        if (!View) return;
        const bool keyboard = event->reason() == QContextMenuEvent::Keyboard;
        const QPoint at = viewport()->mapFromGlobal(event->globalPos());
        Guarded([&] { View->ContextMenu(keyboard ? Point(-1, -1) : Point(at.x(), at.y()), keyboard); });
    }
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override {
        QTableView::closeEditor(editor, hint);
        if (View) Guarded([&] { View->EditingEnded(); });
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (View) {
            auto& impl = *View->FImpl;
            if (impl.PressRow >= 0 && !impl.DragStarted && event->buttons() != Qt::NoButton &&
                (event->position().toPoint() - impl.PressAt).manhattanLength() >= QApplication::startDragDistance()) {
                impl.DragStarted = true;
                const int row = impl.PressRow;
                const TMouseButton button =
                    impl.PressButton == Qt::RightButton ? TMouseButton::mbRight : TMouseButton::mbLeft;
                Guarded([&] { View->BeginDrag(row, button); });
                return;
            }
            if (impl.DragStarted) return;
        }
        QTableView::mouseMoveEvent(event);
        if (!View || !(View->ExtendedStyle() & LVS_EX_TRACKSELECT)) return;
        const QPoint at = event->position().toPoint();
        int item = rowAt(at.y());
        if (item < 0) return;
        bool allow = true;
        Guarded([&] { View->HotTrack(item, std::max(0, columnAt(at.x())), Point(at.x(), at.y()), allow); });
        if (allow && item >= 0 && item < View->RowCount() && event->buttons() == Qt::NoButton)
            selectionModel()->setCurrentIndex(model()->index(item, 0), QItemSelectionModel::ClearAndSelect |
                                                                           QItemSelectionModel::Rows);
    }
};

// Draws the cells of a list view that is not owner-drawn: the selection, the small
// image of the first column and the text with its column's alignment.
class ListViewDelegate : public QStyledItemDelegate {
public:
    explicit ListViewDelegate(TListView* view) : View(view) {}
    TListView* View;

    // The caption editor takes the table's palette, whose highlight is clear (see
    // the constructor): its selected text gets the highlight back.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (editor) {
            QPalette palette = editor->palette();
            palette.setColor(QPalette::Highlight, ToQColor(clHighlight));
            palette.setColor(QPalette::HighlightedText, ToQColor(clHighlightText));
            editor->setPalette(palette);
        }
        return editor;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (!View) return;
        auto& impl = *View->FImpl;
        const int row = index.row(), column = index.column();
        TCanvas& canvas = impl.PaintCanvas;
        canvas.Font().Assign(View->Font());
        canvas.Data().Painter = painter;
        const QRect q = option.rect;
        TRect cell = Rect(q.left(), q.top(), q.right() + 1, q.bottom() + 1);
        const bool first = impl.Header->visualIndex(column) == 0;
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        const bool focused = impl.Table->hasFocus();
        const bool fullRow = (View->ExtendedStyle() & LVS_EX_FULLROWSELECT) != 0;
        bool highlight = selected && (first || fullRow) && (focused || !View->HideSelection());
        TColor textColor = highlight ? (focused ? clHighlightText : clBtnText) : clWindowText;
        TColor textBack = highlight ? (focused ? clHighlight : clBtnFace) : View->Color();
        canvas.Font().Assign(View->Font());
        if (impl.NotifyItems) {
            if (impl.DrawnRow != row) {
                // Once per row, before its first cell.
                TCustomDrawInfo& info = impl.DrawnInfo;
                info = TCustomDrawInfo();
                info.DrawStage = CDDS_ITEMPREPAINT;
                info.Canvas = &canvas;
                info.Rect = View->ItemRect(row);
                info.ItemSpec = row;
                info.ItemState = (selected ? CDIS_SELECTED : 0) | (selected && focused ? CDIS_FOCUS : 0);
                info.CurrentFont.Assign(View->Font());
                info.TextColor = textColor;
                info.TextBkColor = textBack;
                impl.DrawnRow = row;
                impl.DrawnAnswer = CDRF_DODEFAULT;
                Guarded([&] { impl.DrawnAnswer = View->CustomDraw(info); });
            }
            if (impl.DrawnAnswer & CDRF_SKIPDEFAULT) {
                canvas.Data().Painter = nullptr;
                return;
            }
            canvas.Font().Assign(impl.DrawnInfo.CurrentFont);
            textColor = impl.DrawnInfo.TextColor;
            textBack = impl.DrawnInfo.TextBkColor;
            if (textBack != View->Color() && !highlight) {
                canvas.SetBrushColor(textBack);
                canvas.SetBrushStyle(TBrushStyle::bsSolid);
                canvas.FillRect(cell);
            }
        }
        TRect text = cell;
        TImageList* images = View->SmallImages();
        if (View->ViewStyle() == TViewStyle::vsIcon && View->LargeImages()) images = View->LargeImages();
        if (first && images) {
            int image = -1;
            if (View->OwnerData()) {
                View->CellText(row, column);
                auto it = impl.Cache.find(row);
                if (it != impl.Cache.end()) image = it->second.Image;
            } else if (TListItem* item = View->Items().Item(row))
                image = View->StandardItemImage(item, row);
            const int overlay = View->OwnerData() || !View->Items().Item(row) ? -1
                                                                               : View->Items().Item(row)->OverlayIndex();
            const int imageY = cell.Top + (cell.Height() - images->Height()) / 2;
            if (overlay >= 0)
                images->DrawOverlay(canvas, cell.Left + 2, imageY, image, overlay + 1);
            else
                images->Draw(canvas, cell.Left + 2, imageY, image);
            text.Left += images->Width() + 2;
        }
        if (highlight) {
            canvas.SetBrushColor(textBack);
            canvas.SetBrushStyle(TBrushStyle::bsSolid);
            canvas.FillRect(text);
        }
        canvas.Font().SetColor(textColor);
        canvas.SetBrushStyle(TBrushStyle::bsClear);
        text.Left += 4;
        text.Right -= 4;
        uint32_t format = DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER;
        if (column < View->Columns().Count()) {
            const TAlignment a = View->Columns()[column]->Alignment();
            if (a == TAlignment::taRightJustify) format |= DT_RIGHT;
            if (a == TAlignment::taCenter) format |= DT_CENTER;
        }
        DrawText(canvas, View->CellText(row, column), text, format);
        if ((option.state & QStyle::State_HasFocus) && first && focused) canvas.DrawFocusRect(cell);
        canvas.Data().Painter = nullptr;
    }
};

// ---- TListColumn, TListColumns ----

void TListColumn::SetCaption(const std::string& value) {
    FCaption = value;
    FView->ColumnsChanged();
}

int TListColumn::Width() const {
    if (FView->FImpl && FView->FImpl->Header && FIndex < FView->FImpl->Header->count())
        return FView->FImpl->Header->sectionSize(FIndex);
    return FWidth;
}

void TListColumn::SetWidth(int value) {
    auto& impl = *FView->FImpl;
    if (value >= 0) {
        FWidth = value;
        if (FIndex < impl.Header->count()) impl.Header->resizeSection(FIndex, value);
        return;
    }
    // Fit to the widest cell shown, and with -2 to the title too.
    int width = static_cast<ListViewTable*>(impl.Table)->ContentsWidth(FIndex);
    if (value == -2) {
        TCanvas& canvas = impl.PaintCanvas;
        canvas.Font().Assign(FView->Font());
        TBitmap probe;
        probe.SetSize(1, 1);
        probe.Canvas().Font().Assign(FView->Font());
        width = std::max(width, probe.Canvas().TextWidth(FCaption) + 12);
    }
    FWidth = std::max(width, 8);
    if (FIndex < impl.Header->count()) impl.Header->resizeSection(FIndex, FWidth);
}

void TListColumn::SetAlignment(TAlignment value) {
    FAlignment = value;
    FView->ColumnsChanged();
}

uint32_t TListColumn::Format() const {
    uint32_t format = FImageFormat;
    if (FAlignment == TAlignment::taRightJustify) format |= LVCFMT_RIGHT;
    if (FAlignment == TAlignment::taCenter) format |= LVCFMT_CENTER;
    return format;
}

void TListColumn::SetImage(uint32_t format, int imageIndex) {
    FImageFormat = format & (LVCFMT_IMAGE | LVCFMT_BITMAP_ON_RIGHT);
    FImageIndex = imageIndex;
    FView->ColumnsChanged();
}

TListColumn* TListColumns::Add() {
    const int old = Count();
    FItems.push_back(std::unique_ptr<TListColumn>(new TListColumn(FView)));
    FItems.back()->FIndex = old;
    auto& impl = *FView->FImpl;
    impl.Model->Columns(old, Count());
    impl.Header->resizeSection(old, FItems.back()->FWidth);
    if (FView->FViewStyle != TViewStyle::vsReport) impl.Table->setColumnHidden(old, old > 0);
    return FItems.back().get();
}

void TListColumns::Clear() {
    const int old = Count();
    FItems.clear();
    FView->FImpl->Model->Columns(old, 0);
}

// ---- TListItem, TListItems ----

int TListItem::Index() const {
    return FView->Items().IndexOf(this);
}

void TListItem::SetCaption(const std::string& value) {
    FCaption = value;
    Changed();
}

void TListItem::Changed() {
    FView->RowChanged(Index());
}

void TListItem::SetImageIndex(int value) {
    FImageIndex = value;
    Changed();
}

void TListItem::SetStateIndex(int value) {
    FStateIndex = value;
    Changed();
}

void TListItem::SetOverlayIndex(int value) {
    FOverlayIndex = value;
    Changed();
}

bool TListItem::Selected() const {
    return FView->ItemState(Index(), LVIS_SELECTED) != 0;
}

void TListItem::SetSelected(bool value) {
    FView->SetItemState(Index(), value ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

bool TListItem::Focused() const {
    return FView->ItemState(Index(), LVIS_FOCUSED) != 0;
}

void TListItem::SetFocused(bool value) {
    FView->SetItemState(Index(), value ? LVIS_FOCUSED : 0, LVIS_FOCUSED);
}

TListItem* TListItems::Add() {
    return Insert(Count());
}

TListItem* TListItems::Insert(int index) {
    index = std::clamp(index, 0, Count());
    auto* item = new TListItem(FView);
    FItems.insert(FItems.begin() + index, std::unique_ptr<TListItem>(item));
    if (FUpdateCount > 0)
        FChangedWhileUpdating = true;
    else
        FView->RowsInserted(index, index);
    Guarded([&] { FView->ItemInserted(item); });
    return item;
}

void TListItems::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    FItems.erase(FItems.begin() + index);
    if (FUpdateCount > 0)
        FChangedWhileUpdating = true;
    else
        FView->RowsRemoved(index, index);
}

void TListItems::Clear() {
    FItems.clear();
    if (FUpdateCount > 0)
        FChangedWhileUpdating = true;
    else
        FView->ItemsReset();
}

TListItem* TListItems::Item(int index) const {
    return index >= 0 && index < Count() ? FItems[static_cast<size_t>(index)].get() : nullptr;
}

int TListItems::IndexOf(const TListItem* item) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == item) return static_cast<int>(i);
    return -1;
}

bool TListItems::Reorder(const std::vector<int>& order) {
    const int n = Count();
    if (static_cast<int>(order.size()) != n) return false;
    std::vector<bool> seen(static_cast<size_t>(n), false);
    for (int i : order) {
        if (i < 0 || i >= n || seen[static_cast<size_t>(i)]) return false;
        seen[static_cast<size_t>(i)] = true;
    }
    // Selection and focus go with the items.
    std::vector<TListItem*> selected;
    TListItem* focused = Item(FView->ItemFocused());
    for (int i = FView->GetNextItem(-1, LVNI_SELECTED); i >= 0; i = FView->GetNextItem(i, LVNI_SELECTED))
        selected.push_back(Item(i));
    std::vector<std::unique_ptr<TListItem>> sorted;
    sorted.reserve(static_cast<size_t>(n));
    for (int i : order) sorted.push_back(std::move(FItems[static_cast<size_t>(i)]));
    FItems = std::move(sorted);
    FView->ItemsReset();
    for (TListItem* item : selected) item->SetSelected(true);
    if (focused) focused->SetFocused(true);
    return true;
}

void TListItems::BeginUpdate() {
    ++FUpdateCount;
}

void TListItems::EndUpdate() {
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0 && FChangedWhileUpdating) {
        FChangedWhileUpdating = false;
        FView->ItemsReset();
    }
}

// ---- Cell requests ----

void SetRequestText(TLVItemRequest& request, const std::string& text) {
    if (!request.Text || request.TextMax <= 0) return;
    // Whole UTF-8 characters, at most TextMax - 1 of them.
    size_t bytes = 0;
    int characters = 0;
    while (bytes < text.size() && characters < request.TextMax - 1) {
        const auto lead = static_cast<unsigned char>(text[bytes]);
        size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (bytes + length > text.size()) break;
        bytes += length;
        ++characters;
    }
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(bytes), request.Text);
    request.Text[bytes] = '\0';
}

// ---- TListView ----

TListView::TListView(TComponent* owner)
    : TWinControl(owner), FImpl(std::make_unique<Impl>()), FColumns(this), FItems(this) {
    auto* table = new ListViewTable(this);
    auto& impl = *FImpl;
    impl.Table = table;
    impl.Header = new ListViewHeader(this);
    table->setHorizontalHeader(impl.Header);
    impl.Model = new ListViewModel(this);
    impl.Model->setParent(table);
    table->setModel(impl.Model);
    // The table owns its delegate, so that it goes with the table (a view does not take
    // ownership of the delegate it is given).
    auto* delegate = new ListViewDelegate(this);
    delegate->setParent(table);
    table->setItemDelegate(delegate);
    table->verticalHeader()->hide();
    table->verticalHeader()->setMinimumSectionSize(1);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->setShowGrid(false);
    table->setWordWrap(false);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    table->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setMouseTracking(true);
    table->setCornerButtonEnabled(false);
    QPalette palette = ItemViewPalette(table->palette());
    palette.setColor(QPalette::Button, ToQColor(clBtnFace));
    palette.setColor(QPalette::Window, ToQColor(clBtnFace));
    // The delegate draws the selection itself, or none where the list is not focused
    // and hides it; the table would fill selected cells with the palette's highlight
    // first, and that would show through.
    palette.setColor(QPalette::Highlight, Qt::transparent);
    table->setPalette(palette);
    AttachWidget(table);
    SetColor(clWindow);
    SetTabStop(true);
    SetBounds(0, 0, 250, 150);
    RemeasureItems();

    QObject::connect(impl.Header, &QHeaderView::sectionClicked, table,
                     [this](int logical) { Guarded([&] { ColumnClick(logical); }); });
    QObject::connect(impl.Header, &QHeaderView::sectionMoved, table, [this](int, int, int) {
        if (FImpl->MovingSections) return;
        Guarded([&] { ColumnMoved(); });
    });
    QObject::connect(impl.Header, &QHeaderView::sectionHandleDoubleClicked, table,
                     [this](int logical) { Guarded([&] { DividerDblClick(logical); }); });
    QObject::connect(table, &QAbstractItemView::activated, table,
                     [this](const QModelIndex&) { Guarded([&] { ItemActivate(); }); });
    QObject::connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, table,
                     [this](const QItemSelection& selected, const QItemSelection& deselected) {
                         Guarded([&] { SelectionChanged(); });
                         if (!FOwnerData) return;
                         for (const QItemSelectionRange& r : selected) {
                             const TLVStateChange change{r.top(), r.bottom(), LVIS_SELECTED, 0};
                             Guarded([&] { ODStateChanged(change); });
                         }
                         for (const QItemSelectionRange& r : deselected) {
                             const TLVStateChange change{r.top(), r.bottom(), 0, LVIS_SELECTED};
                             Guarded([&] { ODStateChanged(change); });
                         }
                     });
}

TListView::~TListView() {
    BeginDestruction();
    if (FSmallImages) FSmallImages->RemoveFreeNotification(this);
    if (FLargeImages) FLargeImages->RemoveFreeNotification(this);
    // The widget outlives this object until Qt deletes it: cut every way back here
    // before the model, header or delegate could be asked anything.
    auto& impl = *FImpl;
    auto* table = static_cast<ListViewTable*>(impl.Table);
    QObject::disconnect(impl.Header, nullptr, table, nullptr);
    QObject::disconnect(table->selectionModel(), nullptr, table, nullptr);
    table->View = nullptr;
    impl.Header->View = nullptr;
    static_cast<ListViewDelegate*>(table->itemDelegate())->View = nullptr;
    table->setModel(nullptr);
    impl.Model->View = nullptr;
}

void TListView::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FSmallImages) {
        FSmallImages = nullptr;
        Invalidate();
    }
    if (operation == TOperation::opRemove && component == FLargeImages) {
        FLargeImages = nullptr;
        Invalidate();
    }
}

void TListView::SetSmallImages(TImageList* value) {
    if (FSmallImages == value) return;
    if (FSmallImages) FSmallImages->RemoveFreeNotification(this);
    FSmallImages = value;
    if (value) value->FreeNotification(this);
    RemeasureItems();
    ColumnsChanged();
}

void TListView::SetOwnerData(bool value) {
    if (FOwnerData == value) return;
    FItems.FItems.clear();
    FOwnerData = value;
    FItemCount = 0;
    ItemsReset();
}

void TListView::SetItemCount(int count, uint32_t flags) {
    count = std::max(0, count);
    if (!FOwnerData) return;
    auto& impl = *FImpl;
    const int old = FItemCount;
    const int top = TopIndex();
    FItemCount = count;
    impl.Cache.clear();
    if (count > old)
        impl.Model->InsertRows(old, count - 1);
    else if (count < old)
        impl.Model->RemoveRows(count, old - 1);
    if (flags & LVSICF_NOSCROLL)
        ScrollToRow(std::min(top, std::max(0, count - 1)));
    if (!(flags & LVSICF_NOINVALIDATEALL)) impl.Table->viewport()->update();
}

int TListView::RowCount() const {
    return FOwnerData ? FItemCount : FItems.Count();
}

void TListView::SetOwnerDraw(bool value) {
    FOwnerDraw = value;
    RemeasureItems();
    Invalidate();
    FImpl->Table->viewport()->update();
}

void TListView::SetHeaderOwnerDraw(bool value) {
    FHeaderOwnerDraw = value;
    FImpl->Header->viewport()->update();
}

void TListView::SetExtendedStyle(uint32_t value) {
    FExtendedStyle = value;
    ApplyExtendedStyle();
}

void TListView::ApplyExtendedStyle() {
    auto& impl = *FImpl;
    impl.Table->setShowGrid((FExtendedStyle & LVS_EX_GRIDLINES) != 0);
    impl.Header->setSectionsMovable((FExtendedStyle & LVS_EX_HEADERDRAGDROP) != 0);
    impl.Table->viewport()->update();
}

void TListView::SetHideSelection(bool value) {
    FHideSelection = value;
    FImpl->Table->viewport()->update();
}

void TListView::SetMultiSelect(bool value) {
    FMultiSelect = value;
    FImpl->Table->setSelectionMode(value ? QAbstractItemView::ExtendedSelection
                                         : QAbstractItemView::SingleSelection);
}

void TListView::ApplyColor() {
    QPalette palette = FImpl->Table->palette();
    palette.setColor(QPalette::Base, ToQColor(Color()));
    FImpl->Table->setPalette(palette);
    Invalidate();
}

void TListView::SetBackgroundImage(const std::string& fileName, bool tile, int xPercent, int yPercent) {
    FBackgroundFile = fileName;
    FBackgroundTile = tile;
    FBackgroundX = xPercent;
    FBackgroundY = yPercent;
    FImpl->Background = fileName.empty() ? QPixmap() : QPixmap(ToQ(fileName));
    FImpl->Table->viewport()->update();
}

uint32_t TListView::ItemState(int index, uint32_t mask) const {
    if (index < 0 || index >= RowCount()) return 0;
    auto& impl = *FImpl;
    uint32_t state = 0;
    if ((mask & LVIS_SELECTED) && impl.Table->selectionModel()->isRowSelected(index, {})) state |= LVIS_SELECTED;
    if ((mask & LVIS_FOCUSED) && impl.Table->selectionModel()->currentIndex().row() == index)
        state |= LVIS_FOCUSED;
    if (mask & (LVIS_CUT | LVIS_DROPHILITED)) {
        auto it = impl.ExtraStates.find(index);
        if (it != impl.ExtraStates.end()) state |= it->second & mask & (LVIS_CUT | LVIS_DROPHILITED);
    }
    return state;
}

void TListView::SetItemState(int index, uint32_t state, uint32_t mask) {
    auto& impl = *FImpl;
    if (index < 0 || index >= RowCount() || Columns().Count() == 0) return;
    auto* selection = impl.Table->selectionModel();
    const QModelIndex cell = impl.Model->index(index, 0);
    if (mask & LVIS_SELECTED)
        selection->select(cell, ((state & LVIS_SELECTED) ? QItemSelectionModel::Select
                                                         : QItemSelectionModel::Deselect) |
                                    QItemSelectionModel::Rows);
    if (mask & LVIS_FOCUSED) {
        if (state & LVIS_FOCUSED)
            selection->setCurrentIndex(cell, QItemSelectionModel::NoUpdate);
        else if (selection->currentIndex().row() == index)
            selection->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    }
    if (mask & (LVIS_CUT | LVIS_DROPHILITED)) {
        uint32_t& extra = impl.ExtraStates[index];
        extra = (extra & ~mask) | (state & mask & (LVIS_CUT | LVIS_DROPHILITED));
        if (extra == 0) impl.ExtraStates.erase(index);
    }
    RowChanged(index);
}

int TListView::SelCount() const {
    // Rows are selected whole; ranges may overlap, so their rows are merged first.
    std::vector<std::pair<int, int>> spans;
    for (const QItemSelectionRange& r : FImpl->Table->selectionModel()->selection())
        spans.emplace_back(r.top(), r.bottom());
    std::sort(spans.begin(), spans.end());
    int count = 0, end = -1;
    for (const auto& [top, bottom] : spans) {
        if (bottom <= end) continue;
        count += bottom - std::max(top, end + 1) + 1;
        end = bottom;
    }
    return count;
}

int TListView::ItemFocused() const {
    const QModelIndex current = FImpl->Table->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

int TListView::GetNextItem(int start, uint32_t flags) const {
    const int count = RowCount();
    const uint32_t states = flags & (LVNI_FOCUSED | LVNI_SELECTED | LVNI_CUT | LVNI_DROPHILITED);
    auto matches = [&](int i) {
        uint32_t want = 0;
        if (states & LVNI_FOCUSED) want |= LVIS_FOCUSED;
        if (states & LVNI_SELECTED) want |= LVIS_SELECTED;
        if (states & LVNI_CUT) want |= LVIS_CUT;
        if (states & LVNI_DROPHILITED) want |= LVIS_DROPHILITED;
        return (ItemState(i, want) & want) == want;
    };
    if (flags & (LVNI_TOLEFT | LVNI_TORIGHT)) return -1; // one column of rows: nothing beside
    if (flags & LVNI_ABOVE) {
        for (int i = std::min(start, count) - 1; i >= 0; --i)
            if (matches(i)) return i;
        return -1;
    }
    const int first = std::max(start + 1, 0);
    if (states == LVNI_FOCUSED) {
        const int focused = ItemFocused();
        return focused >= first ? focused : -1;
    }
    if (states & LVNI_SELECTED) {
        // Walk the selection's ranges rather than every row.
        int best = -1;
        for (const QItemSelectionRange& r : FImpl->Table->selectionModel()->selection()) {
            for (int i = std::max(first, r.top()); i <= r.bottom(); ++i) {
                if (best >= 0 && i >= best) break;
                if (matches(i)) {
                    best = i;
                    break;
                }
            }
        }
        return best;
    }
    for (int i = first; i < count; ++i)
        if (matches(i)) return i;
    return -1;
}

void TListView::SelectAll() {
    FImpl->Table->selectAll();
}

void TListView::ClearSelection() {
    FImpl->Table->selectionModel()->clearSelection();
}

std::vector<int> TListView::ColumnOrder() const {
    std::vector<int> order;
    for (int p = 0; p < FColumns.Count(); ++p) order.push_back(FImpl->Header->logicalIndex(p));
    return order;
}

bool TListView::SetColumnOrder(const std::vector<int>& order) {
    const int n = FColumns.Count();
    if (static_cast<int>(order.size()) != n) return false;
    std::vector<bool> seen(static_cast<size_t>(n), false);
    for (int i : order) {
        if (i < 0 || i >= n || seen[static_cast<size_t>(i)]) return false;
        seen[static_cast<size_t>(i)] = true;
    }
    auto& impl = *FImpl;
    impl.MovingSections = true;
    for (int p = 0; p < n; ++p) impl.Header->moveSection(impl.Header->visualIndex(order[static_cast<size_t>(p)]), p);
    impl.MovingSections = false;
    impl.Table->viewport()->update();
    return true;
}

TRect TListView::HeaderItemRect(int column) const {
    auto* header = FImpl->Header;
    if (column < 0 || column >= header->count()) return {};
    const int x = header->sectionViewportPosition(column);
    return Bounds(x, 0, header->sectionSize(column), header->height());
}

void TListView::InvalidateHeaderRect(const TRect& rect) {
    FImpl->Header->viewport()->update(ToQRect(rect));
}

int TListView::HeaderHeight() const {
    return FImpl->Header->height();
}

TRect TListView::ItemRect(int index) const {
    auto* table = FImpl->Table;
    if (index < 0 || index >= RowCount()) return {};
    const int y = table->rowViewportPosition(index);
    const int width = FImpl->Header->length() - FImpl->Header->offset();
    return Bounds(0, y, std::max(width, 0), table->rowHeight(index));
}

int TListView::RowHeight() const {
    return FImpl->RowHeight;
}

TPoint TListView::HeaderOrigin() const {
    const QPoint at = FImpl->Header->viewport()->mapTo(FImpl->Table, QPoint(0, 0));
    return Point(at.x(), at.y());
}

TPoint TListView::RowsOrigin() const {
    const QPoint at = FImpl->Table->viewport()->mapTo(FImpl->Table, QPoint(0, 0));
    return Point(at.x(), at.y());
}

int TListView::TopIndex() const {
    if (RowCount() == 0) return -1;
    const int row = FImpl->Table->rowAt(0);
    return row < 0 ? 0 : row;
}

void TListView::VisibleRange(int& from, int& to) const {
    from = to = -1;
    const int count = RowCount();
    if (count == 0) return;
    auto* table = FImpl->Table;
    from = std::max(0, table->rowAt(0));
    to = table->rowAt(table->viewport()->height() - 1);
    if (to < 0) to = count - 1;
}

void TListView::MakeVisible(int index) {
    if (index < 0 || index >= RowCount() || FColumns.Count() == 0) return;
    FImpl->Table->scrollTo(FImpl->Model->index(index, 0), QAbstractItemView::EnsureVisible);
}

void TListView::ScrollToRow(int index) {
    // Per-item scrolling: the scroll bar's value is the first row shown.
    FImpl->Table->verticalScrollBar()->setValue(std::max(0, index));
}

void TListView::UpdateItems() {
    FImpl->Cache.clear();
    FImpl->Table->viewport()->update();
}

int TListView::DefaultRowHeight() const {
    TBitmap probe;
    probe.SetSize(1, 1);
    probe.Canvas().Font().Assign(Font());
    const int text = probe.Canvas().TextHeight("Wy");
    int image = FSmallImages ? FSmallImages->Height() : 0;
    if (FViewStyle == TViewStyle::vsIcon && FLargeImages) image = FLargeImages->Height() + 6;
    return std::max(text + 2, image + 1);
}

void TListView::SetLargeImages(TImageList* value) {
    if (FLargeImages == value) return;
    if (FLargeImages) FLargeImages->RemoveFreeNotification(this);
    FLargeImages = value;
    if (value) value->FreeNotification(this);
    RemeasureItems();
    UpdateItems();
}

void TListView::SetViewStyle(TViewStyle value) {
    if (FViewStyle == value) return;
    FViewStyle = value;
    ApplyViewStyle();
}

void TListView::ApplyViewStyle() {
    auto& impl = *FImpl;
    const bool report = FViewStyle == TViewStyle::vsReport;
    impl.Header->setVisible(report);
    for (int c = 1; c < FColumns.Count(); ++c) impl.Table->setColumnHidden(c, !report);
    // Without the other columns the names take the whole width.
    impl.Header->setStretchLastSection(!report);
    RemeasureItems();
    UpdateItems();
}

void TListView::RemeasureItems() {
    int height = DefaultRowHeight();
    if (FOwnerDraw) Guarded([&] { MeasureItem(height); });
    height = std::max(1, height);
    FImpl->RowHeight = height;
    FImpl->Table->verticalHeader()->setDefaultSectionSize(height);
}

void TListView::FontChanged() {
    RemeasureItems();
}

std::string TListView::CellText(int row, int column) {
    if (row < 0 || row >= RowCount() || column < 0 || column >= FColumns.Count()) return {};
    if (!FOwnerData) return StandardCellText(FItems.Item(row), row, column);
    auto& cache = FImpl->Cache;
    auto it = cache.find(row);
    if (it == cache.end()) {
        CachedRow answer;
        std::vector<char> buffer(static_cast<size_t>(LVCellTextMax) * 4 + 1);
        for (int c = 0; c < FColumns.Count(); ++c) {
            TLVItemRequest request;
            request.Item = row;
            request.SubItem = c;
            request.Mask = LVIF_TEXT | (c == 0 ? LVIF_IMAGE : 0);
            request.State = ItemState(row, LVIS_SELECTED | LVIS_FOCUSED | LVIS_CUT | LVIS_DROPHILITED);
            buffer[0] = '\0';
            request.Text = buffer.data();
            request.TextMax = LVCellTextMax;
            Guarded([&] { GetDispInfo(request); });
            answer.Texts.emplace_back(buffer.data());
            if (c == 0) answer.Image = request.Image;
        }
        it = cache.emplace(row, std::move(answer)).first;
    }
    return it->second.Texts[static_cast<size_t>(column)];
}

QWidget* TListView::HeaderWidget() const {
    return FImpl->Header->viewport();
}

QWidget* TListView::RowsWidget() const {
    return FImpl->Table->viewport();
}

std::string TListView::ColumnTitle(int index) const {
    return index >= 0 && index < FColumns.Count() ? FColumns[index]->Caption() : std::string();
}

void TListView::SetColumnTitle(int index, const std::string& value) {
    if (index >= 0 && index < FColumns.Count()) FColumns[index]->SetCaption(value);
}

void TListView::ColumnsChanged() {
    auto& impl = *FImpl;
    impl.Cache.clear();
    if (FColumns.Count() > 0) emit impl.Model->headerDataChanged(Qt::Horizontal, 0, FColumns.Count() - 1);
    impl.Header->viewport()->update();
    impl.Table->viewport()->update();
}

void TListView::ItemsReset() {
    FImpl->Cache.clear();
    FImpl->ExtraStates.clear();
    FImpl->Model->Reset();
}

void TListView::RowChanged(int index) {
    if (index < 0 || FItems.FUpdateCount > 0) return;
    FImpl->Cache.erase(index);
    FImpl->Model->RowChanged(index);
}

void TListView::RowsInserted(int first, int last) {
    FImpl->Model->InsertRows(first, last);
}

void TListView::RowsRemoved(int first, int last) {
    FImpl->Model->RemoveRows(first, last);
}

// ---- Locale ----

TLocaleDateFormat UserDateFormat() {
    TLocaleDateFormat format;
    const QString pattern = QLocale::system().dateFormat(QLocale::ShortFormat);
    format.ShortDateFormat = FromQ(pattern);
    for (const QChar c : pattern)
        if (!c.isLetter()) {
            format.DateSeparator = static_cast<char>(c.toLatin1());
            break;
        }
    const QString time = QLocale::system().timeFormat(QLocale::ShortFormat);
    for (const QChar c : time)
        if (!c.isLetter() && c != ' ') {
            format.TimeSeparator = static_cast<char>(c.toLatin1());
            break;
        }
    return format;
}

int LocaleCompareText(const std::string& a, const std::string& b) {
    static const QCollator collator = [] {
        QCollator c(QLocale::system());
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(false);
        return c;
    }();
    const QString qa = ToQ(a), qb = ToQ(b);
    int r = collator.compare(qa, qb);
    if (r == 0) r = QString::compare(qb, qa, Qt::CaseSensitive); // lower case first, as the locale's rules put it
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

// ---- Caption editing ----

std::string TListView::StandardCellText(const TListItem* item, int /*row*/, int column) {
    if (column == 0) return item->Caption();
    const auto& subs = item->SubItems();
    return static_cast<size_t>(column - 1) < subs.size() ? subs[static_cast<size_t>(column - 1)] : std::string();
}

void TListView::Edited(int index, std::string text) {
    if (TListItem* item = FItems.Item(index)) item->SetCaption(text);
}

bool TListView::EditCaption(int index) {
    if (FOwnerData || index < 0 || index >= RowCount() || !CanEdit(index)) return false;
    auto* table = FImpl->Table;
    const QModelIndex cell = FImpl->Model->index(index, 0);
    table->scrollTo(cell);
    table->setCurrentIndex(cell);
    table->edit(cell);
    return IsEditing();
}

bool TListView::IsEditing() const {
    return static_cast<ListViewTable*>(FImpl->Table)->Editing();
}

QWidget* TListView::EditorWidget() const {
    if (!IsEditing()) return nullptr;
    const auto edits = FImpl->Table->viewport()->findChildren<QLineEdit*>();
    for (QLineEdit* edit : edits)
        if (edit->isVisible()) return edit;
    return edits.isEmpty() ? nullptr : edits.front();
}

void TListView::EndEditing(bool keep) {
    QWidget* editor = EditorWidget();
    if (!editor) return;
    QKeyEvent press(QEvent::KeyPress, keep ? Qt::Key_Return : Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(editor, &press);
}

int TListView::GetItemAt(int x, int y) const {
    const QModelIndex index = FImpl->Table->indexAt(QPoint(x, y));
    return index.isValid() ? index.row() : -1;
}

} // namespace mv
