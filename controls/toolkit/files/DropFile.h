#pragma once
// A file drop target: lets one windowed control of a form accept files dragged from the
// file manager and hands the names of each drop to OnDropFiles.
#include "platform/ui/Component.h"
#include "platform/ui/Control.h"
#include "platform/ui/FileDrop.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

// FileList holds full names in the order they were dropped; handlers copy what they keep.
using TDropFileEvent = std::function<void(TComponent* sender, const std::vector<std::string>& fileList,
                                          const TPoint& location, bool isClientArea)>;

class TDropFile : public TComponent {
public:
    explicit TDropFile(TComponent* owner);
    ~TDropFile() override;

    bool Enabled() const { return FEnabled; }
    // With a control: whether it accepts drops (the drop cursor), without unhooking it.
    void SetEnabled(bool value);
    TWinControl* Control() const { return FControl; }
    // Releases the old control, then listens to the new one's drops. Another drop target
    // of the same owner already serving the control is refused with an exception.
    void SetControl(TWinControl* value);

    TDropFileEvent OnDropFiles;

protected:
    // One drop on the control.
    virtual void HandleDropFiles(const std::vector<std::string>& files, const TPoint& location,
                                 bool isClientArea);
    void Notification(TComponent* component, TOperation operation) override;

private:
    void Release();
    bool FEnabled = true;
    TWinControl* FControl = nullptr;
    std::unique_ptr<TFileDropSite> FSite;
};

} // namespace mv
