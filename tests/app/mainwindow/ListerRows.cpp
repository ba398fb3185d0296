#include "tests/app/mainwindow/ListerRows.h"

#include "app/mainwindow/ArchiveRows.h"
#include "archive/lister/ArcLister.h"

namespace mv {

bool ListWithLister(const std::string& path, TArchiveList& rows) {
    TArcLister lister;
    lister.SetFileSpec({"*"});
    lister.SetArchiveFile(path);
    lister.OnRead = [&](TObject*, int64_t, int) {
        std::string attributes;
        lister.AttrToText(lister.EntryInfo().ExternalAttr, ' ', attributes);
        rows.AddRow(RowFromEntry(lister.EntryInfo(), attributes));
    };
    return lister.Activate();
}

} // namespace mv
