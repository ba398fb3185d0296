#include "platform/ui/OwnerDrawCombo.h"

#include "platform/ui/Form.h"
#include "platform/ui/QtBridge.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QTimer>

namespace mv {

class OwnerDrawComboDelegate : public QStyledItemDelegate {
public:
    OwnerDrawComboDelegate(TOwnerDrawComboBox* control, QObject* parent) : QStyledItemDelegate(parent), FControl(control) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        auto& canvas = FControl->Canvas().Data();
        canvas.Painter = painter;
        TComboDrawState state = (option.state & QStyle::State_Selected) ? odsSelected : 0;
        const QRect r = option.rect;
        Guarded([&] { FControl->PaintItem(index.row(), Rect(r.left(), r.top(), r.right() + 1, r.bottom() + 1), state); });
        canvas.Painter = nullptr;
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(option.rect.width(), FControl->ItemHeight());
    }

private:
    TOwnerDrawComboBox* FControl;
};

class OwnerDrawComboWidget : public QComboBox {
public:
    explicit OwnerDrawComboWidget(TOwnerDrawComboBox* control) : FControl(control) {}
    void hidePopup() override {
        const bool wasOpen = view()->isVisible();
        QComboBox::hidePopup();
        if (!wasOpen) return;
        FControl->FActivated = false;
        // Qt reports the chosen row after the list closes: decide once it has.
        QTimer::singleShot(0, this, [this] {
            Guarded([this] {
                if (!FControl->FActivated) FControl->DoSelEndCancel();
                FControl->DoCloseUp();
            });
        });
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QStyleOptionComboBox opt;
        initStyleOption(&opt);
        opt.currentText.clear();
        opt.currentIcon = QIcon();
        style()->drawComplexControl(QStyle::CC_ComboBox, &opt, &painter, this);
        const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
        auto& canvas = FControl->Canvas().Data();
        canvas.Painter = &painter;
        TComboDrawState state = odsComboBoxEdit | (hasFocus() ? odsSelected : 0);
        Guarded([&] {
            FControl->PaintItem(currentIndex(),
                                Rect(field.left(), field.top(), field.right() + 1, field.bottom() + 1), state);
        });
        canvas.Painter = nullptr;
    }
    void keyPressEvent(QKeyEvent* e) override {
        // The extended interface: the arrow keys open the list rather than move the choice.
        if (FControl->ExtendedUI() && !view()->isVisible() && !(e->modifiers() & Qt::AltModifier) &&
            (e->key() == Qt::Key_Down || e->key() == Qt::Key_Up)) {
            showPopup();
            return;
        }
        QComboBox::keyPressEvent(e);
    }

private:
    TOwnerDrawComboBox* FControl;
};

TOwnerDrawComboBox::TOwnerDrawComboBox(TComponent* owner) : TWinControl(owner), FCanvas(std::make_unique<TCanvas>()) {
    auto* combo = new OwnerDrawComboWidget(this);
    combo->setEditable(false);
    combo->setItemDelegate(new OwnerDrawComboDelegate(this, combo));
    combo->setMaxVisibleItems(FDropDownCount);
    AttachWidget(combo);
    SetTabStop(true);
    SetBounds(0, 0, 145, 22);
    QObject::connect(combo, qOverload<int>(&QComboBox::activated), combo, [this](int) {
        FActivated = true;
        Guarded([this] { DoSelEndOk(); });
    });
    QObject::connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), combo, [this](int) {
        Guarded([this] {
            if (OnChange) OnChange(this);
        });
    });
}

TOwnerDrawComboBox::~TOwnerDrawComboBox() {
    // Every item's data goes through DoDeleteItem before the window goes; a derived
    // class clears its items in its own destructor, when its DoDeleteItem still runs.
    FData.clear();
}

int TOwnerDrawComboBox::AddItem(const std::string& text, void* data) {
    auto* combo = static_cast<QComboBox*>(Widget());
    FData.push_back(data);
    combo->addItem(ToQ(text));
    return Count() - 1;
}

void TOwnerDrawComboBox::DeleteItem(int index) {
    if (index < 0 || index >= Count()) return;
    void* data = FData[static_cast<size_t>(index)];
    FData.erase(FData.begin() + index);
    static_cast<QComboBox*>(Widget())->removeItem(index);
    if (data) DoDeleteItem(data);
}

void TOwnerDrawComboBox::ClearItems() {
    while (Count() > 0) DeleteItem(Count() - 1);
}

void* TOwnerDrawComboBox::ItemData(int index) const {
    return index >= 0 && index < Count() ? FData[static_cast<size_t>(index)] : nullptr;
}

std::string TOwnerDrawComboBox::ItemText(int index) const {
    return FromQ(static_cast<QComboBox*>(Widget())->itemText(index));
}

int TOwnerDrawComboBox::ItemIndex() const { return static_cast<QComboBox*>(Widget())->currentIndex(); }

void TOwnerDrawComboBox::SetItemIndex(int value) {
    static_cast<QComboBox*>(Widget())->setCurrentIndex(value >= 0 && value < Count() ? value : -1);
}

void TOwnerDrawComboBox::SetItemHeight(int value) {
    if (value <= 0 || value == FItemHeight) return;
    FItemHeight = value;
    auto* combo = static_cast<QComboBox*>(Widget());
    combo->view()->doItemsLayout();
    combo->update();
}

void TOwnerDrawComboBox::SetDropDownCount(int value) {
    FDropDownCount = value;
    static_cast<QComboBox*>(Widget())->setMaxVisibleItems(value);
}

bool TOwnerDrawComboBox::DroppedDown() const { return static_cast<QComboBox*>(Widget())->view()->isVisible(); }

void TOwnerDrawComboBox::SetDroppedDown(bool value) {
    auto* combo = static_cast<QComboBox*>(Widget());
    if (value) combo->showPopup();
    else combo->hidePopup();
}

TColor TOwnerDrawComboBox::BackgroundColor() const {
    for (TComponent* o = Owner(); o; o = o->Owner())
        if (auto* form = dynamic_cast<TForm*>(o)) return form->Color();
    return clWindow;
}

void TOwnerDrawComboBox::PaintItem(int index, const TRect& rect, TComboDrawState state) {
    TCanvas& canvas = Canvas();
    canvas.Font().Assign(Font());
    canvas.SetBrushStyle(TBrushStyle::bsSolid);
    canvas.SetBrushColor(Color());
    if (index >= 0 && (state & odsSelected)) {
        canvas.SetBrushColor(clHighlight);
        canvas.Font().SetColor(clHighlightText);
    }
    if (index < 0) {
        canvas.FillRect(rect);
        return;
    }
    DrawItem(index, rect, state);
}

void TOwnerDrawComboBox::DrawItem(int index, const TRect& rect, TComboDrawState) {
    Canvas().FillRect(rect);
    Canvas().TextOut(rect.Left + 2, rect.Top + 1, ItemText(index));
}

void TOwnerDrawComboBox::PaintItemTo(TBitmap& bitmap, int index, TComboDrawState state) {
    TCanvas& saved = Canvas();
    (void)saved;
    QImage& image = bitmap.Data().Image;
    QPainter painter(&image);
    auto& canvas = Canvas().Data();
    canvas.Painter = &painter;
    Guarded([&] { PaintItem(index, Rect(0, 0, bitmap.Width(), bitmap.Height()), state); });
    canvas.Painter = nullptr;
}

bool TOwnerDrawComboBox::SaveDroppedDownImage(const std::string& pngPath) {
    auto* combo = static_cast<QComboBox*>(Widget());
    QWidget* popup = combo->view()->window();
    QImage field = combo->grab().toImage();
    QImage list = popup && popup->isVisible() ? popup->grab().toImage() : QImage();
    QImage out(std::max(field.width(), list.width()), field.height() + list.height(), QImage::Format_ARGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawImage(0, 0, field);
    if (!list.isNull()) p.drawImage(0, field.height(), list);
    p.end();
    return out.save(ToQ(pngPath), "PNG");
}

} // namespace mv
