#include "app/mainwindow/ArchiveRows.h"

#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipCommon.h"
#include "archive/libraries/vendorzip/VendorZip.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

namespace mv {

namespace {

std::mutex iconMutex;
std::function<int32_t(const std::string&)> iconLookup;

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

void SetFileIconIndexHook(std::function<int32_t(const std::string&)> lookup) {
    std::lock_guard<std::mutex> lock(iconMutex);
    iconLookup = std::move(lookup);
}

int32_t FileIconIndex(const std::string& fileName) {
    std::function<int32_t(const std::string&)> lookup;
    {
        std::lock_guard<std::mutex> lock(iconMutex);
        lookup = iconLookup;
    }
    return lookup ? lookup(fileName) : 0;
}

void SplitStoredName(const std::string& stored, std::string& folder, std::string& name) {
    const size_t cut = stored.find_last_of("\\/");
    if (cut == std::string::npos) {
        folder.clear();
        name = stored;
        return;
    }
    folder = stored.substr(0, cut + 1);
    std::replace(folder.begin(), folder.end(), '/', '\\');
    name = stored.substr(cut + 1);
}

TArchiveRow RowFromEntry(const TArcEntryInfo& entry, const std::string& attributeText) {
    TArchiveRow r;
    SplitStoredName(entry.FileName, r.Path, r.FileName);
    r.Encrypted = entry.Encrypted;
    r.IconIndex = FileIconIndex(r.FileName);
    r.TypeName = TZipCommon::FileTypeName(r.FileName);
    r.Modified = entry.DateTime;
    r.Size = entry.UnpackedSize;
    r.Packed = entry.PackedSize;
    r.Ratio = entry.Ratio;
    r.Attributes = Upper(attributeText);
    r.Crc = entry.CRC;
    return r;
}

std::string VendorAttributeLetters(int32_t attributes) {
    std::string s;
    if (attributes & 0x20) s += 'A';
    if (attributes & 0x10) s += 'D';
    if (attributes & 0x08) s += 'V';
    if (attributes & 0x04) s += 'S';
    if (attributes & 0x02) s += 'H';
    if (attributes & 0x01) s += 'R';
    return s;
}

TArchiveRow RowFromVendorListing(const TVzListingBlock& b) {
    TArchiveRow r;
    const std::string stored(b.Name, strnlen(b.Name, VzNameSize));
    SplitStoredName(stored, r.Path, r.FileName);
    r.Encrypted = b.Encrypted == 1;
    r.IconIndex = FileIconIndex(r.FileName);
    r.TypeName = TZipCommon::FileTypeName(r.FileName);
    const TVzSystemTime& t = b.Modified;
    r.Modified = t.wYear ? EncodeDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond) : 0;
    // The block carries 32-bit sizes; the library refuses larger ones rather than
    // wrapping them, so a negative value can only be damage: shown as 0.
    r.Size = b.FileSize > 0 ? b.FileSize : 0;
    r.Packed = b.PackedSize > 0 ? b.PackedSize : 0;
    r.Ratio = b.Ratio > 0 ? b.Ratio : 0;
    r.Attributes = VendorAttributeLetters(static_cast<uint16_t>(b.Attributes));
    r.Crc = b.Crc;
    return r;
}

} // namespace mv
