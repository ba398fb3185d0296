#pragma once
// The rows of an archive as the lister gives them, without any window: what the
// window's list is compared with. (Apart from the window's tests because the lister's
// event types and the class library's share their names.)
#include "app/mainwindow/ArchiveList.h"

#include <string>

namespace mv {

// Lists the archive with specification "*"; false when the lister fails.
bool ListWithLister(const std::string& path, TArchiveList& rows);

} // namespace mv
