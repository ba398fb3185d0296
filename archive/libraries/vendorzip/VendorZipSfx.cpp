// The self-extracting container VzZip writes when a stub module is set:
//
//   [stub program] [settings block] [zip: local entries, central directory, end record]
//
// The zip's offsets count from the start of the file, as for any zip written
// after a prefix, so zip tools read the container as an ordinary archive. The
// end record's comment is the locator "MVSFX1 <offset> <length> <crc32>" of the
// settings block (decimal offset and length, eight hexadecimal digits of its
// CRC-32). The block is the magic "MVSFX1" and a NUL, then one field per
// setting, each "key=<decimal length>:<that many bytes>\n", so that texts of
// several lines and the icon's bytes need no escaping. Keys: string.0..4,
// message.0..12, button.0..12, folder, existing, password, group, group.items,
// assoc, readme, run, install, icon (bytes of the icon file), ui (auto for a
// stub named like VzSfx32.bin, else terminal). The container gets mode 0755.
#include "archive/framework/Crc.h"
#include "archive/framework/ZipRecords.h"
#include "archive/libraries/vendorzip/VendorZipInstance.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstdio>

namespace mv {

namespace {

std::vector<uint8_t> ReadWhole(const std::string& path) {
    auto f = platform::Fs().Open(path, platform::OpenMode::Read);
    const int64_t size = f->Size();
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (size > 0) f->ReadExact(bytes.data(), bytes.size());
    return bytes;
}

void AddField(std::vector<uint8_t>& block, const std::string& key, const std::string& value) {
    const std::string head = key + "=" + std::to_string(value.size()) + ":";
    block.insert(block.end(), head.begin(), head.end());
    block.insert(block.end(), value.begin(), value.end());
    block.push_back('\n');
}

std::vector<uint8_t> SettingsBlock(const TVzSfxSettings& s, const std::string& icon) {
    std::vector<uint8_t> block = {'M', 'V', 'S', 'F', 'X', '1', 0};
    for (size_t i = 0; i < s.Strings.size(); ++i)
        AddField(block, "string." + std::to_string(i), s.Strings[i]);
    for (size_t i = 0; i < s.Messages.size(); ++i)
        AddField(block, "message." + std::to_string(i), s.Messages[i]);
    for (size_t i = 0; i < s.Buttons.size(); ++i)
        AddField(block, "button." + std::to_string(i), s.Buttons[i]);
    AddField(block, "folder", s.DefaultUnzipToFolder);
    AddField(block, "existing", std::to_string(s.ExistingFileBehavior));
    AddField(block, "password", s.DefaultPassword);
    AddField(block, "group", s.ProgramGroup);
    AddField(block, "group.items", s.ProgramGroupItems);
    AddField(block, "assoc", s.ExtensionsToAssociate);
    AddField(block, "readme", s.ReadmeFile);
    AddField(block, "run", s.ExecuteAfter);
    AddField(block, "install", std::to_string(s.InstallMode));
    AddField(block, "icon", icon);
    std::string stub = platform::NameOf(s.BinaryModule);
    std::transform(stub.begin(), stub.end(), stub.begin(), [](unsigned char c) { return std::tolower(c); });
    AddField(block, "ui", stub == "vzsfx32.bin" ? "auto" : "terminal");
    return block;
}

// Reads `count` bytes at `position` of a file.
std::vector<uint8_t> ReadAt(platform::File& f, int64_t position, size_t count) {
    std::vector<uint8_t> bytes(count);
    f.Seek(position);
    if (count) f.ReadExact(bytes.data(), count);
    return bytes;
}

} // namespace

int16_t TVendorZip::WriteSelfExtractor(const std::vector<TVzSource>& sources) {
    platform::FileInfo info;
    if (!platform::Fs().StatTarget(FSfx.BinaryModule, info)) return vzr::StubMissing;
    std::vector<uint8_t> stub;
    try {
        if (!info.IsRegular) return vzr::StubUnreadable;
        stub = ReadWhole(FSfx.BinaryModule);
    } catch (const platform::FileError&) {
        return vzr::StubUnreadable;
    }
    if (stub.empty()) return vzr::StubUnreadable;
    std::string icon;
    if (!FSfx.IconFilename.empty()) {
        try {
            const auto bytes = ReadWhole(FSfx.IconFilename);
            icon.assign(bytes.begin(), bytes.end());
        } catch (const platform::FileError&) {
            // no icon: the stub's windows keep their default one
        }
    }
    const std::vector<uint8_t> block = SettingsBlock(FSfx, icon);

    std::string folder = platform::DirectoryOf(FZipFilename);
    if (folder.empty()) folder = ".";
    std::string stage;
    try {
        stage = platform::Fs().CreateTempDirectory(folder, ".mvsfx");
    } catch (const platform::FileError&) {
        return vzr::TempFileError;
    }
    const std::string staged = platform::JoinPath(stage, "container.zip");
    int16_t r = ZipTo(staged, sources, 0, false);
    if (r) {
        platform::RemoveTree(stage);
        return r;
    }
    try {
        auto zip = platform::Fs().Open(staged, platform::OpenMode::Read);
        const int64_t size = zip->Size();
        // The end record: the last one in the tail of the file.
        const size_t tailSize = static_cast<size_t>(std::min<int64_t>(size, ZipMaxEndWindow));
        const std::vector<uint8_t> tail = ReadAt(*zip, size - static_cast<int64_t>(tailSize), tailSize);
        TZipEndRecord end;
        int64_t endAt = -1;
        for (size_t p = tailSize >= ZipEndRecordSize ? tailSize - ZipEndRecordSize + 1 : 0; p-- > 0;) {
            if (ReadZipEndRecord(tail.data() + p, tailSize - p, end) == TZipRecordStatus::zrOk) {
                endAt = size - static_cast<int64_t>(tailSize) + static_cast<int64_t>(p);
                break;
            }
        }
        if (endAt < 0 || int64_t(end.CentralOffset) + int64_t(end.CentralSize) > endAt)
            throw platform::FileError(EIO, staged, "no end record");
        const uint64_t delta = stub.size() + block.size();
        std::vector<uint8_t> central = ReadAt(*zip, end.CentralOffset, end.CentralSize);
        for (size_t p = 0; p < central.size();) {
            TZipCentralRecord rec;
            if (ReadZipCentralRecord(central.data() + p, central.size() - p, rec) != TZipRecordStatus::zrOk)
                throw platform::FileError(EIO, staged, "bad central record");
            if (NeedsZip64(rec.LocalHeaderOffset + delta)) {
                platform::RemoveTree(stage);
                return vzr::ZipWriteError;
            }
            rec.LocalHeaderOffset = static_cast<uint32_t>(rec.LocalHeaderOffset + delta);
            WriteZipCentralRecord(rec, central.data() + p);
            p += ZipCentralRecordSize + rec.NameLength + rec.ExtraLength + rec.CommentLength;
        }
        if (NeedsZip64(end.CentralOffset + delta + end.CentralSize)) {
            platform::RemoveTree(stage);
            return vzr::ZipWriteError;
        }
        char locator[80];
        std::snprintf(locator, sizeof locator, "MVSFX1 %llu %llu %08X",
                      static_cast<unsigned long long>(stub.size()),
                      static_cast<unsigned long long>(block.size()), Crc32Of(block.data(), block.size()));
        const std::string comment = locator;
        end.CentralOffset = static_cast<uint32_t>(end.CentralOffset + delta);
        end.CommentLength = static_cast<uint16_t>(comment.size());
        uint8_t endBytes[ZipEndRecordSize];
        WriteZipEndRecord(end, endBytes);

        platform::AtomicWriter out(FZipFilename);
        platform::File& o = out.Output();
        o.Write(stub.data(), stub.size());
        o.Write(block.data(), block.size());
        std::vector<uint8_t> buffer(1 << 16);
        zip->Seek(0);
        for (int64_t left = end.CentralOffset - static_cast<int64_t>(delta); left > 0;) {
            const size_t n =
                static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(buffer.size())));
            zip->ReadExact(buffer.data(), n);
            o.Write(buffer.data(), n);
            left -= static_cast<int64_t>(n);
        }
        o.Write(central.data(), central.size());
        o.Write(endBytes, sizeof endBytes);
        o.Write(comment.data(), comment.size());
        zip.reset();
        out.Commit();
        platform::Fs().SetPermissions(FZipFilename, 0755);
    } catch (const platform::FileError&) {
        r = vzr::ZipWriteError;
    }
    platform::RemoveTree(stage);
    return r ? r : Outcome();
}

} // namespace mv
