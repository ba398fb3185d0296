#include "app/packager/stub/SfxContainer.h"

#include "archive/codecs/CodecIo.h"
#include "archive/codecs/Inflate.h"
#include "archive/framework/Crc.h"
#include "archive/framework/ZipCrypt.h"
#include "archive/framework/ZipRecords.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace mv::sfx {

namespace {

constexpr char Magic[] = "MVSFX1";

std::vector<uint8_t> ReadAt(platform::File& f, int64_t position, size_t count) {
    std::vector<uint8_t> bytes(count);
    if (f.ReadAt(position, bytes.data(), count) != count) throw EContainerError("the installer is truncated");
    return bytes;
}

// Feeds an entry's packed bytes, decrypted when a password is in use.
class EntryInput : public CodecInput {
public:
    EntryInput(platform::File& f, int64_t position, uint64_t remaining, TZipKeys* keys)
        : file(f), position(position), remaining(remaining), keys(keys) {}
    size_t Read(uint8_t* buf, size_t n) override {
        const size_t k = static_cast<size_t>(std::min<uint64_t>(n, remaining));
        if (!k) return 0;
        if (file.ReadAt(position, buf, k) != k) throw EContainerError("the installer is truncated");
        if (keys) keys->DecryptBlock(buf, buf, k);
        position += static_cast<int64_t>(k);
        remaining -= k;
        return k;
    }

private:
    platform::File& file;
    int64_t position;
    uint64_t remaining;
    TZipKeys* keys;
};

// Takes decoded bytes, runs the CRC and hands them on (or drops them).
class EntryOutput : public CodecOutput {
public:
    explicit EntryOutput(platform::File* out) : out(out) {}
    void Write(const uint8_t* buf, size_t n) override {
        UpdateCRC32(buf, n, crc);
        written += n;
        if (out) out->Write(buf, n);
    }
    uint32_t Crc() const { return crc ^ CrcSeed; }
    uint64_t written = 0;

private:
    platform::File* out;
    uint32_t crc = CrcSeed;
};

} // namespace

std::string SafeEntryName(const std::string& stored) {
    std::string name = stored;
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty() || name[0] == '/') return {};
    if (name.size() >= 2 && name[1] == ':') return {};
    std::string out;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        const std::string part = name.substr(start, end - start);
        if (part == "..") return {};
        if (!part.empty() && part != ".") {
            if (!out.empty()) out += '/';
            out += part;
        }
        start = end + 1;
    }
    return out;
}

TSfxContainer::TSfxContainer(const std::string& path) {
    try {
        FFile = platform::Fs().Open(path, platform::OpenMode::Read);
        const int64_t size = FFile->Size();
        const size_t tailSize = static_cast<size_t>(std::min<int64_t>(size, ZipMaxEndWindow));
        const std::vector<uint8_t> tail = ReadAt(*FFile, size - static_cast<int64_t>(tailSize), tailSize);
        TZipEndRecord end;
        int64_t endAt = -1;
        for (size_t p = tailSize >= ZipEndRecordSize ? tailSize - ZipEndRecordSize + 1 : 0; p-- > 0;) {
            if (ReadZipEndRecord(tail.data() + p, tailSize - p, end) == TZipRecordStatus::zrOk &&
                p + ZipEndRecordSize + end.CommentLength == tailSize) {
                endAt = size - static_cast<int64_t>(tailSize) + static_cast<int64_t>(p);
                break;
            }
        }
        if (endAt < 0) throw EContainerError("the installer holds no archive");
        if (int64_t(end.CentralOffset) + int64_t(end.CentralSize) > endAt)
            throw EContainerError("the installer's archive is damaged");

        // The locator and the settings block.
        const std::string comment(reinterpret_cast<const char*>(tail.data()) + (endAt - (size - int64_t(tailSize))) +
                                      ZipEndRecordSize,
                                  end.CommentLength);
        unsigned long long offset = 0, length = 0;
        unsigned crc = 0;
        if (std::sscanf(comment.c_str(), "MVSFX1 %llu %llu %8X", &offset, &length, &crc) != 3 ||
            offset + length > static_cast<unsigned long long>(end.CentralOffset) || length > (64u << 20))
            throw EContainerError("the installer's settings cannot be found");
        const std::vector<uint8_t> block = ReadAt(*FFile, static_cast<int64_t>(offset), static_cast<size_t>(length));
        if (Crc32Of(block.data(), block.size()) != crc || block.size() < sizeof Magic ||
            std::memcmp(block.data(), Magic, sizeof Magic) != 0)
            throw EContainerError("the installer's settings are damaged");
        for (size_t p = sizeof Magic; p < block.size();) {
            const auto eq = std::find(block.begin() + static_cast<ptrdiff_t>(p), block.end(), '=');
            const auto colon = std::find(eq, block.end(), ':');
            if (eq == block.end() || colon == block.end()) throw EContainerError("the installer's settings are damaged");
            const std::string key(block.begin() + static_cast<ptrdiff_t>(p), eq);
            const std::string digits(eq + 1, colon);
            if (digits.empty() || digits.size() > 9 ||
                !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
                throw EContainerError("the installer's settings are damaged");
            const size_t n = std::stoul(digits);
            const size_t at = static_cast<size_t>(colon - block.begin()) + 1;
            if (at + n >= block.size() || block[at + n] != '\n')
                throw EContainerError("the installer's settings are damaged");
            FSettings[key] = std::string(block.begin() + static_cast<ptrdiff_t>(at),
                                         block.begin() + static_cast<ptrdiff_t>(at + n));
            p = at + n + 1;
        }

        // The central directory.
        const std::vector<uint8_t> central = ReadAt(*FFile, end.CentralOffset, end.CentralSize);
        for (size_t p = 0; p < central.size();) {
            TZipCentralRecord rec;
            if (ReadZipCentralRecord(central.data() + p, central.size() - p, rec) != TZipRecordStatus::zrOk)
                throw EContainerError("the installer's archive is damaged");
            const size_t whole = ZipCentralRecordSize + rec.NameLength + rec.ExtraLength + rec.CommentLength;
            if (p + whole > central.size()) throw EContainerError("the installer's archive is damaged");
            TSfxEntry e;
            e.Name.assign(reinterpret_cast<const char*>(central.data()) + p + ZipCentralRecordSize, rec.NameLength);
            e.MadeBy = rec.VersionMadeBy;
            e.Flags = rec.Flags;
            e.Method = rec.Method;
            e.DosDateTime = rec.DosDateTime;
            e.Crc32 = rec.Crc32;
            e.PackedSize = rec.CompressedSize;
            e.Size = rec.UncompressedSize;
            e.ExternalAttributes = rec.ExternalAttributes;
            e.Offset = rec.LocalHeaderOffset;
            FEntries.push_back(std::move(e));
            p += whole;
        }
    } catch (const platform::FileError& e) {
        throw EContainerError(e.what());
    }
}

std::string TSfxContainer::Setting(const std::string& key) const {
    const auto it = FSettings.find(key);
    return it == FSettings.end() ? std::string() : it->second;
}

bool TSfxContainer::AnyEncrypted() const {
    return std::any_of(FEntries.begin(), FEntries.end(), [](const TSfxEntry& e) { return e.Encrypted(); });
}

bool TSfxContainer::PasswordOpens(const TSfxEntry& entry, const std::string& password) {
    try {
        struct Null : platform::File {
            size_t Read(void*, size_t) override { return 0; }
            void Write(const void*, size_t) override {}
            void Seek(int64_t) override {}
            int64_t Position() const override { return 0; }
            int64_t Size() override { return 0; }
            void SetSize(int64_t) override {}
            void Flush() override {}
            void Close() override {}
            bool IsOpen() const override { return true; }
            const std::string& Path() const override { return path; }
            std::string path;
        } null;
        Extract(entry, password, null);
        return true;
    } catch (const EContainerError&) {
        return false;
    }
}

void TSfxContainer::Extract(const TSfxEntry& entry, const std::string& password, platform::File& out) {
    try {
        const std::vector<uint8_t> head = ReadAt(*FFile, entry.Offset, ZipLocalHeaderSize);
        TZipLocalHeader local;
        if (ReadZipLocalHeader(head.data(), head.size(), local) != TZipRecordStatus::zrOk)
            throw EContainerError("damaged entry " + entry.Name);
        int64_t data = int64_t(entry.Offset) + int64_t(ZipLocalHeaderSize) + local.NameLength + local.ExtraLength;
        uint64_t packed = entry.PackedSize;
        TZipKeys keys;
        TZipKeys* useKeys = nullptr;
        if (entry.Encrypted()) {
            if (packed < ZipEncryptHeaderSize) throw EContainerError("damaged entry " + entry.Name);
            const std::vector<uint8_t> header = ReadAt(*FFile, data, ZipEncryptHeaderSize);
            if (!ZipTestEncryptHeader(keys, header.data(), entry.Flags, password, entry.DosDateTime, entry.Crc32))
                throw EContainerError("wrong password for " + entry.Name);
            data += ZipEncryptHeaderSize;
            packed -= ZipEncryptHeaderSize;
            useKeys = &keys;
        }
        EntryInput in(*FFile, data, packed, useKeys);
        EntryOutput sink(&out);
        if (entry.Method == ZipMethodStored) {
            std::vector<uint8_t> buf(65536);
            for (size_t n; (n = in.Read(buf.data(), buf.size())) > 0;) sink.Write(buf.data(), n);
        } else if (entry.Method == ZipMethodDeflated) {
            Inflate(in, sink, entry.Size);
        } else {
            throw EContainerError("unknown method in " + entry.Name);
        }
        if (sink.written != entry.Size || sink.Crc() != entry.Crc32)
            throw EContainerError(entry.Encrypted() ? "wrong password for " + entry.Name
                                                    : "CRC error in " + entry.Name);
    } catch (const ECodecError&) {
        throw EContainerError(entry.Encrypted() ? "wrong password for " + entry.Name : "damaged data in " + entry.Name);
    } catch (const platform::FileError& e) {
        throw EContainerError(e.what());
    }
}

} // namespace mv::sfx
