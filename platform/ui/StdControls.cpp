#include "platform/ui/StdControls.h"

#include "platform/ui/Form.h"
#include "platform/ui/QtBridge.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPaintEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

namespace mv {
namespace {

// A windowed control's widget that paints through a callback.
class PaintedWidget : public QWidget {
public:
    explicit PaintedWidget(std::function<void(QPainter&)> paint) : FPaint(std::move(paint)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        Guarded([&] { FPaint(painter); });
    }

private:
    std::function<void(QPainter&)> FPaint;
};

// Qt shows "&" as the accelerator mark on buttons and tabs just as the captions use it.
QString CaptionToQ(const std::string& caption) {
    return ToQ(caption);
}

int LabelTextFlags(bool wordWrap, TAlignment alignment) {
    int flags = Qt::TextShowMnemonic | Qt::AlignTop;
    if (wordWrap) flags |= Qt::TextWordWrap;
    switch (alignment) {
    case TAlignment::taRightJustify:
        flags |= Qt::AlignRight;
        break;
    case TAlignment::taCenter:
        flags |= Qt::AlignHCenter;
        break;
    default:
        flags |= Qt::AlignLeft;
        break;
    }
    return flags;
}

void DrawEdge(QPainter& p, const QRect& r, bool raised) {
    const QColor light = ToQColor(clBtnHighlight), dark = ToQColor(clBtnShadow);
    p.setPen(raised ? light : dark);
    p.drawLine(r.left(), r.top(), r.right(), r.top());
    p.drawLine(r.left(), r.top(), r.left(), r.bottom());
    p.setPen(raised ? dark : light);
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
}

} // namespace

std::string StripAccelChars(const std::string& caption) {
    std::string out;
    out.reserve(caption.size());
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += caption[i];
    }
    return out;
}

// ---- TItemList ----

void TItemList::SetStrings(int index, const std::string& value) {
    FItems.at(static_cast<size_t>(index)) = value;
    Changed();
}

int TItemList::Add(const std::string& value) {
    FItems.push_back(value);
    Changed();
    return Count() - 1;
}

void TItemList::Insert(int index, const std::string& value) {
    index = std::clamp(index, 0, Count());
    FItems.insert(FItems.begin() + index, value);
    Changed();
}

void TItemList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TItemList::Clear() {
    FItems.clear();
    Changed();
}

int TItemList::IndexOf(const std::string& value) const {
    auto it = std::find(FItems.begin(), FItems.end(), value);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TItemList::Assign(const std::vector<std::string>& values) {
    FItems = values;
    Changed();
}

// ---- TLabel ----

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 65, 13);
    Widget()->setAttribute(Qt::WA_TransparentForMouseEvents, false);
}

void TLabel::SetText(const std::string& value) {
    TControl::SetText(value);
    AdjustSize();
    Invalidate();
}

void TLabel::SetAutoSize(bool value) {
    FAutoSize = value;
    AdjustSize();
}

void TLabel::SetWordWrap(bool value) {
    FWordWrap = value;
    AdjustSize();
    Invalidate();
}

void TLabel::SetAlignment(TAlignment value) {
    FAlignment = value;
    Invalidate();
}

void TLabel::SetTransparent(bool value) {
    FTransparent = value;
    Invalidate();
}

int TLabel::TextExtentWidth() const {
    const QFontMetrics metrics(ToQFont(FFont));
    const QRect r = metrics.boundingRect(QRect(0, 0, 100000, 100000), LabelTextFlags(false, FAlignment),
                                         ToQ(FText.empty() ? std::string(" ") : FText));
    return FText.empty() ? 0 : r.width();
}

int TLabel::TextExtentHeight(int wrapWidth) const {
    const QFontMetrics metrics(ToQFont(FFont));
    const bool wrap = wrapWidth >= 0;
    const QRect r =
        metrics.boundingRect(QRect(0, 0, wrap ? std::max(1, wrapWidth) : 100000, 100000),
                             LabelTextFlags(wrap, FAlignment), ToQ(FText.empty() ? std::string(" ") : FText));
    return std::max(r.height(), metrics.height());
}

void TLabel::AdjustSize() {
    if (!FAutoSize) return;
    if (FWordWrap)
        SetBounds(Left(), Top(), Width(), TextExtentHeight(Width()));
    else
        SetBounds(Left(), Top(), TextExtentWidth(), TextExtentHeight());
}

void TLabel::Paint() {
    TCanvas& canvas = Canvas();
    canvas.Font().Assign(FFont);
    WithPainter(canvas, [&](QPainter& p) {
        // A label takes its parent's colour, as labels sit on dialogs and panels.
        if (!FTransparent)
            p.fillRect(0, 0, Width(), Height(), ToQColor(Parent() ? Parent()->Color() : Color()));
        p.setPen(ToQColor(Enabled() ? FFont.Color() : clGrayText));
        p.drawText(QRect(0, 0, Width(), Height()), LabelTextFlags(FWordWrap, FAlignment), ToQ(FText));
    });
}

// ---- TButton ----

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    auto* button = new QPushButton();
    AttachWidget(button);
    SetTabStop(true);
    SetBounds(0, 0, 75, 25);
    QObject::connect(button, &QPushButton::clicked, button, [this] { Guarded([this] { Click(); }); });
}

void TButton::SetText(const std::string& value) {
    TControl::SetText(value);
    static_cast<QPushButton*>(Widget())->setText(CaptionToQ(value));
}

void TButton::SetDefault(bool value) {
    FDefault = value;
    static_cast<QPushButton*>(Widget())->setDefault(value);
}

void TButton::Click() {
    if (TForm* form = ParentForm(); form && FModalResult != mrNone) form->SetModalResult(FModalResult);
    TControl::Click();
}

// ---- TBitBtn ----

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner) {}

void TBitBtn::GlyphChanged() {
    auto* button = static_cast<QPushButton*>(Widget());
    if (FGlyph.Empty()) {
        button->setIcon(QIcon());
        return;
    }
    button->setIcon(QIcon(QPixmap::fromImage(FGlyph.Data().Image)));
    button->setIconSize(QSize(FGlyph.Width(), FGlyph.Height()));
}

// ---- TSpeedButton ----

TSpeedButton::TSpeedButton(TComponent* owner) : TControl(owner) {
    auto* button = new QToolButton();
    button->setFocusPolicy(Qt::NoFocus);
    AttachWidget(button);
    SetBounds(0, 0, 23, 22);
    QObject::connect(button, &QToolButton::clicked, button, [this] { Guarded([this] { Click(); }); });
}

void TSpeedButton::SetText(const std::string& value) {
    TControl::SetText(value);
    static_cast<QToolButton*>(Widget())->setText(CaptionToQ(value));
}

void TSpeedButton::SetDown(bool value) {
    if (FGroupIndex == 0) value = false;
    if (FDown == value) {
        static_cast<QToolButton*>(Widget())->setChecked(value);
        return;
    }
    if (!value && !FAllowAllUp && FGroupIndex > 0) {
        // The last button of a group that allows no "all up" stays down.
        bool anotherDown = false;
        if (Parent())
            for (int i = 0; i < Parent()->ControlCount(); ++i) {
                auto* other = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
                if (other && other != this && other->FGroupIndex == FGroupIndex && other->FDown)
                    anotherDown = true;
            }
        if (!anotherDown) {
            static_cast<QToolButton*>(Widget())->setChecked(true);
            return;
        }
    }
    FDown = value;
    static_cast<QToolButton*>(Widget())->setChecked(value);
    if (value && Parent())
        for (int i = 0; i < Parent()->ControlCount(); ++i) {
            auto* other = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
            if (other && other != this && other->FGroupIndex == FGroupIndex && other->FDown) {
                other->FDown = false;
                static_cast<QToolButton*>(other->Widget())->setChecked(false);
            }
        }
}

void TSpeedButton::SetGroupIndex(int value) {
    FGroupIndex = value;
    static_cast<QToolButton*>(Widget())->setCheckable(value > 0);
}

void TSpeedButton::SetFlat(bool value) {
    FFlat = value;
    static_cast<QToolButton*>(Widget())->setAutoRaise(value);
}

void TSpeedButton::Click() {
    if (FGroupIndex > 0) SetDown(FAllowAllUp ? !FDown : true);
    TControl::Click();
}

// ---- TEdit ----

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
    auto* edit = new QLineEdit();
    AttachWidget(edit);
    SetTabStop(true);
    SetBounds(0, 0, 121, 21);
    QObject::connect(edit, &QLineEdit::textChanged, edit, [this] {
        Guarded([this] {
            if (OnChange) OnChange(this);
        });
    });
}

std::string TEdit::GetText() const {
    return FromQ(static_cast<QLineEdit*>(Widget())->text());
}

void TEdit::SetText(const std::string& value) {
    static_cast<QLineEdit*>(Widget())->setText(ToQ(value));
}

void TEdit::SetMaxLength(int value) {
    FMaxLength = value;
    static_cast<QLineEdit*>(Widget())->setMaxLength(value > 0 ? value : 32767);
}

void TEdit::SetPasswordChar(char value) {
    FPasswordChar = value;
    static_cast<QLineEdit*>(Widget())->setEchoMode(value ? QLineEdit::Password : QLineEdit::Normal);
}

void TEdit::SetReadOnly(bool value) {
    FReadOnly = value;
    static_cast<QLineEdit*>(Widget())->setReadOnly(value);
}

void TEdit::SelectAll() {
    static_cast<QLineEdit*>(Widget())->selectAll();
}

// ---- TCheckBox, TRadioButton, TGroupBox ----

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
    auto* box = new QCheckBox();
    AttachWidget(box);
    SetTabStop(true);
    SetBounds(0, 0, 97, 17);
    QObject::connect(box, &QCheckBox::clicked, box, [this] { Guarded([this] { TControl::Click(); }); });
}

bool TCheckBox::Checked() const {
    return static_cast<QCheckBox*>(Widget())->isChecked();
}
void TCheckBox::SetChecked(bool value) {
    static_cast<QCheckBox*>(Widget())->setChecked(value);
}
void TCheckBox::SetText(const std::string& value) {
    TControl::SetText(value);
    static_cast<QCheckBox*>(Widget())->setText(CaptionToQ(value));
}

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner) {
    auto* button = new QRadioButton();
    AttachWidget(button);
    SetTabStop(true);
    SetBounds(0, 0, 113, 17);
    QObject::connect(button, &QRadioButton::clicked, button,
                     [this] { Guarded([this] { TControl::Click(); }); });
}

bool TRadioButton::Checked() const {
    return static_cast<QRadioButton*>(Widget())->isChecked();
}
void TRadioButton::SetChecked(bool value) {
    static_cast<QRadioButton*>(Widget())->setChecked(value);
}
void TRadioButton::SetText(const std::string& value) {
    TControl::SetText(value);
    static_cast<QRadioButton*>(Widget())->setText(CaptionToQ(value));
}

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner) {
    AttachWidget(new QGroupBox());
    SetBounds(0, 0, 185, 105);
}

void TGroupBox::SetText(const std::string& value) {
    TControl::SetText(value);
    static_cast<QGroupBox*>(Widget())->setTitle(CaptionToQ(value));
}

// ---- TRadioGroup ----

TRadioGroup::TRadioGroup(TComponent* owner) : TWinControl(owner) {
    AttachWidget(new QGroupBox());
    SetBounds(0, 0, 185, 105);
    FItems.OnChange = [this] { RebuildButtons(); };
}

void TRadioGroup::SetText(const std::string& value) {
    TControl::SetText(value);
    static_cast<QGroupBox*>(Widget())->setTitle(CaptionToQ(value));
}

void TRadioGroup::RebuildButtons() {
    for (void* b : FButtons) delete static_cast<QRadioButton*>(b);
    FButtons.clear();
    for (int i = 0; i < FItems.Count(); ++i) {
        auto* button = new QRadioButton(CaptionToQ(FItems[i]), Widget());
        button->setFont(Widget()->font());
        button->setChecked(i == FItemIndex);
        QObject::connect(button, &QRadioButton::clicked, button, [this, i] {
            Guarded([this, i] {
                FItemIndex = i;
                TControl::Click();
            });
        });
        button->show();
        FButtons.push_back(button);
    }
    if (FItemIndex >= FItems.Count()) FItemIndex = -1;
    ArrangeButtons();
}

void TRadioGroup::ArrangeButtons() {
    if (FButtons.empty()) return;
    const int columns = std::max(1, FColumns);
    const int rows = (static_cast<int>(FButtons.size()) + columns - 1) / columns;
    const int top = 15, left = 8;
    const int columnWidth = (Width() - left * 2) / columns;
    const int rowHeight = std::max(1, (Height() - top - 4) / std::max(1, rows));
    for (size_t i = 0; i < FButtons.size(); ++i) {
        const int column = static_cast<int>(i) / rows, row = static_cast<int>(i) % rows;
        static_cast<QRadioButton*>(FButtons[i])
            ->setGeometry(left + column * columnWidth, top + row * rowHeight, columnWidth,
                          std::min(rowHeight, 20));
    }
}

void TRadioGroup::Resized() {
    TWinControl::Resized();
    ArrangeButtons();
}

void TRadioGroup::SetItemIndex(int value) {
    if (value < -1 || value >= FItems.Count()) value = -1;
    FItemIndex = value;
    for (size_t i = 0; i < FButtons.size(); ++i)
        static_cast<QRadioButton*>(FButtons[i])->setChecked(static_cast<int>(i) == value);
}

void TRadioGroup::SetColumns(int value) {
    FColumns = std::clamp(value, 1, 16);
    ArrangeButtons();
}

// ---- TPanel ----

TPanel::TPanel(TComponent* owner) : TWinControl(owner), FCanvas(std::make_unique<TCanvas>()) {
    AttachWidget(new PaintedWidget([this](QPainter& p) {
        FCanvas->Data().Painter = &p;
        PaintPanel(*FCanvas);
        FCanvas->Data().Painter = nullptr;
    }));
    SetBounds(0, 0, 185, 41);
}

void TPanel::SetText(const std::string& value) {
    TControl::SetText(value);
    Invalidate();
}

void TPanel::SetBevelOuter(TBevelCut value) {
    FBevelOuter = value;
    Invalidate();
}

void TPanel::SetBevelInner(TBevelCut value) {
    FBevelInner = value;
    Invalidate();
}

void TPanel::PaintPanel(TCanvas& canvas) {
    canvas.Font().Assign(FFont);
    WithPainter(canvas, [&](QPainter& p) {
        QRect r(0, 0, Width(), Height());
        p.fillRect(r, ToQColor(Color()));
        if (FBevelOuter != TBevelCut::bvNone) {
            DrawEdge(p, r.adjusted(0, 0, -1, -1), FBevelOuter == TBevelCut::bvRaised);
            r.adjust(1, 1, -1, -1);
        }
        if (FBevelInner != TBevelCut::bvNone)
            DrawEdge(p, r.adjusted(0, 0, -1, -1), FBevelInner == TBevelCut::bvRaised);
        if (!FText.empty()) {
            p.setPen(ToQColor(FFont.Color()));
            p.drawText(QRect(0, 0, Width(), Height()), Qt::AlignCenter | Qt::TextShowMnemonic, ToQ(FText));
        }
    });
}

// ---- TBevel ----

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape value) {
    FShape = value;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle value) {
    FStyle = value;
    Invalidate();
}

void TBevel::Paint() {
    WithPainter(Canvas(), [&](QPainter& p) {
        const QColor first = ToQColor(FStyle == TBevelStyle::bsLowered ? clBtnShadow : clBtnHighlight);
        const QColor second = ToQColor(FStyle == TBevelStyle::bsLowered ? clBtnHighlight : clBtnShadow);
        const int w = Width(), h = Height();
        auto line = [&](int x1, int y1, int x2, int y2, const QColor& c) {
            p.setPen(c);
            p.drawLine(x1, y1, x2, y2);
        };
        switch (FShape) {
        case TBevelShape::bsBox:
            DrawEdge(p, QRect(0, 0, w - 1, h - 1), FStyle == TBevelStyle::bsRaised);
            break;
        case TBevelShape::bsFrame:
            p.setPen(first);
            p.drawRect(0, 0, w - 2, h - 2);
            p.setPen(second);
            p.drawRect(1, 1, w - 2, h - 2);
            break;
        case TBevelShape::bsTopLine:
            line(0, 0, w, 0, first);
            line(0, 1, w, 1, second);
            break;
        case TBevelShape::bsBottomLine:
            line(0, h - 2, w, h - 2, first);
            line(0, h - 1, w, h - 1, second);
            break;
        case TBevelShape::bsLeftLine:
            line(0, 0, 0, h, first);
            line(1, 0, 1, h, second);
            break;
        case TBevelShape::bsRightLine:
            line(w - 2, 0, w - 2, h, first);
            line(w - 1, 0, w - 1, h, second);
            break;
        case TBevelShape::bsSpacer:
            break;
        }
    });
}

// ---- TCustomListBox ----

TCustomListBox::TCustomListBox(TComponent* owner) : TWinControl(owner) {
    auto* list = new QListWidget();
    AttachWidget(list);
    SetTabStop(true);
    SetBounds(0, 0, 121, 97);
    FItems.OnChange = [this] { Refill(); };
    QObject::connect(list, &QListWidget::itemClicked, list,
                     [this] { Guarded([this] { TControl::Click(); }); });
}

void TCustomListBox::Refill() {
    auto* list = static_cast<QListWidget*>(Widget());
    list->clear();
    for (const auto& line : FItems.Lines()) list->addItem(ToQ(line));
}

int TCustomListBox::ItemIndex() const {
    return static_cast<QListWidget*>(Widget())->currentRow();
}
void TCustomListBox::SetItemIndex(int value) {
    static_cast<QListWidget*>(Widget())->setCurrentRow(value);
}

void TCustomListBox::SetMultiSelect(bool value) {
    FMultiSelect = value;
    static_cast<QListWidget*>(Widget())->setSelectionMode(value ? QAbstractItemView::ExtendedSelection
                                                                : QAbstractItemView::SingleSelection);
}

bool TCustomListBox::Selected(int index) const {
    auto* item = static_cast<QListWidget*>(Widget())->item(index);
    return item && item->isSelected();
}

void TCustomListBox::SetSelected(int index, bool value) {
    if (auto* item = static_cast<QListWidget*>(Widget())->item(index)) item->setSelected(value);
}

int TCustomListBox::SelCount() const {
    return static_cast<int>(static_cast<QListWidget*>(Widget())->selectedItems().size());
}

// ---- TComboBox ----

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner) {
    auto* combo = new QComboBox();
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    AttachWidget(combo);
    SetTabStop(true);
    SetBounds(0, 0, 145, 21);
    FItems.OnChange = [this] { Refill(); };
    auto changed = [this] {
        if (FFilling) return;
        Guarded([this] {
            if (OnChange) OnChange(this);
        });
    };
    QObject::connect(combo, &QComboBox::currentTextChanged, combo, changed);
}

void TComboBox::Refill() {
    auto* combo = static_cast<QComboBox*>(Widget());
    const QString text = combo->currentText();
    FFilling = true;
    combo->clear();
    for (const auto& line : FItems.Lines()) combo->addItem(ToQ(line));
    if (FStyle == TComboBoxStyle::csDropDownList)
        combo->setCurrentIndex(-1);
    else
        combo->setEditText(text);
    FFilling = false;
}

int TComboBox::ItemIndex() const {
    auto* combo = static_cast<QComboBox*>(Widget());
    // An edited text that is no item selects nothing.
    const int index = combo->currentIndex();
    if (index >= 0 && combo->isEditable() && combo->currentText() != combo->itemText(index)) return -1;
    return index;
}

void TComboBox::SetItemIndex(int value) {
    auto* combo = static_cast<QComboBox*>(Widget());
    combo->setCurrentIndex(value >= 0 && value < FItems.Count() ? value : -1);
    if (value < 0 && combo->isEditable()) combo->setEditText(QString());
}

std::string TComboBox::GetText() const {
    return FromQ(static_cast<QComboBox*>(Widget())->currentText());
}

void TComboBox::SetText(const std::string& value) {
    auto* combo = static_cast<QComboBox*>(Widget());
    if (combo->isEditable())
        combo->setEditText(ToQ(value));
    else
        combo->setCurrentIndex(combo->findText(ToQ(value)));
}

void TComboBox::SetStyle(TComboBoxStyle value) {
    FStyle = value;
    static_cast<QComboBox*>(Widget())->setEditable(value != TComboBoxStyle::csDropDownList);
    static_cast<QComboBox*>(Widget())->setInsertPolicy(QComboBox::NoInsert);
}

void TComboBox::SetDropDownCount(int value) {
    FDropDownCount = value;
    static_cast<QComboBox*>(Widget())->setMaxVisibleItems(std::max(1, value));
}

// ---- TImage ----

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 105, 105);
}

void TImage::PictureChanged() {
    if (FAutoSize && !FPicture.Empty()) SetBounds(Left(), Top(), FPicture.Width(), FPicture.Height());
    Invalidate();
}

void TImage::SetStretch(bool value) {
    FStretch = value;
    Invalidate();
}

void TImage::SetCenter(bool value) {
    FCenter = value;
    Invalidate();
}

void TImage::SetAutoSize(bool value) {
    FAutoSize = value;
    PictureChanged();
}

void TImage::Paint() {
    if (FPicture.Empty()) return;
    TCanvas& canvas = Canvas();
    const TRect source = Rect(0, 0, FPicture.Width(), FPicture.Height());
    if (FStretch) {
        canvas.CopyRect(Rect(0, 0, Width(), Height()), FPicture, source);
    } else if (FCenter) {
        canvas.Draw((Width() - FPicture.Width()) / 2, (Height() - FPicture.Height()) / 2, FPicture);
    } else {
        canvas.Draw(0, 0, FPicture);
    }
}

// ---- TProgressBar ----

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) {
    auto* bar = new QProgressBar();
    bar->setTextVisible(false);
    AttachWidget(bar);
    SetBounds(0, 0, 150, 16);
    SetRange(0, 100);
}

void TProgressBar::SetRange(int min, int max) {
    FMin = min;
    FMax = std::max(min, max);
    static_cast<QProgressBar*>(Widget())->setRange(FMin, FMax);
    SetPosition(FPosition);
}

void TProgressBar::SetPosition(int value) {
    FPosition = std::clamp(value, FMin, FMax);
    static_cast<QProgressBar*>(Widget())->setValue(FPosition);
}

// ---- TPageControl, TTabSheet ----

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
    auto* tabs = new QTabWidget();
    AttachWidget(tabs);
    SetTabStop(true);
    SetBounds(0, 0, 289, 193);
    QObject::connect(tabs, &QTabWidget::currentChanged, tabs, [this] {
        Guarded([this] {
            if (OnChange) OnChange(this);
        });
    });
}

TPageControl::~TPageControl() {
    // The pages go with the controls this one holds; they no longer belong to it.
    for (TTabSheet* page : FPages) page->FPageControl = nullptr;
    FPages.clear();
}

void TPageControl::InsertPage(TTabSheet* page) {
    FPages.push_back(page);
    static_cast<QTabWidget*>(Widget())->addTab(page->Widget(), CaptionToQ(page->Caption()));
}

void TPageControl::RemovePage(TTabSheet* page) {
    auto* tabs = static_cast<QTabWidget*>(Widget());
    const int index = tabs->indexOf(page->Widget());
    if (index >= 0) tabs->removeTab(index);
    FPages.erase(std::remove(FPages.begin(), FPages.end(), page), FPages.end());
}

TTabSheet* TPageControl::ActivePage() const {
    const int index = static_cast<QTabWidget*>(Widget())->currentIndex();
    for (TTabSheet* page : FPages)
        if (page->PageIndex() == index) return page;
    return nullptr;
}

void TPageControl::SetActivePage(TTabSheet* value) {
    if (value && value->PageControl() == this)
        static_cast<QTabWidget*>(Widget())->setCurrentWidget(value->Widget());
}

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
    AttachWidget(new QWidget());
}

TTabSheet::~TTabSheet() {
    SetPageControl(nullptr);
}

void TTabSheet::SetPageControl(TPageControl* value) {
    if (FPageControl == value) return;
    if (FPageControl) FPageControl->RemovePage(this);
    FPageControl = value;
    SetParent(value);
    if (value) value->InsertPage(this);
}

int TTabSheet::PageIndex() const {
    if (!FPageControl) return -1;
    return static_cast<QTabWidget*>(FPageControl->Widget())->indexOf(Widget());
}

void TTabSheet::SetText(const std::string& value) {
    TControl::SetText(value);
    if (FPageControl) {
        auto* tabs = static_cast<QTabWidget*>(FPageControl->Widget());
        const int index = tabs->indexOf(Widget());
        if (index >= 0) tabs->setTabText(index, CaptionToQ(value));
    }
}

} // namespace mv
