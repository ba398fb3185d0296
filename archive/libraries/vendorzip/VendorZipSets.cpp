// Entries of a split set for the vendor zip library's listing. Apart from the
// lister's file: the zip writer component's classes and the archive
// components' share names that one file cannot hold both of.
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipRecords.h"
#include "archive/libraries/vendorzip/VendorZipInstance.h"
#include "zipwriter/ZipEngine.h"

namespace mv {

// The last part of a set split into name.z01, name.z02, ... name.zip starts
// inside an entry, where the lister finds no header: the directory at its end
// is read by the zip writer component's reader of directories.
int16_t TVendorZip::ReadSetEntries(std::vector<TVzEntry>& entries,
                                   const std::function<bool(const TVzEntry&)>& each) {
    TZipEngine z;
    z.OnInCompleteZip = [](TObject*, TIncompleteZipMode& m) { m = TIncompleteZipMode::izAssumeNotAZip; };
    int count = 0;
    try {
        z.SetZipName(FZipFilename);
        count = z.Count();
    } catch (const ENotAZipFile&) {
        return vzr::NotAZip;
    } catch (const EZipEngineError&) {
        return vzr::ArchiveCorrupt;
    }
    for (int i = 0; i < count; ++i) {
        const TZipHeaderInfo& h = z.Entry(i);
        TVzEntry e;
        e.Name = h.FullName();
        e.Size = h.UncompressedSize;
        e.Packed = h.CompressedSize;
        e.Crc = h.Crc32;
        e.Modified = DosDateTimeToDateTime(h.DateTime);
        e.Attributes = h.ExternalAttributes;
        e.Encrypted = (h.Flags & ZipFlagEncrypted) != 0;
        e.Folder = (h.ExternalAttributes & 0x10) || (!e.Name.empty() && e.Name.back() == '/');
        entries.push_back(e);
        if (each && !each(entries.back())) return FCancelCode = vzr::Aborted;
    }
    return entries.empty() ? vzr::NothingToDo : vzr::Ok;
}

} // namespace mv
