#pragma once
// Page controls and their tab sheets.
#include "platform/ui/Control.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

class TPageControl;

// One page of a page control; its caption is the tab's text.
class TTabSheet : public TWinControl {
public:
    explicit TTabSheet(TComponent* owner);
    ~TTabSheet() override;
    TPageControl* PageControl() const { return FPageControl; }
    void SetPageControl(TPageControl* value);
    int PageIndex() const;

protected:
    void SetText(const std::string& value) override;
    void ApplyBounds() override {}

private:
    friend class TPageControl;
    TPageControl* FPageControl = nullptr;
};

class TPageControl : public TWinControl {
public:
    explicit TPageControl(TComponent* owner);
    ~TPageControl() override;
    int PageCount() const { return static_cast<int>(FPages.size()); }
    TTabSheet* Pages(int index) const { return FPages.at(static_cast<size_t>(index)); }
    TTabSheet* ActivePage() const;
    void SetActivePage(TTabSheet* value);
    TNotifyEvent OnChange;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    std::vector<TTabSheet*> FPages;
};

} // namespace mv
