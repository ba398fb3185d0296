#include "zipwriter/BufferStream.h"

#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "zipwriter/WildMatch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace mv {

using platform::Fs;

namespace {
// A platform write failure as the component's exception.
[[noreturn]] void RaiseWriteFailure(const platform::FileError& e) {
    if (e.Code() == ENOSPC || e.Code() == EFBIG || e.Code() == EDQUOT)
        throw ENotEnoughRoom(ZipEngineText(204));
    throw EZipEngineError(e.what());
}
} // namespace

TS_BufferStream::TS_BufferStream(platform::File& underlying) : FUnderlying(underlying), FBuffer(BufferSize) {}

TS_BufferStream::~TS_BufferStream() {
    WritePending();
}

void TS_BufferStream::WritePending() {
    if (FState == TState::sWriting && FUnderlying.IsOpen()) {
        try {
            FUnderlying.Write(FBuffer.data(), FCurrent);
        } catch (...) {
            // Only reached when an exception already unwinds the run: the file is deleted.
        }
    }
    FState = TState::sIdle;
    FCurrent = FEnd = 0;
}

bool TS_BufferStream::FillBuffer() {
    size_t n = FUnderlying.Read(FBuffer.data(), FBuffer.size());
    FCurrent = 0;
    FEnd = n;
    FState = n > 0 ? TState::sReading : TState::sIdle;
    AfterFill();
    return n > 0;
}

bool TS_BufferStream::FlushBuffer() {
    if (FState == TState::sWriting && FCurrent > 0) {
        try {
            FUnderlying.Write(FBuffer.data(), FCurrent);
        } catch (const platform::FileError& e) {
            FCurrent = 0;
            FState = TState::sIdle;
            RaiseWriteFailure(e);
        }
    }
    FCurrent = 0;
    FEnd = 0;
    FState = TState::sIdle;
    AfterFlush();
    return true;
}

size_t TS_BufferStream::Read(void* buffer, size_t count) {
    if (FState == TState::sWriting) FlushBuffer();
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    // Large reads bypass the buffer once it is empty.
    while (done < count) {
        if (FState != TState::sReading || FCurrent >= FEnd) {
            if (count - done >= FBuffer.size()) {
                if (FState == TState::sReading) FState = TState::sIdle;
                size_t n = FUnderlying.Read(out + done, count - done);
                done += n;
                if (n == 0) break;
                continue;
            }
            if (!FillBuffer()) break;
        }
        size_t k = std::min(count - done, FEnd - FCurrent);
        std::memcpy(out + done, FBuffer.data() + FCurrent, k);
        FCurrent += k;
        done += k;
    }
    return done;
}

size_t TS_BufferStream::Write(const void* buffer, size_t count) {
    if (FState == TState::sReading) {
        FUnderlying.Seek(Position());
        FCurrent = FEnd = 0;
        FState = TState::sIdle;
    }
    const auto* in = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        if (FCurrent == 0 && count - done >= FBuffer.size()) {
            // A whole buffer or more: straight to the file.
            try {
                FUnderlying.Write(in + done, count - done);
            } catch (const platform::FileError& e) {
                RaiseWriteFailure(e);
            }
            done = count;
            break;
        }
        size_t k = std::min(count - done, FBuffer.size() - FCurrent);
        std::memcpy(FBuffer.data() + FCurrent, in + done, k);
        FCurrent += k;
        done += k;
        FState = TState::sWriting;
        if (FCurrent == FBuffer.size()) FlushBuffer();
    }
    FWritten = FWritten || count > 0;
    return done;
}

int64_t TS_BufferStream::Position() const {
    int64_t p = FUnderlying.Position();
    if (FState == TState::sReading) return p + static_cast<int64_t>(FCurrent) - static_cast<int64_t>(FEnd);
    if (FState == TState::sWriting) return p + static_cast<int64_t>(FCurrent);
    return p;
}

int64_t TS_BufferStream::Size() {
    int64_t s = FUnderlying.Size();
    return std::max(s, Position());
}

int64_t TS_BufferStream::Seek(int64_t offset, int origin) {
    int64_t target;
    switch (origin) {
    case soFromBeginning:
        target = offset;
        break;
    case soFromCurrent:
        target = Position() + offset;
        break;
    case soFromEnd:
        target = Size() - (offset < 0 ? -offset : offset);
        break;
    default:
        throw EStreamError(ZipEngineTextInt(191, origin));
    }
    if (target == Position()) return target;
    if (target < 0) throw EStreamError(ZipEngineText(190));
    if (FState == TState::sWriting) {
        try {
            FlushBuffer();
        } catch (const EZipEngineError&) {
            throw EStreamError(ZipEngineText(190));
        }
    }
    FUnderlying.Seek(target);
    FCurrent = FEnd = 0;
    FState = TState::sIdle;
    return target;
}

void TS_BufferStream::PutBack(uint8_t byte) {
    if (FState != TState::sReading || FCurrent == 0) throw EStreamError(ZipEngineText(192));
    FBuffer[--FCurrent] = byte;
}

void TS_BufferStream::FlushToMedium() {
    if (FState == TState::sWriting) FlushBuffer();
    try {
        FUnderlying.Flush();
    } catch (const platform::FileError& e) {
        RaiseWriteFailure(e);
    }
}

void TS_BufferStream::Close() {
    if (!FUnderlying.IsOpen()) return;
    if (FState == TState::sWriting) FlushBuffer();
    try {
        if (FFlushOnDestroy && FWritten) FUnderlying.Flush();
        FUnderlying.Close();
    } catch (const platform::FileError& e) {
        RaiseWriteFailure(e);
    }
}

// --- file stream ---

namespace {
platform::OpenMode ModeOf(TFileOpen mode) {
    switch (mode) {
    case TFileOpen::foRead:
        return platform::OpenMode::Read;
    case TFileOpen::foReadWrite:
        return platform::OpenMode::ReadWrite;
    default:
        return platform::OpenMode::CreateTruncate;
    }
}
} // namespace

TLFNFileStream::TLFNFileStream(std::unique_ptr<platform::File> file, bool flushOnClose, bool writing)
    : TS_BufferStream(*file), FFile(std::move(file)) {
    FFileName = FFile->Path();
    FFlushOnDestroy = flushOnClose && writing;
}

TLFNFileStream::TLFNFileStream(const std::string& name, bool flushOnClose, TFileOpen mode)
    : TLFNFileStream(Fs().Open(name, ModeOf(mode)), flushOnClose, mode != TFileOpen::foRead) {}

TLFNFileStream::TLFNFileStream(std::unique_ptr<platform::File> file, bool flushOnClose)
    : TLFNFileStream(std::move(file), flushOnClose, true) {}

TLFNFileStream::~TLFNFileStream() {
    // The file goes before the base class's destructor runs.
    WritePending();
}

// --- directory search ---

TDirSearch::TDirSearch(const std::string& folderIn, bool recurse, const std::string& mask)
    : FMask(mask), FRecurse(recurse) {
    std::string folder = folderIn.empty() ? "./" : folderIn;
    if (folder.back() != '/') folder += '/';
    std::string start = folder;
    size_t w = folder.find_first_of("*?<>|");
    if (w != std::string::npos) {
        size_t cut = folder.rfind('/', w);
        start = cut == std::string::npos ? "./" : folder.substr(0, cut + 1);
        std::string rest = cut == std::string::npos ? folder : folder.substr(cut + 1);
        size_t p = 0;
        while (p < rest.size()) {
            size_t q = rest.find('/', p);
            if (q == std::string::npos) q = rest.size();
            if (q > p) FFolderMasks.push_back(rest.substr(p, q - p));
            p = q + 1;
        }
    }
    Push(start, FFolderMasks.empty() ? FMask : FFolderMasks[0], !FFolderMasks.empty());
}

void TDirSearch::Push(const std::string& folder, const std::string& mask, bool folderMaskLevel) {
    TSearchData d;
    d.folder = folder;
    d.mask = mask;
    d.folderMaskLevel = folderMaskLevel;
    try {
        d.entries = Fs().ListDirectory(folder == "./" ? "." : folder);
    } catch (const platform::FileError&) {
        // A folder that cannot be read holds nothing for the search.
    }
    std::sort(d.entries.begin(), d.entries.end(),
              [](const platform::DirEntry& a, const platform::DirEntry& b) { return a.Name < b.Name; });
    FStack.push_back(std::move(d));
}

namespace {
bool IsDotOrDotDot(const std::string& n) {
    return n == "." || n == "..";
}
// What a directory entry stands for: a symbolic link answers for its target.
bool TargetInfo(const std::string& path, const platform::DirEntry& e, platform::FileInfo& info) {
    if (!e.Info.IsSymlink) {
        info = e.Info;
        return true;
    }
    return Fs().StatTarget(path, info);
}
} // namespace

bool TDirSearch::NextFile(std::string& name, uint64_t& size) {
    for (;;) {
        if (FStack.empty()) return false;
        TSearchData& top = FStack.back();
        if (top.next >= top.entries.size()) {
            bool wasMaskLevel = FStack.size() > 1 && FStack[FStack.size() - 2].folderMaskLevel;
            FStack.pop_back();
            if (wasMaskLevel && FFolderMaskIndex > 0) --FFolderMaskIndex;
            continue;
        }
        const platform::DirEntry& e = top.entries[top.next++];
        if (IsDotOrDotDot(e.Name)) continue;
        const std::string path = top.folder + e.Name;
        const bool isFolder = e.Info.IsDirectory && !e.Info.IsSymlink;
        if (top.folderMaskLevel) {
            if (!isFolder || !WildcardMatch(top.mask, e.Name)) continue;
            ++FFolderMaskIndex;
            bool last = FFolderMaskIndex >= FFolderMasks.size();
            std::string folder = path + "/";
            Push(folder, last ? FMask : FFolderMasks[FFolderMaskIndex], !last);
            continue;
        }
        if (isFolder) {
            if (!FRecurse) continue;
            std::string folder = path + "/";
            std::string mask = top.mask;
            Push(folder, mask, false);
            name = folder;
            size = 0;
            return true;
        }
        if (e.Info.IsSymlink) {
            platform::FileInfo target;
            if (TargetInfo(path, e, target) && target.IsDirectory)
                continue; // links to folders are not followed
        }
        std::string tested = e.Name.find('.') == std::string::npos ? e.Name + "." : e.Name;
        if (!WildcardMatch(top.mask, tested) && !WildcardMatch(top.mask, e.Name)) continue;
        name = path;
        size = e.Info.Size;
        return true;
    }
}

// --- utilities ---

int Percentage(int64_t part, int64_t whole) {
    if (whole < 1) return 0;
    // Rounded to nearest, ties to even, in 128-bit-safe steps.
    const __int128 num = static_cast<__int128>(part) * 100;
    __int128 q = num / whole, r = num % whole;
    if (r * 2 > whole || (r * 2 == whole && (q & 1))) ++q;
    if (q > 100) q = 100;
    if (q < 0) q = 0;
    return static_cast<int>(q);
}

bool HasWildcards(const std::string& s) {
    return s.find_first_of("*?<>|") != std::string::npos;
}

uint32_t CheckDosDateTime(uint32_t v) {
    uint32_t sec2 = v & 0x1F, minute = (v >> 5) & 0x3F, hour = (v >> 11) & 0x1F;
    uint32_t day = (v >> 16) & 0x1F, month = (v >> 21) & 0x0F, year = (v >> 25) & 0x7F;
    if (hour > 23) hour = 23;
    if (minute > 59) minute = 59;
    if (sec2 > 29) sec2 = 29;
    if (day == 0) day = 1;
    if (month == 0) month = 1;
    if (month > 12) month = 12;
    if (year >= 120) year = 119;
    return sec2 | (minute << 5) | (hour << 11) | (day << 16) | (month << 21) | (year << 25);
}

uint32_t FileDosDateTime(const std::string& name) {
    platform::FileInfo info;
    if (!Fs().StatTarget(name, info)) return 0;
    return CheckDosDateTime(platform::DosDateTimeOf(info.ModTime));
}

void OemRoundTrip(std::string& s) {
    std::string oem;
    platform::Utf8ToOem(s, oem);
    s = platform::OemToUtf8(oem);
}

std::string ChangeFileExt(const std::string& name, const std::string& ext) {
    size_t slash = name.rfind('/');
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name + ext;
    return name.substr(0, dot) + ext;
}

std::string LowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

int CompareText(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return x - y;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

std::string ThreeDigits(int n) {
    std::string s = std::to_string(n);
    if (s.size() < 3) s.insert(s.begin(), 3 - s.size(), '0');
    return s;
}

std::string PartExtension(int n) {
    std::string ext(1, '.');
    ext += ThreeDigits(n);
    return ext;
}

} // namespace mv
