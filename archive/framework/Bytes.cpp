#include "archive/framework/Bytes.h"

namespace mv {

bool TByteView::Matches(size_t offset, const char* text, size_t length) const {
    if (!Has(offset, length)) return false;
    for (size_t i = 0; i < length; ++i)
        if (FData[offset + i] != static_cast<uint8_t>(text[i])) return false;
    return true;
}

uint64_t TByteCursor::VarInt() {
    uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        const uint8_t b = U8();
        if (!FOk) return 0;
        value |= uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80)) return value;
    }
    FOk = false; // more than 64 bits
    return 0;
}

std::string TByteCursor::Bytes(size_t count) {
    if (!Take(count)) return {};
    return std::string(reinterpret_cast<const char*>(FView.Data() + FPos - count), count);
}

} // namespace mv
