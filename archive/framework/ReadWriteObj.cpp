#include "archive/framework/ReadWriteObj.h"

#include "archive/framework/ArcErrors.h"
#include "archive/framework/Crc.h"
#include "archive/framework/ZipCrypt.h"

#include <cstring>

namespace mv {

TReadWriteObj::TReadWriteObj() {
    // Bound to the virtual operations, so that a descendant's override is what runs.
    ReadProc = [this](TArcStream* f, TArcStream* s, uint8_t* b, bool d, int cm, int64_t n, int dc) {
        return ReadBlock(f, s, b, d, cm, n, dc);
    };
    ExtractWriteProc = [this](TArcStream* f, TArcStream* s, const uint8_t* b, bool d, int cm, int64_t n,
                              int dc) { return DecryptWriteBlock(f, s, b, d, cm, n, dc); };
    CompressWriteProc = [this](TArcStream* f, TArcStream* s, const uint8_t* b, bool e, int cm, int64_t n,
                               int dc) { return EncryptWriteBlock(f, s, b, e, cm, n, dc); };
}

TReadWriteObj::~TReadWriteObj() = default;

bool TReadWriteObj::IsZipCipherType() const {
    switch (FArcType) {
    case TArcType::atBh:
    case TArcType::atBhExe:
    case TArcType::atJar:
    case TArcType::atZip:
    case TArcType::atZipExe:
    case TArcType::atZipMV:
        return true;
    default:
        return false;
    }
}

void TReadWriteObj::UpdateRunningCrc(const uint8_t* buffer, int64_t count, int crcMode) {
    if (count <= 0) return;
    if (crcMode == crc32)
        UpdateCRC32(buffer, static_cast<size_t>(count), FCrc32);
    else if (crcMode == crc16)
        UpdateCRC16(buffer, static_cast<size_t>(count), FCrc16);
}

int64_t TReadWriteObj::ReadBlock(TArcStream* File, TArcStream* Stream, uint8_t* Buffer, bool Decrypt,
                                 int CrcMode, int64_t Count, int /*DoCrc*/) {
    if (Count <= 0) return 0;
    int64_t got = 0;
    switch (FReadMode) {
    case rwFile:
        got = File ? File->Read(Buffer, Count) : -1;
        break;
    case rwUserStream:
        got = FUserStream ? FUserStream->Read(Buffer, Count) : -1;
        break;
    case rwCallStream:
        got = Stream ? Stream->Read(Buffer, Count) : -1;
        break;
    case rwMemoryStream:
        got = FMemoryStream ? FMemoryStream->Read(Buffer, Count) : -1;
        break;
    case rwMemoryPointer: {
        // never past the end of the area
        got = Count < FMemoryLeft ? Count : FMemoryLeft;
        if (got > 0) {
            std::memcpy(Buffer, FMemoryPointer, static_cast<size_t>(got));
            FMemoryPointer += got;
            FMemoryLeft -= got;
        }
        break;
    }
    default:
        got = 0;
        break;
    }
    if (got <= 0) return got;
    if (Decrypt) {
        // the bytes just read are the caller's destination: decrypted where they are
        if (FArcType == TArcType::atArj || FArcType == TArcType::atArjExe)
            ArjGarble(Buffer, Buffer, static_cast<size_t>(got), FPassword, FGarblePos);
        else if (IsZipCipherType())
            FZipKeys.DecryptBlock(Buffer, Buffer, static_cast<size_t>(got));
    }
    UpdateRunningCrc(Buffer, got, CrcMode);
    return got;
}

int64_t TReadWriteObj::WriteBlock(TArcStream* File, const uint8_t* Buffer, int DoCrc, int64_t Count,
                                  int CrcMode, TArcStream* Stream) {
    if (Count <= 0) return 0;
    TArcStream* target = nullptr;
    switch (FWriteMode) {
    case rwFile:
        target = File;
        break;
    case rwUserStream:
        target = FUserStream;
        break;
    case rwCallStream:
        target = Stream;
        break;
    case rwMemoryStream:
        target = FMemoryStream;
        break;
    default:
        target = nullptr;
        break;
    }
    if (target) {
        const uint8_t* out = Buffer;
        int64_t outCount = Count;
        std::vector<uint8_t> translated;
        if (FAsciiTranslation) {
            // a line feed without a carriage return before it (also across blocks)
            // becomes CR LF
            translated.reserve(static_cast<size_t>(Count + Count / 8 + 1));
            bool prevCR = FLastWasCR;
            for (int64_t i = 0; i < Count; ++i) {
                uint8_t c = Buffer[i];
                if (c == '\n' && !prevCR) translated.push_back('\r');
                translated.push_back(c);
                prevCR = c == '\r';
            }
            FLastWasCR = prevCR;
            out = translated.data();
            outCount = static_cast<int64_t>(translated.size());
        }
        int64_t written = target->Write(out, outCount);
        if (written != outCount) throw E_RAISE(arcerr::WriteError);
    }
    if (DoCrc == 1) UpdateRunningCrc(Buffer, Count, CrcMode);
    return Count;
}

int64_t TReadWriteObj::DecryptWriteBlock(TArcStream* File, TArcStream* Stream, const uint8_t* Buffer,
                                         bool Decrypt, int CrcMode, int64_t Count, int DoCrc) {
    if (Count <= 0) return 0;
    if (Decrypt && IsZipCipherType()) {
        // decrypt into our own buffer: the caller's bytes stay as they were
        FCryptBuffer.resize(static_cast<size_t>(Count));
        FZipKeys.DecryptBlock(Buffer, FCryptBuffer.data(), FCryptBuffer.size());
        return WriteBlock(File, FCryptBuffer.data(), DoCrc, Count, CrcMode, Stream);
    }
    return WriteBlock(File, Buffer, DoCrc, Count, CrcMode, Stream);
}

int64_t TReadWriteObj::EncryptWriteBlock(TArcStream* File, TArcStream* Stream, const uint8_t* Buffer,
                                         bool Encrypt, int CrcMode, int64_t Count, int DoCrc) {
    if (Count <= 0) return 0;
    if (Encrypt && IsZipCipherType()) {
        // the CRC is of the plain bytes; the cipher works on a copy so that the
        // caller's buffer (often a codec's window) is never changed
        if (DoCrc == 1) UpdateRunningCrc(Buffer, Count, CrcMode);
        FCryptBuffer.resize(static_cast<size_t>(Count));
        FZipKeys.EncryptBlock(Buffer, FCryptBuffer.data(), FCryptBuffer.size());
        return WriteBlock(File, FCryptBuffer.data(), 0, Count, CrcMode, Stream);
    }
    return WriteBlock(File, Buffer, DoCrc, Count, CrcMode, Stream);
}

} // namespace mv
