#include "platform/ui/TreeView.h"

#include "platform/ui/Drawing.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/QtBridge.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QShowEvent>
#include <QWheelEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <algorithm>

namespace mv {

// ---- The Qt objects behind the control ----

class TreeViewModel : public QAbstractItemModel {
public:
    explicit TreeViewModel(TTreeView* view) : View(view) {}
    TTreeView* View;

    static TTreeNode* NodeOf(const QModelIndex& index) {
        return index.isValid() ? static_cast<TTreeNode*>(index.internalPointer()) : nullptr;
    }
    QModelIndex IndexOf(const TTreeNode* node) const {
        if (!node) return {};
        return createIndex(node->Index(), 0, const_cast<TTreeNode*>(node));
    }
    const std::vector<std::unique_ptr<TTreeNode>>& ChildrenOf(const QModelIndex& parent) const {
        static const std::vector<std::unique_ptr<TTreeNode>> none;
        TTreeNode* node = NodeOf(parent);
        if (!View) return none;
        return node ? node->FChildren : View->FItems.FTop;
    }
    QModelIndex index(int row, int column, const QModelIndex& parent) const override {
        if (!View || column != 0 || row < 0) return {};
        const auto& children = ChildrenOf(parent);
        if (row >= static_cast<int>(children.size())) return {};
        return createIndex(row, 0, children[static_cast<size_t>(row)].get());
    }
    QModelIndex parent(const QModelIndex& child) const override {
        if (!View) return {};
        TTreeNode* node = NodeOf(child);
        return node ? IndexOf(node->Parent()) : QModelIndex();
    }
    int rowCount(const QModelIndex& parent) const override {
        if (!View || parent.column() > 0) return 0;
        return static_cast<int>(ChildrenOf(parent).size());
    }
    int columnCount(const QModelIndex&) const override { return 1; }
    bool hasChildren(const QModelIndex& parent) const override {
        if (!View) return false;
        TTreeNode* node = NodeOf(parent);
        return node ? node->HasChildren() : !View->FItems.FTop.empty();
    }
    bool canFetchMore(const QModelIndex& parent) const override {
        if (!View) return false;
        TTreeNode* node = NodeOf(parent);
        return node && node->FHasChildren && node->FChildren.empty() && !Fetching;
    }
    void fetchMore(const QModelIndex& parent) override {
        TTreeNode* node = NodeOf(parent);
        if (!View || !node || Fetching) return;
        Fetching = true;
        Guarded([&] { View->CanExpand(node); });
        Fetching = false;
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid()) return Qt::NoItemFlags;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        TTreeNode* node = NodeOf(index);
        if (!View || !node) return {};
        if (role == Qt::DisplayRole || role == Qt::EditRole) return ToQ(node->Text());
        return {};
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        TTreeNode* node = NodeOf(index);
        if (!View || !node || role != Qt::EditRole) return false;
        Guarded([&] { View->Edit(node, FromQ(value.toString())); });
        return true;
    }
    void Changed(TTreeNode* node) {
        const QModelIndex i = IndexOf(node);
        emit dataChanged(i, i);
    }
    bool Fetching = false;
    using QAbstractItemModel::beginInsertRows;
    using QAbstractItemModel::beginRemoveRows;
    using QAbstractItemModel::beginResetModel;
    using QAbstractItemModel::changePersistentIndex;
    using QAbstractItemModel::endInsertRows;
    using QAbstractItemModel::endRemoveRows;
    using QAbstractItemModel::endResetModel;
    using QAbstractItemModel::persistentIndexList;
};

struct TTreeView::Impl {
    class TreeViewWidget* Tree = nullptr;
    TreeViewModel* Model = nullptr;
    TCanvas PaintCanvas;
    bool NotifyItems = false; // the pre-paint answer asked for item notifications
    bool RightShown = false;
    QPoint PressAt;
    Qt::MouseButton PressButton = Qt::NoButton;
    TTreeNode* PressNode = nullptr;
    bool DragStarted = false;
    bool Selecting = false;
};

class TreeViewWidget : public QTreeView {
public:
    explicit TreeViewWidget(TTreeView* view) : View(view) {}
    TTreeView* View;
    bool Editing() const { return state() == QAbstractItemView::EditingState; }

protected:
    // A node selected before the tree had its size was scrolled to against a
    // viewport of the wrong height; until the user scrolls, the selection is
    // brought into view again when the tree is shown or resized.
    bool RevealSelection = true;
    void RevealCurrent() {
        if (RevealSelection && currentIndex().isValid()) scrollTo(currentIndex());
    }
    void showEvent(QShowEvent* event) override {
        QTreeView::showEvent(event);
        RevealCurrent();
    }
    void resizeEvent(QResizeEvent* event) override {
        QTreeView::resizeEvent(event);
        RevealCurrent();
    }
    void wheelEvent(QWheelEvent* event) override {
        RevealSelection = false;
        QTreeView::wheelEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        RevealSelection = false;
        QTreeView::keyPressEvent(event);
    }
    void paintEvent(QPaintEvent* event) override {
        if (!View) return;
        auto& impl = *View->FImpl;
        TCustomDrawInfo info;
        info.DrawStage = CDDS_PREPAINT;
        info.CurrentFont.Assign(View->Font());
        info.TextColor = View->Font().Color();
        info.TextBkColor = View->Color();
        info.Rect = Rect(0, 0, viewport()->width(), viewport()->height());
        uint32_t answer = CDRF_DODEFAULT;
        Guarded([&] { answer = View->CustomDraw(info); });
        impl.NotifyItems = (answer & CDRF_NOTIFYITEMDRAW) != 0;
        QTreeView::paintEvent(event);
    }
    void mousePressEvent(QMouseEvent* event) override {
        RevealSelection = false;
        if (!View) return;
        auto& impl = *View->FImpl;
        const QPoint at = event->position().toPoint();
        impl.PressAt = at;
        impl.PressButton = event->button();
        impl.PressNode = View->GetNodeAt(at.x(), at.y());
        impl.DragStarted = false;
        if (event->button() == Qt::LeftButton) Guarded([&] { View->NodeClick(Point(at.x(), at.y())); });
        if (event->button() == Qt::RightButton) {
            // A right click does not move the selection; it shows the node's menu.
            Guarded([&] { View->RightClick(Point(at.x(), at.y())); });
            return;
        }
        QTreeView::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!View) return;
        auto& impl = *View->FImpl;
        if (impl.PressNode && !impl.DragStarted && event->buttons() != Qt::NoButton &&
            (event->position().toPoint() - impl.PressAt).manhattanLength() >= QApplication::startDragDistance()) {
            impl.DragStarted = true;
            TTreeNode* node = impl.PressNode;
            const TMouseButton button =
                impl.PressButton == Qt::RightButton ? TMouseButton::mbRight : TMouseButton::mbLeft;
            Guarded([&] { View->BeginDrag(node, button); });
            return;
        }
        if (impl.DragStarted) return;
        QTreeView::mouseMoveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (!View) return;
        auto& impl = *View->FImpl;
        impl.PressNode = nullptr;
        if (event->button() == Qt::RightButton) {
            const QPoint at = event->position().toPoint();
            Guarded([&] { View->RightButtonUp(Point(at.x(), at.y())); });
            return;
        }
        QTreeView::mouseReleaseEvent(event);
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        if (!View) return;
        const bool keyboard = event->reason() == QContextMenuEvent::Keyboard;
        const QPoint at = viewport()->mapFromGlobal(event->globalPos());
        Guarded([&] { View->ContextMenu(keyboard ? Point(-1, -1) : Point(at.x(), at.y()), keyboard); });
    }
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        QTreeView::currentChanged(current, previous);
        if (View) View->SelectionMoved(TreeViewModel::NodeOf(current));
    }
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override {
        QTreeView::closeEditor(editor, hint);
        if (View) Guarded([&] { View->EditingEnded(); });
    }
};

// Draws a node: its image (the selected one when selected) with its overlay, and the
// caption, after asking the control when it wanted item notifications.
class TreeViewDelegate : public QStyledItemDelegate {
public:
    explicit TreeViewDelegate(TTreeView* view) : View(view) {}
    TTreeView* View;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        TTreeNode* node = TreeViewModel::NodeOf(index);
        if (!View || !node) return;
        auto& impl = *View->FImpl;
        TCanvas& canvas = impl.PaintCanvas;
        canvas.Data().Painter = painter;
        const QRect q = option.rect;
        const TRect row = Rect(q.left(), q.top(), q.right() + 1, q.bottom() + 1);
        const bool selected = node == View->Selected();
        const bool focused = impl.Tree->hasFocus();
        TCustomDrawInfo info;
        info.DrawStage = CDDS_ITEMPREPAINT;
        info.Canvas = &canvas;
        info.Rect = row;
        info.ItemSpec = reinterpret_cast<intptr_t>(node);
        info.ItemState = (selected ? CDIS_SELECTED : 0) | (selected && focused ? CDIS_FOCUS : 0);
        info.CurrentFont.Assign(View->Font());
        const bool highlight = (selected && (focused || !View->HideSelection())) || node->DropTarget();
        info.TextColor = highlight ? (focused || node->DropTarget() ? clHighlightText : clBtnText) : clWindowText;
        info.TextBkColor = highlight ? (focused || node->DropTarget() ? clHighlight : clBtnFace) : View->Color();
        if (impl.NotifyItems) {
            uint32_t answer = CDRF_DODEFAULT;
            Guarded([&] { answer = View->CustomDraw(info); });
            if (answer & CDRF_SKIPDEFAULT) {
                canvas.Data().Painter = nullptr;
                return;
            }
        }
        canvas.Font().Assign(info.CurrentFont);
        int x = row.Left;
        if (TImageList* images = View->Images()) {
            if (selected) Guarded([&] { View->GetSelectedIndex(node); });
            else Guarded([&] { View->GetImageIndex(node); });
            const int image = selected ? node->SelectedIndex() : node->ImageIndex();
            const int y = row.Top + (row.Height() - images->Height()) / 2;
            if (node->OverlayIndex() >= 0)
                images->DrawOverlay(canvas, x + 1, y, image, node->OverlayIndex() + 1, !node->Cut());
            else
                images->Draw(canvas, x + 1, y, image, !node->Cut());
            x += images->Width() + 3;
        }
        TRect text = Rect(x, row.Top, x + canvas.TextWidth(node->Text()) + 4, row.Bottom);
        if (highlight) {
            canvas.SetBrushStyle(TBrushStyle::bsSolid);
            canvas.SetBrushColor(info.TextBkColor);
            canvas.FillRect(text);
        }
        canvas.SetBrushStyle(TBrushStyle::bsClear);
        canvas.Font().SetColor(node->Cut() && !highlight ? clGrayText : info.TextColor);
        TRect inner = text;
        inner.Left += 2;
        DrawText(canvas, node->Text(), inner, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
        if (selected && focused) canvas.DrawFocusRect(text);
        canvas.Data().Painter = nullptr;
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const int images = View && View->Images() ? View->Images()->Height() + 2 : 0;
        size.setHeight(std::max(size.height(), images));
        TTreeNode* node = TreeViewModel::NodeOf(index);
        if (node && View) {
            const QFontMetrics metrics(ToQFont(View->Font()));
            size.setWidth(metrics.horizontalAdvance(ToQ(node->Text())) + 8 +
                          (View->Images() ? View->Images()->Width() + 3 : 0));
        }
        return size;
    }
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override {
        QRect r = option.rect;
        if (View && View->Images()) r.setLeft(r.left() + View->Images()->Width() + 3);
        editor->setGeometry(r);
    }
};

// ---- TTreeNode ----

TTreeNode::~TTreeNode() = default;

void TTreeNode::SetText(const std::string& value) {
    FText = value;
    FView->NodeChanged(this);
}

void TTreeNode::SetImageIndex(int value) {
    FImageIndex = value;
    FView->NodeChanged(this);
}

void TTreeNode::SetSelectedIndex(int value) {
    FSelectedIndex = value;
    FView->NodeChanged(this);
}

void TTreeNode::SetOverlayIndex(int value) {
    FOverlayIndex = value;
    FView->NodeChanged(this);
}

void TTreeNode::SetCut(bool value) {
    FCut = value;
    FView->NodeChanged(this);
}

void TTreeNode::SetHasChildren(bool value) {
    if (FHasChildren == value) return;
    FHasChildren = value;
    FView->NodeChanged(this);
    // Qt asks once whether a row has children; tell it again (once per update).
    if (!value && FChildren.empty() && FExpanded) Collapse(false);
    if (FView->FItems.FUpdateCount > 0) {
        FView->FItems.FLayoutPending = true;
        return;
    }
    FView->FImpl->Tree->viewport()->update();
    emit FView->FImpl->Model->layoutChanged();
}

int TTreeNode::Index() const {
    const auto& siblings = FParent ? FParent->FChildren : FView->FItems.FTop;
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this) return static_cast<int>(i);
    return -1;
}

int TTreeNode::Level() const {
    int level = 0;
    for (TTreeNode* p = FParent; p; p = p->FParent) ++level;
    return level;
}

int TTreeNode::AbsoluteIndex() const {
    int index = 0;
    for (TTreeNode* n = FView->FItems.GetFirstNode(); n; n = n->GetNext(), ++index)
        if (n == this) return index;
    return -1;
}

TTreeNode* TTreeNode::GetNextSibling() const {
    const auto& siblings = FParent ? FParent->FChildren : FView->FItems.FTop;
    const int i = Index();
    return i >= 0 && i + 1 < static_cast<int>(siblings.size()) ? siblings[static_cast<size_t>(i) + 1].get() : nullptr;
}

TTreeNode* TTreeNode::GetNext() const {
    if (!FChildren.empty()) return FChildren.front().get();
    for (const TTreeNode* n = this; n; n = n->FParent)
        if (TTreeNode* sibling = n->GetNextSibling()) return sibling;
    return nullptr;
}

bool TTreeNode::HasAsParent(const TTreeNode* node) const {
    for (TTreeNode* p = FParent; p; p = p->FParent)
        if (p == node) return true;
    return false;
}

void TTreeNode::Expand(bool recurse) {
    auto& impl = *FView->FImpl;
    if (!FExpanded) {
        bool allowed = true;
        impl.Model->Fetching = true;
        allowed = FView->CanExpand(this);
        impl.Model->Fetching = false;
        if (allowed && !FChildren.empty()) {
            FExpanded = true;
            impl.Tree->expand(impl.Model->IndexOf(this));
            FView->Expanded(this);
        }
    }
    if (recurse)
        for (size_t i = 0; i < FChildren.size(); ++i) FChildren[i]->Expand(true);
}

void TTreeNode::Collapse(bool recurse) {
    auto& impl = *FView->FImpl;
    if (FExpanded) {
        FExpanded = false;
        impl.Tree->collapse(impl.Model->IndexOf(this));
    }
    if (recurse)
        for (auto& child : FChildren) child->Collapse(true);
}

bool TTreeNode::Selected() const {
    return FView->Selected() == this;
}

bool TTreeNode::DropTarget() const {
    return FView->FDropTarget == this;
}

void TTreeNode::SetDropTarget(bool value) {
    TTreeNode* old = FView->FDropTarget;
    if (value) FView->FDropTarget = this;
    else if (old == this) FView->FDropTarget = nullptr;
    if (old && old != FView->FDropTarget) FView->NodeChanged(old);
    FView->NodeChanged(this);
}

void TTreeNode::MakeVisible() {
    auto& impl = *FView->FImpl;
    for (TTreeNode* p = FParent; p; p = p->FParent)
        if (!p->FExpanded) p->Expand(false);
    impl.Tree->scrollTo(impl.Model->IndexOf(this));
}

bool TTreeNode::EditText() {
    auto& impl = *FView->FImpl;
    if (FView->ReadOnly() || !FView->CanEdit(this)) return false;
    const QModelIndex index = impl.Model->IndexOf(this);
    impl.Tree->scrollTo(index);
    impl.Tree->edit(index);
    return FView->IsEditing();
}

void TTreeNode::Delete() {
    FView->DeleteNode(this);
}

void TTreeNode::DeleteChildren() {
    while (!FChildren.empty()) FChildren.back()->Delete();
    FExpanded = false;
}

void TTreeNode::CustomSort(const std::function<int(TTreeNode*, TTreeNode*)>& compare) {
    if (FChildren.size() < 2) return;
    auto& impl = *FView->FImpl;
    const QModelIndex parent = impl.Model->IndexOf(this);
    emit impl.Model->layoutAboutToBeChanged({QPersistentModelIndex(parent)});
    std::stable_sort(FChildren.begin(), FChildren.end(),
                     [&](const std::unique_ptr<TTreeNode>& a, const std::unique_ptr<TTreeNode>& b) {
                         return compare(a.get(), b.get()) < 0;
                     });
    const QModelIndexList persistent = impl.Model->persistentIndexList();
    for (const QModelIndex& old : persistent) {
        TTreeNode* node = TreeViewModel::NodeOf(old);
        if (node && node->FParent == this) impl.Model->changePersistentIndex(old, impl.Model->IndexOf(node));
    }
    emit impl.Model->layoutChanged({QPersistentModelIndex(parent)});
}

TRect TTreeNode::DisplayRect(bool textOnly) const {
    auto& impl = *FView->FImpl;
    const QRect r = impl.Tree->visualRect(impl.Model->IndexOf(this));
    if (!r.isValid()) return {};
    TRect rect = Rect(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
    if (textOnly) {
        if (FView->Images()) rect.Left += FView->Images()->Width() + 3;
        const QFontMetrics metrics(ToQFont(FView->Font()));
        rect.Right = rect.Left + metrics.horizontalAdvance(ToQ(FText)) + 4;
    }
    return rect;
}

// ---- TTreeNodes ----

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const std::string& text) {
    auto& children = ChildrenOf(parent);
    auto& impl = *FView->FImpl;
    const int row = static_cast<int>(children.size());
    impl.Model->beginInsertRows(impl.Model->IndexOf(parent), row, row);
    children.push_back(std::unique_ptr<TTreeNode>(new TTreeNode(FView, parent)));
    children.back()->FText = text;
    impl.Model->endInsertRows();
    return children.back().get();
}

void TTreeNodes::Clear() {
    FView->FClearing = true;
    while (!FTop.empty()) FTop.back()->Delete();
    FView->FClearing = false;
}

int TTreeNodes::Count() const {
    int count = 0;
    for (TTreeNode* n = GetFirstNode(); n; n = n->GetNext()) ++count;
    return count;
}

TTreeNode* TTreeNodes::Item(int absoluteIndex) const {
    int index = 0;
    for (TTreeNode* n = GetFirstNode(); n; n = n->GetNext(), ++index)
        if (index == absoluteIndex) return n;
    return nullptr;
}

TTreeNode* TTreeNodes::GetFirstNode() const {
    return FTop.empty() ? nullptr : FTop.front().get();
}

void TTreeNodes::BeginUpdate() {
    if (FUpdateCount++ == 0) FView->FImpl->Tree->setUpdatesEnabled(false);
}

void TTreeNodes::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) {
        if (FLayoutPending) {
            FLayoutPending = false;
            emit FView->FImpl->Model->layoutChanged();
        }
        FView->FImpl->Tree->setUpdatesEnabled(true);
    }
}

// ---- TTreeView ----

TTreeView::TTreeView(TComponent* owner) : TWinControl(owner), FImpl(std::make_unique<Impl>()), FItems(this) {
    auto* tree = new TreeViewWidget(this);
    FImpl->Tree = tree;
    FImpl->Model = new TreeViewModel(this);
    FImpl->Model->setParent(tree);
    tree->setModel(FImpl->Model);
    tree->setItemDelegate(new TreeViewDelegate(this));
    // The view does not own its delegate: the widget does, so that both go together.
    tree->itemDelegate()->setParent(tree);
    tree->header()->hide();
    tree->setUniformRowHeights(true);
    tree->setRootIsDecorated(true);
    tree->setIndentation(19);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selected node is the current one; the delegate highlights its caption alone.
    // A node selected in the widget's own terms would also get the highlight painted
    // over its indentation and expand button, left of the caption.
    tree->setSelectionMode(QAbstractItemView::NoSelection);
    tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree->header()->setStretchLastSection(false);
    tree->setExpandsOnDoubleClick(true);
    tree->setAnimated(false);
    tree->setPalette(ItemViewPalette(tree->palette()));
    AttachWidget(tree);
    SetColor(clWindow);
    SetTabStop(true);
    SetBounds(0, 0, 121, 97);
    QObject::connect(tree, &QTreeView::expanded, tree, [this](const QModelIndex& index) {
        if (TTreeNode* node = TreeViewModel::NodeOf(index)) {
            if (node->FExpanded) return;
            node->FExpanded = true;
            Guarded([&] { Expanded(node); });
        }
    });
    QObject::connect(tree, &QTreeView::collapsed, tree, [](const QModelIndex& index) {
        if (TTreeNode* node = TreeViewModel::NodeOf(index)) node->FExpanded = false;
    });
}

TTreeView::~TTreeView() {
    BeginDestruction();
    FClearing = true;
    // Nodes go first, while the control can still tell its descendants of each.
    while (!FItems.FTop.empty()) FItems.FTop.back()->Delete();
    if (FImpl->Model) FImpl->Model->View = nullptr;
    FImpl->Tree->View = nullptr;
    if (auto* delegate = dynamic_cast<TreeViewDelegate*>(FImpl->Tree->itemDelegate())) delegate->View = nullptr;
}

void TTreeView::SetSelected(TTreeNode* node) {
    auto& impl = *FImpl;
    if (node) {
        const QModelIndex index = impl.Model->IndexOf(node);
        impl.Tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    } else {
        impl.Tree->selectionModel()->clearCurrentIndex();
        impl.Tree->selectionModel()->clearSelection();
        if (FSelected) SelectionMoved(nullptr);
    }
}

void TTreeView::SelectionMoved(TTreeNode* node) {
    if (node == FSelected) return;
    TTreeNode* old = FSelected;
    FSelected = node;
    if (old) NodeChanged(old);
    if (Destroying()) return;
    Guarded([&] { Change(node); });
}

void TTreeView::SetImages(TImageList* value) {
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = value;
    if (FImages) FImages->FreeNotification(this);
    FImpl->Tree->doItemsLayout();
}

void TTreeView::SetShowRoot(bool value) {
    FShowRoot = value;
    FImpl->Tree->setRootIsDecorated(value);
}

void TTreeView::SetHideSelection(bool value) {
    FHideSelection = value;
    FImpl->Tree->viewport()->update();
}

bool TTreeView::IsEditing() const {
    return FImpl->Tree->Editing();
}

void TTreeView::EndEditing(bool keep) {
    QWidget* editor = EditorWidget();
    if (!editor) return;
    QKeyEvent press(QEvent::KeyPress, keep ? Qt::Key_Return : Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(editor, &press);
}

TTreeNode* TTreeView::GetNodeAt(int x, int y) const {
    return TreeViewModel::NodeOf(FImpl->Tree->indexAt(QPoint(x, y)));
}

void TTreeView::ScrollBy(int dx, int dy) {
    auto* tree = FImpl->Tree;
    if (dx) tree->horizontalScrollBar()->setValue(tree->horizontalScrollBar()->value() + dx);
    if (dy) tree->verticalScrollBar()->setValue(tree->verticalScrollBar()->value() + dy);
}

void TTreeView::UpdateItems() {
    FImpl->Tree->viewport()->update();
}

QWidget* TTreeView::RowsWidget() const {
    return FImpl->Tree->viewport();
}

QWidget* TTreeView::EditorWidget() const {
    if (!IsEditing()) return nullptr;
    for (QLineEdit* edit : FImpl->Tree->viewport()->findChildren<QLineEdit*>())
        if (edit->isVisible()) return edit;
    const auto edits = FImpl->Tree->findChildren<QLineEdit*>();
    return edits.isEmpty() ? nullptr : edits.front();
}

bool TTreeView::CanExpand(TTreeNode* node) {
    bool allow = true;
    if (OnExpanding) OnExpanding(this, node, allow);
    return allow;
}

void TTreeView::Expanded(TTreeNode* node) {
    if (OnExpanded) OnExpanded(this, node);
}

void TTreeView::Change(TTreeNode* node) {
    if (OnChange) OnChange(this, node);
}

bool TTreeView::CanEdit(TTreeNode* node) {
    bool allow = !FReadOnly;
    if (OnEditing) OnEditing(this, node, allow);
    return allow;
}

void TTreeView::Edit(TTreeNode* node, std::string text) {
    if (OnEdited) OnEdited(this, node, text);
    node->SetText(text);
}

void TTreeView::Delete(TTreeNode* node) {
    if (OnDeletion) OnDeletion(this, node);
}

void TTreeView::GetImageIndex(TTreeNode* node) {
    if (OnGetImageIndex) OnGetImageIndex(this, node);
}

void TTreeView::GetSelectedIndex(TTreeNode* node) {
    if (OnGetSelectedIndex) OnGetSelectedIndex(this, node);
}

void TTreeView::FontChanged() {
    TWinControl::FontChanged();
    FImpl->Tree->doItemsLayout();
}

void TTreeView::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FImages) FImages = nullptr;
}

void TTreeView::NodeChanged(TTreeNode* node) {
    if (FClearing || !node || !FImpl->Model->View) return;
    FImpl->Model->Changed(node);
}

void TTreeView::ForgetNode(TTreeNode* node) {
    // Children first, so that each hears of its own deletion while its parent lives.
    for (auto it = node->FChildren.rbegin(); it != node->FChildren.rend(); ++it) ForgetNode(it->get());
    if (FDropTarget == node) FDropTarget = nullptr;
    if (FImpl->PressNode == node) FImpl->PressNode = nullptr;
    Guarded([&] { Delete(node); });
}

void TTreeView::DeleteNode(TTreeNode* node) {
    auto& impl = *FImpl;
    ForgetNode(node);
    auto& siblings = FItems.ChildrenOf(node->FParent);
    const int row = node->Index();
    if (row < 0) return;
    const bool wasSelected = FSelected == node || (FSelected && FSelected->HasAsParent(node));
    if (wasSelected && FClearing) FSelected = nullptr;
    impl.Model->beginRemoveRows(impl.Model->IndexOf(node->FParent), row, row);
    std::unique_ptr<TTreeNode> owned = std::move(siblings[static_cast<size_t>(row)]);
    siblings.erase(siblings.begin() + row);
    impl.Model->endRemoveRows();
    // Qt moves the current row away from removed rows itself; make sure no pointer to
    // the removed node is left behind.
    if (FSelected == owned.get() || (FSelected && FSelected->HasAsParent(owned.get()))) {
        FSelected = nullptr;
        if (!Destroying()) Guarded([&] { Change(TreeViewModel::NodeOf(impl.Tree->currentIndex())); });
    }
}

} // namespace mv
