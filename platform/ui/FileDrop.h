#pragma once
// Files dropped from the file manager: a control made a drop site accepts drags that
// carry local files (text/uri-list) and hands over the names of one drop at once, in
// the order the file manager gave them, with the drop point in the control's client
// co-ordinates. Names that are not local files (web addresses and the like) are left
// out; a drop without any local file is refused.
#include "platform/ui/Control.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

using TFilesDroppedHandler =
    std::function<void(const std::vector<std::string>& files, const TPoint& location, bool isClientArea)>;

class TFileDropSite {
public:
    // Starts listening to drops on the control's window (not yet accepting them).
    TFileDropSite(TControl& control, TFilesDroppedHandler handler);
    ~TFileDropSite();
    TFileDropSite(const TFileDropSite&) = delete;
    TFileDropSite& operator=(const TFileDropSite&) = delete;

    // Whether drops are accepted (the drop cursor shows) while the site listens.
    void SetAccept(bool value);
    bool Accept() const { return FAccept; }

    struct Impl;

private:
    std::unique_ptr<Impl> FImpl;
    bool FAccept = false;
};

// Whether the control's window now takes drops (for tests).
bool AcceptsDrops(const TControl& control);
// Drags the given names (local paths or URLs) over the control and drops them at
// `at` (client co-ordinates), as the file manager would; false when the drop was
// refused.
bool SimulateFileDrop(TControl& control, const std::vector<std::string>& names, const TPoint& at);

} // namespace mv
