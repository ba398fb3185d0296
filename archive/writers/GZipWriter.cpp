// The GZip writer, and the encoder hooks and helpers the writers share.
#include "archive/writers/GZipWriter.h"

#include "archive/codecs/DeflatePieces.h"
#include "archive/formats/gzip/GZipFormat.h"
#include "archive/framework/ArcTimer.h"
#include "archive/framework/Crc.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipCrypt.h"
#include "archive/framework/ZipRecords.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <unordered_set>

namespace mv {

using platform::Fs;

size_t TWriterSource::Read(uint8_t* buf, size_t n) {
    size_t k;
    try {
        k = FFile.Read(buf, n);
    } catch (const std::exception&) {
        throw ECodecError(arcerr::ReadError, "the source cannot be read");
    }
    UpdateCRC32(buf, k, Crc32);
    if (FWithCrc16) UpdateCRC16(buf, k, Crc16);
    Total += k;
    if (k && FOnRead) FOnRead(k);
    return k;
}

void TWriterOutput::Write(const uint8_t* buf, size_t n) {
    if (FKeys) {
        FCrypt.resize(n);
        FKeys->EncryptBlock(buf, FCrypt.data(), n);
        buf = FCrypt.data();
    }
    FOut.Write(buf, n);
    Count += n;
}

bool StoreStream(CodecInput& in, CodecOutput& out) {
    std::vector<uint8_t> buf(1 << 16);
    for (;;) {
        size_t n = in.Read(buf.data(), buf.size());
        if (n == 0) return true;
        out.Write(buf.data(), n);
        if (out.Cancelled()) return false;
    }
}

bool IsAlreadyCompressedName(const std::string& name) {
    static const char* const exts[] = {".UUE", ".XXE", ".ENC", ".TAR", ".Z",   ".GZ",
                                       ".ZIP", ".ZOO", ".LHA", ".LZH", ".ARC", ".ARJ",
                                       ".BH",  ".PAK", ".CAB", ".RAR", ".JAR", ".ACE"};
    size_t slash = name.find_last_of("\\/");
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext = name.substr(dot);
    for (auto& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* e : exts)
        if (ext == e) return true;
    return false;
}

std::string SafeStoredName(const std::string& name) {
    std::string out, part;
    auto flush = [&]() -> bool {
        if (part.empty() || part == ".") {
        } else if (part == "..") {
            return false;
        } else {
            if (!out.empty()) out += '/';
            out += part;
        }
        part.clear();
        return true;
    };
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return {};
        if (c == '/' || c == '\\') {
            if (!flush()) return {};
        } else {
            part += c;
        }
    }
    if (!flush()) return {};
    return out;
}

// ---- TGZip -------------------------------------------------------------------

TGZip::TGZip() {
    FOwnExt = ".gz";
    FDefaultExt = ".gz";
    FAllowedMethods = 1u << static_cast<unsigned>(TCompressMethod::cmDeflate);
    FCompressMethod = TCompressMethod::cmDeflate;
    SetDeflateType(TDeflateType::dtDeflateN);
    FArcType = TArcType::atNA;
}

TGZip::~TGZip() = default;

void TGZip::SetArcType(TArcType) {
    FArcType = FArchiveFile.empty() ? TArcType::atNA : TArcType::atGZip;
    if (FArchiveFile.empty()) return;
    std::string name = platform::NameOf(FArchiveFile);
    size_t dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    std::string a = ext, b = FDefaultExt;
    for (auto& c : a) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (auto& c : b) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (a != b) FArchiveFile += FDefaultExt;
}

void TGZip::CompressArchive() {
    if (FArchiveFile.empty()) return;
    if (FSwitch == TSwitch::swRead) {
        if (platform::Exists(FArchiveFile)) ListExistingEntries();
        return;
    }
    if (FFileSpec.empty()) return;
    if (FSwitch == TSwitch::swDelete) {
        DoError(FArchiveFile, "", "0", arcerr::NothingToDo);
        return;
    }
    if (RefusesPassword()) return;
    DoActivate();
    if (OnElapsedTime) Timer().Start();
    // The sources first, so that the targets made below are never taken as sources.
    std::vector<std::string> sources;
    for (size_t i = 0; i < FFileSpec.size() && !FCancel; ++i) {
        std::string line = FFileSpec[i];
        std::replace(line.begin(), line.end(), '\\', '/');
        if (line.find('/') == std::string::npos) line = DefaultDir() + line;
        std::string folder = platform::DirectoryOf(line);
        std::string mask = platform::NameOf(line);
        std::vector<platform::DirEntry> found;
        try {
            found = platform::ListMatching(folder.empty() ? "." : folder, mask);
        } catch (const std::exception&) {
            found.clear();
        }
        bool any = false;
        for (const auto& e : found) {
            ProcessMessages();
            if (FCancel) break;
            if (AttrLeftOutBySearch(e.Info.Attributes)) continue;
            if (e.Info.IsSymlink) {
                // A link is never followed nor compressed: it is reported.
                any = true;
                SkipLink(AppendBackslash(folder) + e.Name);
                continue;
            }
            if (!e.Info.IsRegular) continue;
            any = true;
            if (!AttrPassesFilter(e.Info.Attributes)) continue;
            sources.push_back(AppendBackslash(folder) + e.Name);
            FTotalUnpacked += static_cast<int64_t>(e.Info.Size);
            // daMaxFileDate stamps every member with the newest of the sources.
            const uint32_t date = FileDosDateTime(e.Info.ModTime);
            if (date > FMaxFileDate) FMaxFileDate = date;
        }
        if (!any) DoError(mask, "", "0", arcerr::FileNotFound);
    }
    FBytesLeft = FTotalUnpacked;
    // The next files are compressed on the workers while one is written.
    struct TAheadScope {
        TGZip& self;
        ~TAheadScope() { self.StopAhead(); }
    } aheadScope{*this};
    // A source that an earlier one's member replaces is read at its turn only,
    // as it stands then.
    std::unordered_set<std::string> targets;
    {
        const std::string folder = platform::DirectoryOf(FArchiveFile);
        for (const auto& source : sources)
            targets.insert(AppendBackslash(folder.empty() ? std::string(".") : folder) + platform::NameOf(source) +
                           FDefaultExt);
    }
    StartAhead(sources.size(), [&](size_t k, std::string& path, TDeflateOptions& options) {
        if (targets.count(sources[k])) return false;
        path = sources[k];
        options.Level = FDeflateLevel;
        options.WholeMemberStore = false;
        return true;
    });
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::string& source = sources[i];
        ProcessMessages();
        if (FCancel) break;
        FRunIndex = i;
        AheadTurn(i);
        FFileCount = FCompressedCount + 1;
        bool crcPass = false;
        if (CompressOne(source)) {
            ++FCompressedCount;
            crcPass = true;
            if (FSwitch == TSwitch::swMove) DeleteSource(source);
        }
        if (OnEnd) OnEnd(this, FEntry.FileName, crcPass);
    }
    Timer().Stop();
    if (OnElapsedTime) OnElapsedTime(this, Timer().Elapsed());
    DoDeactivate();
}

void TGZip::ListExistingEntries() {
    FFileCount = 0;
    if (!OnRead) return;
    try {
        auto in = Fs().Open(FArchiveFile, platform::OpenMode::Read);
        const int64_t size = in->Size();
        const TReadAt readAt = [&in](int64_t pos, uint8_t* buffer, int64_t n) -> int64_t {
            return static_cast<int64_t>(in->ReadAt(pos, buffer, static_cast<size_t>(n)));
        };
        TGZipHeader h;
        if (size < int64_t(GZipHeaderSize + GZipTrailerSize) ||
            ReadGZipHeader(readAt, 0, size, h) != TGZipHeaderStatus::ghOk || h.Magic != GZipMagic ||
            h.Method != GZipMethodDeflate)
            RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
        const int64_t pos = h.DataPos;
        std::string name = h.Name;
        uint8_t t[8];
        if (pos + 8 > size || in->ReadAt(size - 8, t, sizeof t) != sizeof t)
            RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
        if (name.empty()) {
            name = platform::NameOf(FArchiveFile);
            const size_t dot = name.find_last_of('.');
            if (dot != std::string::npos && dot > 0) name.resize(dot);
        }
        FEntry = TArcEntryInfo{};
        FEntry.FileName = SlashToBackslash(name);
        FEntry.VersionMadeBy = 122;
        FEntry.VersionNeeded = 112;
        FEntry.PackedSize = size - pos - 8;
        FEntry.UnpackedSize = LE32(t + 4);
        FEntry.CRC = LE32(t);
        FEntry.MethodCode = 8;
        // The extra flags tell the level: 2 the best, 4 the fastest.
        const uint8_t level = h.ExtraFlags == 2 ? 9 : h.ExtraFlags == 4 ? 1 : 6;
        FEntry.MethodText = DeflateLevelName(ZipDeflateFlagBits(level));
        FEntry.Ratio = CompressRatio(FEntry.PackedSize, FEntry.UnpackedSize);
        if (const uint32_t stamp = h.MTime) FEntry.DateTime = UnixTimeToDateTime(stamp);
        BeforeListEntry(FEntry.FileName);
        ++FFileCount;
        OnRead(this, 0, FFileCount);
    } catch (const E_RAISE&) {
    } catch (const std::exception&) {
        DoError(FArchiveFile, "", "0", arcerr::ReadError);
    }
}

bool TGZip::CompressOne(const std::string& source) {
    std::string folder = platform::DirectoryOf(FArchiveFile);
    std::string target =
        AppendBackslash(folder.empty() ? std::string(".") : folder) + platform::NameOf(source) + FDefaultExt;
    FEntry = TArcEntryInfo{};
    FEntry.FileName = SlashToBackslash(source);
    std::string named = target;
    if (!BeforeCompressFile(named, FFileCount)) return false;
    if (named != target && !named.empty()) target = named;

    platform::FileInfo existing;
    if (Fs().Stat(target, existing)) {
        if (FConfirmOverwrites && OnFileExists) {
            TOverwriteMode mode = TOverwriteMode::omOverwrite;
            OnFileExists(this, target, ConvertDate(FileDosDateTime(existing.ModTime)), mode);
            // The user's answer holds: a skipped target stays as it is.
            if (mode == TOverwriteMode::omSkip) return false;
        }
        if (!existing.IsRegular || existing.IsSymlink || (existing.Attributes & platform::faReadOnly)) {
            bool allow = false;
            if (existing.IsRegular && !existing.IsSymlink && OnNonWriteableArchive)
                OnNonWriteableArchive(this, target, allow);
            if (!allow) {
                DoError(target, "", "0", arcerr::WriteError);
                return false;
            }
            try {
                Fs().SetReadOnly(target, false);
            } catch (const std::exception&) {
                DoError(target, "", "0", arcerr::WriteError);
                FCancel = true;
                return false;
            }
        }
    }
    std::unique_ptr<platform::File> src;
    platform::FileInfo info;
    try {
        src = TakeAheadSource(FRunIndex);
        if (!src) src = Fs().Open(source, platform::OpenMode::Read);
        if (!Fs().Stat(source, info)) info.ModTime = 0;
    } catch (const std::exception&) {
        DoError(source, "", "0", arcerr::OpenError);
        return false;
    }
    std::unique_ptr<platform::AtomicWriter> writer;
    try {
        writer = std::make_unique<platform::AtomicWriter>(target);
    } catch (const std::exception&) {
        DoError(target, "", "0", arcerr::OpenError);
        return false;
    }
    int64_t mtime = info.ModTime;
    if (FDateAttribute != TDateAttribute::daFileDate)
        mtime = FDateAttribute == TDateAttribute::daSysDate
                    ? static_cast<int64_t>(std::time(nullptr))
                    : DateTimeToUnixTime(DosDateTimeToDateTime(FMaxFileDate));
    // gzip keeps 32 bits of Unix time; 0 means "no time".
    uint32_t stamp = mtime > 0 && mtime <= 0xFFFFFFFFll ? static_cast<uint32_t>(mtime) : 0;
    std::string fname = platform::NameOf(source);
    uint8_t header[GZipHeaderSize];
    PutGZipHeader(header, GZipFlagName, stamp, 0, 0);
    uint32_t crc = 0;
    uint64_t size = 0, packed = 0;
    try {
        platform::File& out = writer->Output();
        out.Write(header, sizeof header);
        out.Write(fname.c_str(), fname.size() + 1);
        int64_t operationTotal = FTotalUnpacked;
        uint64_t expected = info.Size;
        // A gzip member checks its data by CRC-32 alone.
        TWriterSource in(
            *src,
            [&](size_t k) {
                FBytesLeft -= static_cast<int64_t>(k);
                DoProgress(static_cast<int64_t>(k), static_cast<int64_t>(expected), operationTotal);
            },
            false);
        TWriterOutput pack(out, nullptr, FCancel);
        TDeflateOptions o;
        o.Level = FDeflateLevel;
        o.WholeMemberStore = false; // a gzip member always holds a deflate stream
        TDeflateResult r;
        try {
            r = DeflateEntry(FEncoder, in, pack, o);
        } catch (const ECodecError& e) {
            DoError(source, "", "0", e.Code());
            return false;
        }
        if (r.Cancelled || FCancel) {
            DoError(FArchiveFile, "", "0", arcerr::UserAbort);
            return false;
        }
        if (pack.Count == 0) {
            // An empty file: the empty final block.
            const uint8_t empty[2] = {0x03, 0x00};
            pack.Write(empty, 2);
        }
        crc = in.Crc32 ^ 0xFFFFFFFFu;
        size = in.Total;
        packed = pack.Count;
        uint8_t trailer[8];
        PutLE32(trailer, crc);
        PutLE32(trailer + 4, static_cast<uint32_t>(size));
        out.Write(trailer, sizeof trailer);
        src.reset();
        writer->Commit();
        if (stamp) Fs().SetModTime(target, mtime);
    } catch (const E_RAISE&) {
        return false;
    } catch (const std::exception& e) {
        DoError(target, e.what(), "0", arcerr::WriteError);
        return false;
    }
    FPackedCount = packed;
    FTotalPacked += static_cast<int64_t>(packed);
    if (OnRead) {
        FEntry = TArcEntryInfo{};
        FEntry.FileName = fname;
        FEntry.VersionMadeBy = 122;
        FEntry.VersionNeeded = 112;
        FEntry.PackedSize = static_cast<int64_t>(packed);
        FEntry.UnpackedSize = static_cast<int64_t>(size);
        FEntry.CRC = crc;
        FEntry.Encrypted = false;
        FEntry.MethodCode = 8;
        FEntry.MethodText = DeflateLevelName(ZipDeflateFlagBits(FDeflateLevel));
        FEntry.Ratio = CompressRatio(static_cast<int64_t>(packed), static_cast<int64_t>(size));
        if (stamp) FEntry.DateTime = UnixTimeToDateTime(mtime);
        OnRead(this, 0, 1);
    }
    FEntry.FileName = SlashToBackslash(source);
    return true;
}

} // namespace mv
