#include "archive/readers/UnCab.h"

#include "archive/framework/SharedRoutines.h"

#include <cstring>

namespace mv {

namespace {

// The library's error codes as the components' error numbers.
int CabErrorId(int oper) {
    switch (oper) {
    case cab::fdieCabinetNotFound:
        return arcerr::OpenError;
    case cab::fdieNotACabinet:
    case cab::fdieUnknownCabinetVersion:
        return arcerr::HeaderError;
    case cab::fdieBadCompressionType:
        return arcerr::UnknownMethod;
    case cab::fdieTargetFile:
        return arcerr::WriteError;
    case cab::fdieWrongCabinet:
    case cab::fdieUserAbort:
        return arcerr::BrokenVolumeSequence;
    case cab::fdieAllocFail:
        return arcerr::OutOfMemory;
    default:
        return arcerr::CorruptEntry; // corrupt cabinet, decoding failure, reserve mismatch
    }
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

TUnCAB::TUnCAB() : FHandler(std::make_unique<TStreamCabinetFileHandler>()) {}

TUnCAB::~TUnCAB() {
    if (FContext) cab::FdiDestroy(FContext);
}

intptr_t TUnCAB::Notify(cab::TFdiNotificationType kind, cab::TFdiNotification* n) {
    auto* self = static_cast<TUnCAB*>(n->pv);
    try {
        switch (kind) {
        case cab::fdintCabinetInfo:
            return self->FdiCabinetInfo(*n);
        case cab::fdintCopyFile:
            return self->FCounting ? self->FdiCountFile(*n) : self->FdiCopyFile(*n);
        case cab::fdintPartialFile:
            if (!self->FCounting) self->FdiPartialFile(*n);
            return 0;
        case cab::fdintCloseFileInfo:
            return self->FdiCloseFile(*n);
        case cab::fdintNextCabinet:
            return self->FdiNextCabinet(*n);
        default:
            return 0;
        }
    } catch (...) {
        // Nothing may unwind through the library: keep it for after the call.
        self->FCallbackError = std::current_exception();
        return -1;
    }
}

uint32_t TUnCAB::WriteCallback(void* user, intptr_t, const void* buffer, uint32_t count, int* err) {
    auto* self = static_cast<TUnCAB*>(user);
    *err = 0;
    if (self->FCounting) return count;
    try {
        if (!self->FOut && self->FWriteMode != rwSink && self->FWriteMode != rwCallStream) return count;
        if (self->FMemberWritten + int64_t(count) > self->FMemberSize) {
            self->FWriteFailed = true;
            return 0;
        }
        self->ExtractWriteProc(self->FOut.get(), nullptr, static_cast<const uint8_t*>(buffer), false, crc32,
                               count, 1);
        self->FMemberWritten += count;
        self->FBytesLeft = self->FBytesLeft > count ? self->FBytesLeft - count : 0;
        self->DoProgress(self->FMemberWritten, self->FMemberSize, self->FTotalUnpacked);
        if (self->Cancel()) return 0;
        return count;
    } catch (...) {
        self->FCallbackError = std::current_exception();
        self->FWriteFailed = true;
        *err = -1;
        return 0;
    }
}

std::string TUnCAB::MemberName(const cab::TFdiNotification& n) const {
    std::string raw = n.psz1 ? n.psz1 : "";
    return (n.attribs & 0x80) ? Utf8ToAnsiPath(raw) : OemToAnsiPath(raw);
}

bool TUnCAB::SingleFileSpec() const {
    return FFileSpec.size() == 1 && FFileSpec[0].find_first_of("*?") == std::string::npos &&
           !FFileSpec[0].empty();
}

intptr_t TUnCAB::FdiCabinetInfo(cab::TFdiNotification& n) {
    if (!FInfoSeen) {
        FInfoSeen = true;
        FNextCabinet = n.psz1 ? n.psz1 : "";
        FNextDisk = n.psz2 ? n.psz2 : "";
        FCabinetPath = n.psz3 ? n.psz3 : "";
        FSetID = n.setID;
        FCabinetNumber = n.iCabinet;
    }
    return 0;
}

intptr_t TUnCAB::FdiCountFile(cab::TFdiNotification& n) {
    const std::string name = MemberName(n);
    if (IsFileSpecMatch(name, false)) {
        FTotalUnpacked += n.cb;
        FTotalPacked += n.cb;
        uint32_t date = uint32_t(n.date) << 16 | n.time;
        if (date > FMaxFileDate) FMaxFileDate = date;
    }
    return 0;
}

intptr_t TUnCAB::FdiCopyFile(cab::TFdiNotification& n) {
    const std::string name = MemberName(n);
    if (!IsFileSpecMatch(name, false) || Cancel()) return 0;
    if (SingleFileSpec() && FServed > 0) return 0;
    SetFileName(name);
    if (FEntry.FileName.empty() && FWriteMode != rwSink) {
        DoError(name, "", "0", arcerr::InvalidName);
        return 0;
    }
    std::string decided = name;
    const uint32_t dosDate = uint32_t(n.date) << 16 | n.time;
    switch (DecideMember(decided, ConvertDate(dosDate), n.cb)) {
    case TMemberDecision::mdStop:
        return -1;
    case TMemberDecision::mdSkip:
        return 0;
    case TMemberDecision::mdExtract:
        break;
    }
    FOut.reset();
    if (!OpenOutputFile(FOut, FEntry.FileName, n.cb, 0)) {
        if (!OutputRefused()) DoError(FEntry.FileName, "", "0", arcerr::OpenError);
        return 0;
    }
    FMemberName = name;
    FMemberSize = n.cb;
    FMemberWritten = 0;
    FWriteFailed = false;
    SetCrc32Register(0xFFFFFFFFu);
    return 1;
}

void TUnCAB::FdiPartialFile(cab::TFdiNotification& n) {
    // A member that began in a cabinet before this one, which was not read:
    // it cannot be extracted from here.
    const std::string name = MemberName(n);
    if (!FFirstCabinet || !IsFileSpecMatch(name, false) || Cancel()) return;
    DoError(name, n.psz2 ? n.psz2 : "", std::to_string(FCabinetNumber), arcerr::BrokenVolumeSequence);
    ++FFailedCount;
}

intptr_t TUnCAB::FdiCloseFile(cab::TFdiNotification& n) {
    const bool complete = !FWriteFailed && FMemberWritten == FMemberSize && !Cancel();
    const std::string reportName = ReportName(FMemberName);
    AfterExtractFile(FOut, nullptr, n.attribs & 0x27, uint32_t(n.date) << 16 | n.time, FMemberName, complete);
    ++FServed;
    if (OnEnd)
        OnEnd(this, reportName, complete);
    else if (!complete)
        DoError(reportName, "", "0", arcerr::CrcError);
    return 1;
}

intptr_t TUnCAB::FdiNextCabinet(cab::TFdiNotification& n) {
    std::string volume = std::string(n.psz3 ? n.psz3 : "") + (n.psz1 ? n.psz1 : "");
    volume = cab::FindCabinetIgnoringCase(volume);
    FCurrentVolume = volume;
    if (!RequestVolume(volume, n.psz2 ? n.psz2 : "")) return -1;
    FGivenCabinet = volume;
    std::string folder = FolderOf(volume);
    std::string name = NameOf(volume);
    if (folder.size() > 255 || name.size() > 255) return -1;
    std::memcpy(n.psz3, folder.c_str(), folder.size() + 1);
    std::memcpy(const_cast<char*>(n.psz1), name.c_str(), name.size() + 1);
    return 0;
}

bool TUnCAB::CopyPass(const std::string& folder, const std::string& name, bool counting) {
    FCounting = counting;
    FInfoSeen = false;
    FCallbackError = nullptr;
    bool ok = cab::FdiCopy(FContext, name.c_str(), folder.c_str(), 0, Notify, nullptr, this);
    if (FCallbackError) {
        DiscardOutput(FOut);
        std::rethrow_exception(FCallbackError);
    }
    if (ok) return true;
    // A member cut short: no partial output stays behind.
    DiscardOutput(FOut);
    if (Cancel() || (FErrorRecord.fError && FErrorRecord.erfOper == cab::fdieUserAbort && Cancel()))
        return false;
    if (FErrorRecord.fError &&
        !(FErrorRecord.erfOper == cab::fdieUserAbort && FServed > 0 && SingleFileSpec()))
        DoError(folder + name, "", std::to_string(FCabinetNumber), CabErrorId(FErrorRecord.erfOper));
    return false;
}

void TUnCAB::ExtractArchive(std::unique_ptr<TArcStream>&, TArcStream*) {
    if (!FContext) {
        // The handler's callbacks, with the reader's own write in front of the outputs.
        cab::TCabFileCallbacks handlerCallbacks = CabinetCallbacks(*FHandler);
        FHandlerCallbacks = handlerCallbacks;
        cab::TCabFileCallbacks cb = handlerCallbacks;
        cb.User = this;
        cb.Open = [](void* u, const char* n, int f, int m, int* e) {
            auto* self = static_cast<TUnCAB*>(u);
            return self->FHandlerCallbacks.Open(self->FHandlerCallbacks.User, n, f, m, e);
        };
        cb.Read = [](void* u, intptr_t h, void* b, uint32_t n, int* e) {
            auto* self = static_cast<TUnCAB*>(u);
            return self->FHandlerCallbacks.Read(self->FHandlerCallbacks.User, h, b, n, e);
        };
        cb.Close = [](void* u, intptr_t h, int* e) {
            auto* self = static_cast<TUnCAB*>(u);
            return self->FHandlerCallbacks.Close(self->FHandlerCallbacks.User, h, e);
        };
        cb.Seek = [](void* u, intptr_t h, int64_t d, int o, int* e) {
            auto* self = static_cast<TUnCAB*>(u);
            return self->FHandlerCallbacks.Seek(self->FHandlerCallbacks.User, h, d, o, e);
        };
        cb.Delete = nullptr;
        cb.Write = WriteCallback;
        FContext = cab::FdiCreate(cb, static_cast<int>(FCpuType) - 1, &FErrorRecord);
        if (!FContext) RaiseCabinetError(FErrorRecord.erfOper, FErrorRecord.erfType);
    }
    // Is it a cabinet at all?
    {
        int err = 0;
        intptr_t h = FHandler->Open(FArchiveFile, 0x8000, 0, err);
        if (h < 0) RaiseError(FArchiveFile, "", "0", arcerr::OpenError);
        cab::TFdiCabinetInfo info;
        bool isCabinet = cab::FdiIsCabinet(FContext, h, &info);
        FHandler->Close(h, err);
        if (!isCabinet) {
            DoError(FArchiveFile, "", "0", arcerr::HeaderError);
            return;
        }
    }
    FServed = 0;
    FGivenCabinet.clear();
    FTotalPacked = FTotalUnpacked = 0;
    FMaxFileDate = 0;
    std::string folder = FolderOf(FArchiveFile);
    std::string name = NameOf(FArchiveFile);
    FCurrentVolume = FArchiveFile;
    CopyPass(folder, name, true);
    FBytesLeft = FTotalUnpacked;
    for (int guard = 0; guard < 65536; ++guard) {
        // Members continued from before are whole only when their beginning was read here.
        FFirstCabinet = guard == 0;
        if (!CopyPass(folder, name, false)) return;
        if ((SingleFileSpec() && FServed > 0) || Cancel() || FNextCabinet.empty()) return;
        std::string next = cab::FindCabinetIgnoringCase(folder + FNextCabinet);
        if (FGivenCabinet.empty()) {
            if (!RequestVolume(next, FNextDisk)) {
                // A member that goes on into the cabinet not given stays unfinished.
                if (FMemberPending && !Cancel())
                    DoError(next, "", std::to_string(FCabinetNumber + 1), arcerr::BrokenVolumeSequence);
                return;
            }
        } else {
            next = FGivenCabinet; // asked for already while a folder went on into it
            FGivenCabinet.clear();
        }
        FCurrentVolume = next;
        folder = FolderOf(next);
        name = NameOf(next);
        const int64_t before = FTotalUnpacked;
        CopyPass(folder, name, true);
        FBytesLeft += FTotalUnpacked - before;
    }
}

} // namespace mv
