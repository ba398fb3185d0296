#include "platform/ui/Pages.h"

#include "platform/ui/QtBridge.h"

#include <QTabWidget>
#include <QWidget>
#include <algorithm>

namespace mv {

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
    static_cast<QTabWidget*>(Widget())->addTab(page->Widget(), ToQ(page->Caption()));
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
        if (index >= 0) tabs->setTabText(index, ToQ(value));
    }
}

} // namespace mv
