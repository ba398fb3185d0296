// Dispatch of a ZIP member to its method's decoder. Each decoder reads through
// the CodecInput (the reader's decrypting, volume-changing read) and writes
// through the CodecOutput (the reader's CRC-counting output), and stops at the
// member's declared size.
#include "archive/codecs/ZipDecode.h"

#include "archive/codecs/Explode.h"
#include "archive/codecs/Inflate.h"
#include "archive/codecs/Unreduce.h"
#include "archive/codecs/Unshrink.h"
#include "resources/ArcErrorNumbers.h"

#include <algorithm>
#include <memory>

namespace mv {

bool IsZipMethodSupported(uint16_t method) {
    return method <= 6 || method == 8;
}

void DecodeZipData(uint16_t method, uint16_t flags, CodecInput& in, CodecOutput& out, uint64_t unpackedSize) {
    switch (method) {
    case 0: {
        // Stored: copied as it comes, in pieces of 32 KiB, up to the declared size.
        auto buffer = std::make_unique<uint8_t[]>(32768);
        uint64_t left = unpackedSize;
        while (left && !out.Cancelled()) {
            const size_t n = in.Read(buffer.get(), static_cast<size_t>(std::min<uint64_t>(left, 32768)));
            if (n == 0) break;
            out.Write(buffer.get(), n);
            left -= n;
        }
        return;
    }
    case 1:
        Unshrink(in, out, unpackedSize);
        return;
    case 2:
    case 3:
    case 4:
    case 5:
        Unreduce(in, out, unpackedSize, method - 1);
        return;
    case 6:
        Explode(in, out, unpackedSize, flags);
        return;
    case 8:
        Inflate(in, out, unpackedSize);
        return;
    default:
        throw ECodecError(arcerr::UnknownMethod, "unsupported compression method");
    }
}

} // namespace mv
