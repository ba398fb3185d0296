#include "archive/formats/tar/TarFormat.h"

#include "archive/framework/SharedRoutines.h"
#include "archive/framework/TextUtils.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace mv {

int64_t TarNumber(const uint8_t* field, size_t n) {
    uint64_t v = 0;
    if (!OctalStrToInt(std::string_view(reinterpret_cast<const char*>(field), n), v)) return -1;
    return v > uint64_t(INT64_MAX) ? -1 : int64_t(v);
}

bool TarIsZeroBlock(const uint8_t* block) {
    return std::all_of(block, block + TarBlockSize, [](uint8_t c) { return c == 0; });
}

namespace {

void HeaderSums(const uint8_t* block, int64_t& sum, int64_t& signedSum) {
    sum = signedSum = 0;
    for (int i = 0; i < TarBlockSize; ++i) {
        const uint8_t b = (i >= 148 && i < 156) ? ' ' : block[i];
        sum += b;
        signedSum += int8_t(b);
    }
}

} // namespace

bool TarChecksumMatches(const uint8_t* block, int64_t* storedSum) {
    const int64_t stored = TarNumber(block + 148, 8);
    if (storedSum) *storedSum = stored;
    if (stored < 0) return false;
    int64_t sum, signedSum;
    HeaderSums(block, sum, signedSum);
    return stored == sum || stored == signedSum;
}

void WriteTarChecksum(uint8_t* block) {
    int64_t sum, signedSum;
    HeaderSums(block, sum, signedSum);
    std::memset(block + 148, ' ', 6);
    for (int i = 5; i >= 0 && (i == 5 || sum); --i) {
        block[148 + i] = static_cast<uint8_t>('0' + (sum & 7));
        sum >>= 3;
    }
    block[154] = 0;
    block[155] = ' ';
}

bool TarIsMetaRecord(char type) {
    return type == TarTypeLongName || type == TarTypeLongLink || type == TarTypePax ||
           type == TarTypePaxGlobal || type == 'V' || type == 'M';
}

namespace {

// Links, devices, FIFOs and folders carry no data whatever their size field says.
bool TarTypeHasData(char type) {
    return !(type == TarTypeHardLink || (type >= '2' && type <= '6'));
}

} // namespace

int64_t TTarHeader::DataSize() const {
    return TarTypeHasData(Type) ? Size : 0;
}

bool TarIsFileMember(char type) {
    return type == '\0' || type == TarTypeRegular || type == TarTypeContiguous || type == TarTypeHardLink;
}

void ParseTarPax(const std::string& data, TTarPending& pending) {
    size_t p = 0;
    while (p < data.size()) {
        const size_t sp = data.find(' ', p);
        if (sp == std::string::npos) break;
        uint64_t len = 0;
        for (size_t i = p; i < sp; ++i) {
            if (data[i] < '0' || data[i] > '9' || len > data.size()) return;
            len = len * 10 + uint64_t(data[i] - '0');
        }
        if (len <= sp - p || p + len > data.size()) return;
        std::string rec = data.substr(sp + 1, p + len - sp - 1);
        if (!rec.empty() && rec.back() == '\n') rec.pop_back();
        const size_t eq = rec.find('=');
        if (eq != std::string::npos) {
            const std::string key = rec.substr(0, eq), value = rec.substr(eq + 1);
            if (key == "path")
                pending.PaxPath = value;
            else if (key == "linkpath")
                pending.PaxLink = value;
            else if (key == "size" || key == "mtime") {
                int64_t v = 0;
                size_t i = 0;
                while (i < value.size() && value[i] >= '0' && value[i] <= '9' && v < (int64_t(1) << 55))
                    v = v * 10 + (value[i++] - '0');
                if (i > 0 && (i == value.size() || value[i] == '.'))
                    (key == "size" ? pending.PaxSize : pending.PaxMTime) = v;
            }
        }
        p += len;
    }
}

void TTarPending::Take(char type, const std::string& data) {
    if (type == TarTypePax) {
        ParseTarPax(data, *this);
    } else if (type == TarTypeLongName || type == TarTypeLongLink) {
        (type == TarTypeLongName ? LongName : LongLink) = data.substr(0, data.find('\0'));
    }
}

void TTarPending::Apply(TTarHeader& h) {
    if (!PaxPath.empty())
        h.Name = PaxPath;
    else if (!LongName.empty())
        h.Name = LongName;
    if (!PaxLink.empty())
        h.LinkName = PaxLink;
    else if (!LongLink.empty())
        h.LinkName = LongLink;
    if (PaxSize >= 0 && !TarIsMetaRecord(h.Type) && TarTypeHasData(h.Type)) {
        h.Size = PaxSize;
        h.SizeValid = true;
    }
    if (PaxMTime >= 0) h.MTime = PaxMTime;
    Clear();
}

TTarHeader ReadTarHeader(const uint8_t* b) {
    TTarHeader h;
    h.Type = char(b[156]);
    h.Checksum = TarNumber(b + 148, 8);
    h.Name = ZeroTerminated(b, 100);
    if (std::memcmp(b + 257, "ustar", 5) == 0 && b[345] != 0 && std::memcmp(b + 257, "ustar  ", 7) != 0)
        h.Name = ZeroTerminated(b + 345, 155) + "/" + h.Name;
    h.LinkName = ZeroTerminated(b + 157, 100);
    const int64_t size = TarNumber(b + 124, 12);
    h.SizeValid = size >= 0;
    h.Size = std::clamp<int64_t>(size, 0, INT64_MAX / 2);
    h.MTime = TarNumber(b + 136, 12);
    const int64_t mode = TarNumber(b + 100, 8);
    h.Mode = mode >= 0 ? (mode & 07777) : -1;
    return h;
}

} // namespace mv
