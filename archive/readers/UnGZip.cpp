// The gzip walk: a 10-byte header, the optional fields its flags announce
// (extra field, name, comment, header CRC), deflated data, and an 8-byte
// trailer (CRC-32 and size) right where the deflated data ends. Another member
// may follow; anything else after a member is ignored, as gzip does. The .Z
// form is one LZW stream from the file's first byte.
#include "archive/readers/UnGZip.h"

#include "archive/codecs/CompressDecode.h"
#include "archive/codecs/Inflate.h"
#include "archive/formats/gzip/GZipFormat.h"
#include "archive/framework/Bytes.h"
#include "archive/framework/Crc.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/TextUtils.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

namespace mv {

namespace {

// Reads a member header at the stream's position; the position is left at the data.
bool ReadHeader(TArcStream& f, TGZipHeader& h) {
    if (ReadGZipHeader(ReadAtOf(f), f.Position(), f.Size(), h) != TGZipHeaderStatus::ghOk) return false;
    if (h.Name.size() > GZipNameKept) h.Name.resize(GZipNameKept);
    return f.Seek(h.DataPos);
}

} // namespace

TUnGZIP::TUnGZIP() = default;
TUnGZIP::~TUnGZIP() = default;

std::unique_ptr<TUnBase> NewGZipReader() {
    auto r = std::make_unique<TUnGZIP>();
    r->FOwnedUnTar = std::make_unique<TUnTAR>();
    r->FUnTar = r->FOwnedUnTar.get();
    return r;
}

std::string TUnGZIP::DefaultName() const {
    std::string base = ExtractEntryFileName(FArchiveFile);
    const size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) base.resize(dot);
    return base;
}

void TUnGZIP::ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) {
    try {
        if (!file) RaiseError(FArchiveFile, "", "0", arcerr::OpenError);
        uint8_t m[2];
        if (!file->Seek(0) || !ReadFully(*file, m, 2)) RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
        const uint16_t magic = LE16(m);
        if (!IsGZipMagic(magic)) RaiseError(FArchiveFile, "", "0", arcerr::HeaderIdError);
        FTotalPacked = FTotalUnpacked = FBytesLeft = file->Size();
        if (HasGZipHeader(magic))
            ExtractGZip(*file, stream, magic);
        else if (magic == CompressMagic)
            ExtractCompress(*file, stream);
        else
            DoError(FArchiveFile, "", "0", arcerr::UnknownMethod);
    } catch (const E_RAISE&) {
        // reported through OnError already
    }
}

bool TUnGZIP::BeginOutput(TOutput& o, int64_t fileSize) {
    SetFileName(o.Name);
    if (FEntry.FileName.empty() && FWriteMode != rwSink) {
        DoError(o.Name, "", "0", arcerr::InvalidName);
        return false;
    }
    if (DecideMember(o.Name, DosDateTimeToDateTime(o.DosDate), fileSize) != TMemberDecision::mdExtract)
        return false;
    o.ReportName = ReportName(o.Name);
    o.Target = FEntry.FileName;
    return OpenMemberOutput(o.Out, 0);
}

bool TUnGZIP::EndOutput(TOutput& o, TArcStream* stream, bool ok, bool checkFailed) {
    FBytesLeft = 0;
    FMemberBytesLeft = 0;
    const bool placed = AfterExtractFile(o.Out, stream, 32, o.DosDate, o.Name, ok, o.UnixTime);
    if (OnEnd)
        OnEnd(this, o.ReportName, ok);
    else if (checkFailed)
        DoError(o.ReportName, "", "0", arcerr::CrcError);
    if (ok && placed) RunUnTar(o.Target);
    return ok;
}

bool TUnGZIP::ExtractGZip(TArcStream& file, TArcStream* stream, uint16_t magic) {
    (void)magic;
    const int64_t fileSize = file.Size();
    file.Seek(0);
    TGZipHeader h;
    if (!ReadHeader(file, h)) RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
    if (h.Flags & GZipFlagEncrypted) RaiseError(FArchiveFile, "", "0", arcerr::PasswordProtected);
    if ((h.Flags & GZipFlagReserved) || h.Method != GZipMethodDeflate)
        RaiseError(FArchiveFile, "", "0", arcerr::UnknownMethod);
    // gzip's own rule: the stored name's last component only.
    std::string stored = ExtractEntryFileName(h.Name);
    if (stored == "." || stored == "..") stored.clear();
    TOutput o;
    o.Name = stored.empty() ? DefaultName() : Utf8OrLatin1(stored);
    if (h.MTime != 0) {
        o.UnixTime = int64_t(h.MTime);
        o.DosDate = FileDosDateTime(o.UnixTime);
    } else {
        platform::FileInfo info;
        if (platform::Fs().Stat(FArchiveFile, info)) o.UnixTime = info.ModTime;
        o.DosDate = o.UnixTime >= 0 ? FileDosDateTime(o.UnixTime) : 0;
    }
    if (!BeginOutput(o, fileSize)) return false;
    bool ok = true, crcFailed = false;
    try {
        TMemberOutput output(*this, o.Out.get(), stream, crc32);
        for (int member = 0; ok && !FCancel; ++member) {
            const int64_t dataStart = file.Position();
            FMemberBytesLeft = fileSize - dataStart;
            FMemberPackedTotal = FMemberBytesLeft;
            SetCrc32Register(CrcSeed);
            TMemberInput input(*this, &file, stream, false);
            const uint64_t before = output.Written();
            InflateResult r = Inflate(input, output);
            if (!r.complete) {
                ok = false;
                break;
            }
            uint8_t t[8];
            if (!file.Seek(dataStart + int64_t(r.consumed)) || !ReadFully(file, t, 8)) {
                DoError(o.ReportName, "", "0", arcerr::ReadError);
                ok = false;
                break;
            }
            const uint32_t crc = LE32(t);
            const uint32_t size = LE32(t + 4);
            if ((Crc32Register() ^ CrcSeed) != crc || uint32_t(output.Written() - before) != size) {
                ok = false;
                crcFailed = true;
                break;
            }
            // Another member continues the output; anything else ends it.
            const int64_t next = file.Position();
            uint8_t m[2];
            if (next + 18 > fileSize || !ReadFully(file, m, 2) ||
                !(m[0] == 0x1F && (m[1] == 0x8B || m[1] == 0x9E)))
                break;
            file.Seek(next);
            TGZipHeader more;
            if (!ReadHeader(file, more) || more.Method != GZipMethodDeflate ||
                (more.Flags & (GZipFlagEncrypted | GZipFlagReserved))) {
                file.Seek(next);
                break; // not a member after all: trailing bytes
            }
        }
    } catch (const ECodecError& e) {
        DoError(o.ReportName, "", "0", e.Code());
        ok = false;
    } catch (const E_RAISE&) {
        ok = false;
    }
    if (FCancel) ok = false;
    return EndOutput(o, stream, ok, crcFailed);
}

bool TUnGZIP::ExtractCompress(TArcStream& file, TArcStream* stream) {
    const int64_t fileSize = file.Size();
    TOutput o;
    o.Name = DefaultName();
    platform::FileInfo info;
    o.DosDate = platform::Fs().Stat(FArchiveFile, info) ? FileDosDateTime(info.ModTime) : 0;
    if (!BeginOutput(o, fileSize)) return false;
    bool ok = false, decodeFailed = false;
    try {
        file.Seek(0);
        FMemberBytesLeft = fileSize;
        FMemberPackedTotal = fileSize;
        SetCrc32Register(CrcSeed);
        TMemberInput input(*this, &file, stream, false);
        TMemberOutput output(*this, o.Out.get(), stream, crc32);
        TCompressResult r = CompressDecode(input, output);
        ok = r.Complete && !FCancel;
        decodeFailed = !r.Complete && !FCancel;
    } catch (const ECodecError& e) {
        DoError(o.ReportName, "", "0", e.Code());
    } catch (const E_RAISE&) {
    }
    return EndOutput(o, stream, ok, decodeFailed);
}

void TUnGZIP::RunUnTar(const std::string& tarFile) {
    if (!FUnTar || FWriteMode != rwFile) return;
    FUnTar->SetArchiveFile(tarFile);
    if (FUnTar->ArcType() != TArcType::atTar) return;
    FUnTar->SetUseStoredDirs(true);
    FUnTar->SetExtractDir(FExtractDir);
    FUnTar->FileSpecList() = FFileSpec;
    FUnTar->SetOverwriteMode(FOverwriteMode);
    if (FUnTar == FOwnedUnTar.get()) {
        // The tar reader of our own speaks through this component's events.
        FUnTar->OnError = OnError;
        FUnTar->OnEnd = OnEnd;
        FUnTar->OnFileExists = OnFileExists;
        FUnTar->OnBegin = OnBegin;
        FUnTar->OnProgress = OnProgress;
    }
    try {
        FUnTar->Extract();
    } catch (const E_RAISE&) {
        // reported through the tar reader's OnError
    }
}

} // namespace mv
