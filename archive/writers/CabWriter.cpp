#include "archive/writers/CabWriter.h"

#include "archive/framework/SharedRoutines.h"
#include "archive/writers/GZipWriter.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace mv {

namespace {

constexpr int OpenBinary = 0x8000;

// The method the library is really asked for (the low nibble of the code):
// what the entry reports, as the lister names cabinet methods.
void MethodOfCode(uint16_t code, std::string& text, uint16_t& number) {
    static const char* const names[] = {"Stored", "MsZIP", "Quantum", "Lzx"};
    number = static_cast<uint16_t>(code & 0x0F);
    text = number < 4 ? names[number] : "Unknown";
}

void RemoveQuietly(const std::string& path) {
    try {
        platform::Fs().RemoveFile(path);
    } catch (const std::exception&) {
        // already gone
    }
}

std::string CabinetErrorText(const cab::TCabErrorRecord& e) {
    return ECabinetError(e.erfOper, e.erfType).what();
}

} // namespace

// The file handler of the writer: the library's reads of the current source
// are counted for the progress events.
class TMakeCAB::TWriterFileHandler : public TStreamCabinetFileHandler {
public:
    explicit TWriterFileHandler(TMakeCAB& owner) : FOwner(owner) {}
    uint32_t Read(intptr_t handle, void* buffer, uint32_t count, int& error) override {
        uint32_t got = TStreamCabinetFileHandler::Read(handle, buffer, count, error);
        try {
            FOwner.SourceRead(handle, got);
        } catch (...) {
            // Nothing unwinds through the library: kept for after its call.
            FOwner.FCallbackError = std::current_exception();
            error = ECANCELED;
            return 0;
        }
        if (FOwner.FCancel && handle == FOwner.FSource) {
            error = ECANCELED;
            return 0;
        }
        return got;
    }

private:
    TMakeCAB& FOwner;
};

TMakeCAB::TMakeCAB() : FHandler(std::make_unique<TWriterFileHandler>(*this)) {
    FOwnExt = ".cab";
    FDefaultExt = ".cab";
    FAllowedMethods = (1u << static_cast<unsigned>(TCompressMethod::cmStore)) |
                      (1u << static_cast<unsigned>(TCompressMethod::cmMsZip)) |
                      (1u << static_cast<unsigned>(TCompressMethod::cmLzx)) |
                      (1u << static_cast<unsigned>(TCompressMethod::cmQuantum));
    FCompressMethod = TCompressMethod::cmMsZip;
    FStoredDirNames = TStoredDirNames::sdRelative;
    FArcType = TArcType::atNA;
}

TMakeCAB::~TMakeCAB() {
    DestroyContext();
    RemoveOldMembers();
}

void TMakeCAB::SetArcType(TArcType) {
    FArcType = FArchiveFile.empty() ? TArcType::atNA : TArcType::atCab;
    if (FArcType == TArcType::atCab) AddDefaultExt();
}

void TMakeCAB::SetLzxLevel(int value) {
    FLzxLevel = std::clamp(value, 15, 21);
}

void TMakeCAB::SetQuantumLevel(int value) {
    FQuantumLevel = std::clamp(value, 1, 7);
}

void TMakeCAB::SetQuantumMemory(int value) {
    FQuantumMemory = std::clamp(value, 10, 21);
}

uint16_t TMakeCAB::CompressionCode() const {
    switch (FCompressMethod) {
    case TCompressMethod::cmStore:
        return 0;
    case TCompressMethod::cmLzx:
        return CabLzxCompression(FLzxLevel);
    case TCompressMethod::cmQuantum: {
        int type = FQuantumType == TCompressionType::ctLzx ? 3 : static_cast<int>(FQuantumType);
        return CabCompressionType(type, FQuantumLevel, FQuantumMemory);
    }
    default:
        return 1;
    }
}

// ---- the library's callbacks ------------------------------------------------

void TMakeCAB::SourceRead(intptr_t handle, uint32_t count) {
    if (handle != FSource || count == 0 || FBlockStart <= 0) return;
    FBlockStart = std::max<int64_t>(0, FBlockStart - count);
    FBytesLeft = std::max<int64_t>(0, FBytesLeft - count);
    DoProgress(FSourceSize - FBlockStart, FSourceSize, FTotalUnpacked);
}

void TMakeCAB::FciGetNextCabinet(cab::TCabParameters& cabParameters, std::string& newCabFileName,
                                 uint32_t previousCabEstimatedSize, bool& abortCreation) {
    if (OnGetNextCabinet)
        OnGetNextCabinet(this, cabParameters, newCabFileName, previousCabEstimatedSize, abortCreation);
}

void TMakeCAB::FciGetTempFile(std::string& name, bool& ok) {
    name = MakeTempFileName();
    ok = !name.empty();
}

void TMakeCAB::FciGetOpenInfo(const std::string& fileName, uint16_t& date, uint16_t& time,
                              uint16_t& attributes, int& error, intptr_t& handle) {
    handle = FHandler->Open(fileName, OpenBinary, 0, error);
    if (handle < 0) {
        if (!error) error = ENOENT;
        return;
    }
    FSource = handle;
    uint32_t dos = 0;
    if (FCurrentOld) {
        date = FCurrentOld->Date;
        time = FCurrentOld->Time;
        attributes = FCurrentOld->Attributes;
        return;
    }
    dos = FCurrentDate;
    date = static_cast<uint16_t>(dos >> 16);
    time = static_cast<uint16_t>(dos & 0xFFFF);
    attributes = static_cast<uint16_t>(FCurrentAttributes & 0x27);
    if (OnRead) {
        FEntry.PackedSize = FEntry.UnpackedSize = FBlockStart;
        FEntry.DateTime = DosDateTimeToDateTime(dos);
        FEntry.ExternalAttr = attributes;
        FEntry.CRC = 0;
        FEntry.Ratio = 0;
        FEntry.Encrypted = false;
    }
}

bool TMakeCAB::NextCabinetCallback(void* user, cab::TCabParameters* cab, uint32_t previousSize) {
    auto* self = static_cast<TMakeCAB*>(user);
    try {
        std::string next;
        bool abort = true;
        self->FciGetNextCabinet(*cab, next, previousSize, abort);
        if (abort) return false;
        std::string folder = platform::DirectoryOf(next);
        std::string name = platform::NameOf(next);
        if (!folder.empty()) folder = AppendBackslash(folder);
        if (name.size() >= sizeof cab->szCab || folder.size() >= sizeof cab->szCabPath) return false;
        std::memcpy(cab->szCab, name.c_str(), name.size() + 1);
        std::memcpy(cab->szCabPath, folder.c_str(), folder.size() + 1);
        return true;
    } catch (...) {
        self->FCallbackError = std::current_exception();
        return false;
    }
}

intptr_t TMakeCAB::OpenInfoCallback(void* user, const char* name, uint16_t* date, uint16_t* time,
                                    uint16_t* attribs, int* err) {
    auto* self = static_cast<TMakeCAB*>(user);
    try {
        *err = 0;
        intptr_t handle = -1;
        self->FciGetOpenInfo(name, *date, *time, *attribs, *err, handle);
        return *err ? -1 : handle;
    } catch (...) {
        self->FCallbackError = std::current_exception();
        *err = ECANCELED;
        return -1;
    }
}

int TMakeCAB::StatusCallback(void*, unsigned, uint32_t, uint32_t) {
    return 0;
}

void TMakeCAB::CreateContext() {
    if (FContext) return;
    cab::TFciCallbacks cb;
    cb.Files = CabinetCallbacks(*FHandler);
    cb.FilePlaced = [](void*, cab::TCabParameters*, const char*, int64_t, bool) { return 0; };
    cb.GetTempFile = [](void* user, char* buffer, int size) -> bool {
        auto* self = static_cast<TMakeCAB*>(user);
        try {
            std::string name;
            bool ok = false;
            self->FciGetTempFile(name, ok);
            if (!ok || name.size() >= static_cast<size_t>(size)) return false;
            std::memcpy(buffer, name.c_str(), name.size() + 1);
            return true;
        } catch (...) {
            self->FCallbackError = std::current_exception();
            return false;
        }
    };
    // The cabinet is written under the temporary name the driver chose beside
    // the archive and renamed over it once complete; a single cabinet does not
    // record its own name.
    cab::TCabParameters p;
    p.cb = 0x7FFFFFFF;
    p.cbFolderThresh = 900000;
    p.setID = 0;
    p.fFailOnIncompressible = FFailOnIncompressible;
    const std::string folder = platform::DirectoryOf(FTempFileName);
    const std::string name = platform::NameOf(FTempFileName);
    const std::string path = folder.empty() ? std::string() : AppendBackslash(folder);
    if (name.empty() || name.size() >= sizeof p.szCab || path.size() >= sizeof p.szCabPath)
        RaiseError(FArchiveFile, "", "0", arcerr::WriteError);
    std::memcpy(p.szCab, name.c_str(), name.size() + 1);
    std::memcpy(p.szCabPath, path.c_str(), path.size() + 1);
    FContext = cab::FciCreate(&FErrorRecord, cb, p, this);
    if (!FContext) RaiseLibraryError(arcerr::WriteError);
}

void TMakeCAB::DestroyContext() {
    if (!FContext) return;
    cab::FciDestroy(FContext);
    FContext = nullptr;
}

void TMakeCAB::RethrowCallbackError() {
    if (!FCallbackError) return;
    std::exception_ptr e = FCallbackError;
    FCallbackError = nullptr;
    std::rethrow_exception(e);
}

void TMakeCAB::RaiseLibraryError(int code) {
    RethrowCallbackError();
    if (FCancel) RaiseError(FArchiveFile, "", "0", arcerr::UserAbort);
    RaiseError(FArchiveFile, FErrorRecord.fError ? CabinetErrorText(FErrorRecord) : std::string(), "0", code);
    throw E_RAISE(code);
}

bool TMakeCAB::AddToCabinet(const std::string& source, const std::string& storedName, int64_t size,
                            uint16_t code) {
    CreateContext();
    FSourceSize = size;
    FBlockStart = size;
    FSource = -1;
    bool ok = cab::FciAddFile(FContext, source.c_str(), storedName.c_str(), false, NextCabinetCallback,
                              StatusCallback, OpenInfoCallback, code);
    FSource = -1;
    FBlockStart = 0;
    RethrowCallbackError();
    if (ok) ++FFilesAdded;
    return ok;
}

// ---- the writer's steps -----------------------------------------------------

void TMakeCAB::CompressArchive() {
    // The driver reports every failure itself; the library context and the
    // decoded old members go whatever happened.
    FFilesAdded = 0;
    TCompBase::CompressArchive();
    DestroyContext();
    RemoveOldMembers();
}

bool TMakeCAB::CompressFile(size_t index) {
    THeadObject& head = *FEntryList[index].Head;
    const std::string path = head.SourcePath;
    SetFileName(path);
    std::string name = FEntry.FileName;
    if (!BeforeCompressFile(name, FFileCount)) {
        FBytesLeft -= static_cast<int64_t>(head.NewSize);
        return false;
    }
    const std::string safe = SafeStoredName(name);
    if (safe.empty() || safe.size() >= sizeof(cab::TCabParameters::szCab)) {
        FBytesLeft -= static_cast<int64_t>(head.NewSize);
        DoError(path, "", "0", arcerr::InvalidName);
        if (OnEnd) OnEnd(this, path, false);
        return false;
    }
    const std::string stored = SlashToBackslash(safe);
    const uint16_t code = CompressionCode();
    MethodOfCode(code, FEntry.MethodText, FEntry.MethodCode);
    FCurrentOld = nullptr;
    FCurrentDate = CurrentDosDateTime(head.NewDate);
    FCurrentAttributes = head.NewAttributes;
    const int64_t before = FBytesLeft;
    if (!AddToCabinet(path, stored, static_cast<int64_t>(head.NewSize), code)) {
        if (FCancel) RaiseError(FArchiveFile, "", "0", arcerr::UserAbort);
        const int oper = FErrorRecord.erfOper;
        int error;
        switch (oper) {
        case cab::fcieOpenSrc:
            error = arcerr::OpenError;
            break;
        case cab::fcieReadSrc:
            error = arcerr::ReadError;
            break;
        case cab::fcieBadComprType:
            error = arcerr::UnknownMethod;
            break;
        default:
            // The cabinet itself failed (temporary file, size limits): the run ends.
            RaiseLibraryError(oper == cab::fcieCabFormatLimit ? arcerr::TooLarge : arcerr::WriteError);
        }
        // This file alone failed: reported, and the run goes on with the next.
        FBytesLeft = before - static_cast<int64_t>(head.NewSize);
        DoError(path, CabinetErrorText(FErrorRecord), "0", error);
        if (OnEnd) OnEnd(this, path, false);
        return false;
    }
    FEntry.FileName = stored;
    if (OnRead) OnRead(this, 0, 0);
    if (OnEnd) OnEnd(this, path, true);
    FEntry.FileName = stored;
    return true;
}

void TMakeCAB::CopyEntry(size_t index) {
    const THeadObject& head = *FEntryList[index].Head;
    const size_t slot = static_cast<size_t>(head.Offset);
    if (slot >= FOldMembers.size()) RaiseError(FArchiveFile, "", "0", arcerr::WriteError);
    const TOldMember& member = FOldMembers[slot];
    FCurrentOld = &member;
    // Kept members keep their compression; Quantum, which is not written,
    // becomes the run's.
    const uint16_t code = (member.Compression & 0x0F) == 2 ? CompressionCode() : member.Compression;
    const bool ok = AddToCabinet(member.TempPath, member.Name, member.Size, code);
    FCurrentOld = nullptr;
    // A member of the old cabinet is never dropped quietly: the run ends and the
    // old cabinet stays.
    if (!ok) RaiseLibraryError(arcerr::WriteError);
}

void TMakeCAB::WriteTrailer() {
    // Deleting every member would leave a cabinet that no reader accepts: the
    // archive stays as it is.
    if (FFilesAdded == 0) RaiseError(FArchiveFile, "no member would remain", "0", arcerr::UpdateError);
    CreateContext();
    const bool ok = cab::FciFlushCabinet(FContext, false, NextCabinetCallback, StatusCallback);
    if (!ok) RaiseLibraryError(arcerr::WriteError);
    if (!cab::FciDestroy(FContext)) {
        FContext = nullptr;
        RaiseError(FArchiveFile, "", "0", arcerr::WriteError);
    }
    FContext = nullptr;
}

// ---- the members of an existing cabinet ------------------------------------

intptr_t TMakeCAB::OldCabinetNotify(cab::TFdiNotificationType kind, cab::TFdiNotification* n) {
    auto* self = static_cast<TMakeCAB*>(n->pv);
    try {
        switch (kind) {
        case cab::fdintCopyFile: {
            std::string raw = n->psz1 ? n->psz1 : "";
            std::string name = (n->attribs & 0x80) ? Utf8ToAnsiPath(raw) : OemToAnsiPath(raw);
            if (self->IsDeletedName(name)) {
                ++self->FDeletedCount;
                return 0;
            }
            if (self->FSwitch == TSwitch::swRead) {
                // Listing: the member's facts are enough, its data is not decoded.
                auto head = std::make_unique<THeadObject>();
                head->OriginalSize = head->StoredSize = static_cast<uint64_t>(n->cb);
                head->DosDateTime = uint32_t(n->date) << 16 | n->time;
                head->Attributes = n->attribs & 0x27;
                head->Word = n->typeCompress;
                self->FEntryList.push_back({name, std::move(head)});
                self->FSpecIndexList.push_back(0);
                return 0;
            }
            TOldMember m;
            m.Name = name;
            m.Date = n->date;
            m.Time = n->time;
            m.Attributes = n->attribs;
            m.Compression = n->typeCompress;
            m.Size = static_cast<uint32_t>(n->cb);
            m.TempPath = self->MakeTempFileName();
            if (m.TempPath.empty()) return -1;
            int err = 0;
            intptr_t h = self->FHandler->Open(
                m.TempPath, OpenBinary | cab::cabOpenCreate | cab::cabOpenReadWrite, 0600, err);
            if (h < 0) {
                RemoveQuietly(m.TempPath);
                return -1;
            }
            self->FPending = std::move(m);
            self->FPendingHandle = h;
            return h;
        }
        case cab::fdintCloseFileInfo: {
            int err = 0;
            self->FHandler->Close(self->FPendingHandle, err);
            self->FPendingHandle = -1;
            TOldMember m = std::move(self->FPending);
            auto head = std::make_unique<THeadObject>();
            head->Offset = static_cast<int64_t>(self->FOldMembers.size());
            head->OriginalSize = head->StoredSize = m.Size;
            head->DosDateTime = uint32_t(m.Date) << 16 | m.Time;
            head->Attributes = m.Attributes & 0x27;
            head->Status = THeadObject::hsKeep;
            const std::string name = m.Name;
            self->FOldMembers.push_back(std::move(m));
            self->FEntryList.push_back({name, std::move(head)});
            self->FSpecIndexList.push_back(0);
            self->IndexEntry(self->FEntryList.size() - 1, name);
            return 1;
        }
        case cab::fdintNextCabinet:
            return -1; // sets are refused before the copy
        default:
            return 0;
        }
    } catch (...) {
        self->FCallbackError = std::current_exception();
        return -1;
    }
}

void TMakeCAB::ScanExistingEntries() {
    cab::TCabErrorRecord error;
    cab::TFdiContext* fdi = cab::FdiCreate(CabinetCallbacks(*FHandler), 0, &error);
    if (!fdi) RaiseError(FArchiveFile, CabinetErrorText(error), "0", arcerr::UpdateError);
    struct Destroy {
        cab::TFdiContext* c;
        ~Destroy() { cab::FdiDestroy(c); }
    } destroy{fdi};
    int err = 0;
    intptr_t h = FHandler->Open(FArchiveFile, OpenBinary, 0, err);
    if (h < 0) RaiseError(FArchiveFile, "", "0", arcerr::OpenError);
    cab::TFdiCabinetInfo info;
    const bool isCabinet = cab::FdiIsCabinet(fdi, h, &info);
    FHandler->Close(h, err);
    // Not a cabinet: it is not replaced by one holding only the new files.
    if (!isCabinet) RaiseError(FArchiveFile, "", "0", arcerr::NoHeader);
    // A member of a set may go on in the next cabinet: the set is left alone.
    if (info.hasprev || info.hasnext) RaiseError(FArchiveFile, "", "0", arcerr::UpdateError);
    const std::string folder = platform::DirectoryOf(FArchiveFile);
    const std::string path = folder.empty() ? std::string() : AppendBackslash(folder);
    const std::string name = platform::NameOf(FArchiveFile);
    FCallbackError = nullptr;
    FPendingHandle = -1;
    error = {};
    const bool ok = cab::FdiCopy(fdi, name.c_str(), path.c_str(), 0, OldCabinetNotify, nullptr, this);
    if (FPendingHandle >= 0) {
        FHandler->Close(FPendingHandle, err);
        RemoveQuietly(FPending.TempPath);
        FPendingHandle = -1;
    }
    RethrowCallbackError();
    // An old cabinet that cannot be read whole is not rewritten.
    if (!ok)
        RaiseError(FArchiveFile, error.fError ? CabinetErrorText(error) : std::string(), "0",
                   arcerr::UpdateError);
}

void TMakeCAB::FillEntryInfo(const THeadObject& head) {
    TCompBase::FillEntryInfo(head);
    FEntry.CRC = 0;
    switch (head.Word & 0x0F) {
    case 0:
        FEntry.MethodText = "Stored";
        FEntry.MethodCode = 0;
        break;
    case 1:
        FEntry.MethodText = "MsZIP";
        FEntry.MethodCode = 1;
        break;
    case 2:
        FEntry.MethodText = "Quantum";
        FEntry.MethodCode = 3;
        break;
    default:
        FEntry.MethodText = "Lzx";
        FEntry.MethodCode = 2;
        break;
    }
}

void TMakeCAB::RemoveOldMembers() {
    for (const auto& m : FOldMembers) RemoveQuietly(m.TempPath);
    FOldMembers.clear();
}

} // namespace mv
