#include "app/scripts/BackupVendor.h"

#include "platform/FileSystem.h"
#include "zipwriter/ZipEngine.h"
#include "zipwriter/ZipEngineTypes.h"

namespace mv {

void TArchiveCheckVendor::ResetVendorZip(const std::string& zipName) {
    FZipName = zipName;
    FAbort = false;
}

int16_t TArchiveCheckVendor::VzListZipContents(const std::function<void(const TListedEntry&)>& onEntry) {
    if (!platform::Exists(FZipName)) return vzNotAZip;
    TUnzipEngine reader;
    reader.SetDoProcessMessages(false);
    try {
        reader.SetZipName(FZipName);
        reader.OpenZip();
        if (reader.Rebuilt()) return vzCorrupt;
        for (int i = 0; i < reader.Count(); ++i) {
            TZipHeaderInfo& e = reader.Entry(i);
            TListedEntry entry;
            entry.Name = e.FullName();
            entry.Size = static_cast<uint64_t>(e.UncompressedSize);
            entry.PackedSize = static_cast<uint64_t>(e.CompressedSize);
            entry.NotShown = !entry.Name.empty() && entry.Name.back() == '/';
            if (onEntry) onEntry(entry);
            if (ProcessMessages) ProcessMessages();
            if (FAbort) return vzAborted;
        }
        reader.CloseZip();
    } catch (const ENotAZipFile&) {
        return vzNotAZip;
    } catch (const std::exception&) {
        return vzCorrupt;
    }
    return vzOk;
}

int16_t TArchiveCheckVendor::VzZipSelfExtracting(const std::vector<std::string>&, bool, const TSfxTexts&) {
    return vzStubMissing;
}

} // namespace mv
