#include "archive/framework/ArcStream.h"

#include <cstring>

namespace mv {

TReadAt ReadAtOf(TArcStream& stream) {
    return [&stream](int64_t pos, uint8_t* buffer, int64_t n) -> int64_t {
        if (!stream.Seek(pos)) return 0;
        int64_t done = 0;
        while (done < n) {
            const int64_t got = stream.Read(buffer + done, n - done);
            if (got <= 0) break;
            done += got;
        }
        return done;
    };
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    if (count < 0) return -1;
    int64_t left = Size() - FPosition;
    int64_t n = count < left ? count : left;
    if (n <= 0) return 0;
    std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count < 0) return -1;
    if (count == 0) return 0;
    size_t end = static_cast<size_t>(FPosition + count);
    if (end > FData.size()) FData.resize(end);
    std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
    FPosition += count;
    return count;
}

bool TMemoryStream::Seek(int64_t position) {
    if (position < 0) return false;
    FPosition = position;
    return true;
}

int64_t TMemoryViewStream::Read(void* buffer, int64_t count) {
    if (count < 0) return -1;
    int64_t left = FSize - FPosition;
    int64_t n = count < left ? count : left;
    if (n <= 0) return 0;
    std::memcpy(buffer, FData + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

bool TMemoryViewStream::Seek(int64_t position) {
    if (position < 0) return false;
    FPosition = position;
    return true;
}

} // namespace mv

#include "platform/FileSystem.h"

namespace mv {

TArcFileStream::TArcFileStream(std::unique_ptr<platform::File> file) : FFile(std::move(file)) {}

TArcFileStream::~TArcFileStream() = default;

std::unique_ptr<TArcFileStream> TArcFileStream::OpenRead(const std::string& path) {
    try {
        auto f = platform::Fs().Open(path, platform::OpenMode::Read);
        if (!f) return nullptr;
        auto s = std::make_unique<TArcFileStream>(std::move(f));
        s->FReadOnly = true;
        s->FSize = s->FFile->Size();
        return s;
    } catch (const std::exception&) {
        return nullptr;
    }
}

int64_t TArcFileStream::Read(void* buffer, int64_t count) {
    if (count < 0 || !FFile) return -1;
    try {
        return static_cast<int64_t>(FFile->Read(buffer, static_cast<size_t>(count)));
    } catch (const std::exception&) {
        return -1;
    }
}

int64_t TArcFileStream::Write(const void* buffer, int64_t count) {
    if (count < 0 || !FFile) return -1;
    try {
        FFile->Write(buffer, static_cast<size_t>(count));
        return count;
    } catch (const platform::FileError& e) {
        FLastError = e.Code();
        return -1;
    } catch (const std::exception&) {
        return -1;
    }
}

bool TArcFileStream::Seek(int64_t position) {
    if (position < 0 || !FFile) return false;
    try {
        FFile->Seek(position);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

int64_t TArcFileStream::Position() const {
    if (!FFile) return -1;
    try {
        return FFile->Position();
    } catch (const std::exception&) {
        return -1;
    }
}

int64_t TArcFileStream::Size() const {
    if (FReadOnly && FSize >= 0) return FSize;
    if (!FFile) return -1;
    try {
        return FFile->Size();
    } catch (const std::exception&) {
        return -1;
    }
}

bool TArcFileStream::Close() {
    if (!FFile) return true;
    try {
        FFile->Close();
        return true;
    } catch (const platform::FileError& e) {
        FLastError = e.Code();
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

const std::string& TArcFileStream::Path() const {
    static const std::string none;
    return FFile ? FFile->Path() : none;
}

std::unique_ptr<TTempFileStream> TTempFileStream::Create(const std::string& folder,
                                                         const std::string& prefix) {
    try {
        auto f = platform::Fs().CreateTempFile(folder, prefix);
        std::string name = f->Path();
        std::unique_ptr<TTempFileStream> s(new TTempFileStream(std::move(f)));
        s->FName = name;
        return s;
    } catch (const std::exception&) {
        return nullptr;
    }
}

TTempFileStream::~TTempFileStream() {
    Close();
    try {
        platform::Fs().RemoveFile(FName);
    } catch (const std::exception&) {
    }
}

} // namespace mv
