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
                                   const std::function<bool(const TArcEntryInfo&)>& each, bool keep) {
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
        TArcEntryInfo info;
        info.FileName = h.FullName();
        info.UnpackedSize = h.UncompressedSize;
        info.PackedSize = h.CompressedSize;
        info.CRC = h.Crc32;
        info.DateTime = DosDateTimeToDateTime(h.DateTime);
        info.ExternalAttr = h.ExternalAttributes;
        if (!info.FileName.empty() && info.FileName.back() == '/') info.ExternalAttr |= 0x10;
        info.Encrypted = (h.Flags & ZipFlagEncrypted) != 0;
        if (keep) entries.push_back(VzEntryOf(info));
        if (each && !each(info)) return FCancelCode = vzr::Aborted;
    }
    return count == 0 ? vzr::NothingToDo : vzr::Ok;
}

} // namespace mv
