// The vendor zip library's calls: the instance table, the setters, the
// operation guard and the event helpers every operation shares.
#include "archive/libraries/vendorzip/VendorZip.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/libraries/vendorzip/VendorZipInstance.h"
#include "platform/FileSystem.h"
#include "zipwriter/ZipEngineTypes.h"

#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <new>

namespace mv {

namespace {

// The instances by handle. The library runs on the caller's thread, as the
// program's one user-interface thread does; no lock is taken.
struct TInstances {
    std::map<uint32_t, std::unique_ptr<TVendorZip>> byHandle;
    uint32_t next = 1;
};

TInstances& Instances() {
    static TInstances instances;
    return instances;
}

TVendorZip* Find(uint32_t handle) {
    auto& all = Instances().byHandle;
    auto it = all.find(handle);
    return it == all.end() ? nullptr : it->second.get();
}

std::string Text(const char* text) {
    return text ? std::string(text) : std::string();
}

template <class Fn> void Set(uint32_t handle, Fn&& fn) {
    if (TVendorZip* v = Find(handle)) fn(*v);
}

template <size_t N> void SetIndexed(std::array<std::string, N>& slots, int32_t index, const char* text) {
    if (index >= 0 && static_cast<size_t>(index) < N) slots[static_cast<size_t>(index)] = Text(text);
}

int16_t RunOn(uint32_t handle, int32_t operation, int16_t (TVendorZip::*body)()) {
    TVendorZip* v = Find(handle);
    return v ? v->Run(operation, body) : vzr::BadHandle;
}

} // namespace

// ---- helpers --------------------------------------------------------------------

bool PutVzName(char (&field)[VzNameSize], const std::string& text) {
    const size_t n = text.size() < VzNameSize ? text.size() : 0;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, VzNameSize - n);
    return text.size() < VzNameSize;
}

TVzSystemTime VzSystemTime(TDateTime value) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    DecodeDateTime(value, year, month, day, hour, minute, second);
    TVzSystemTime t;
    t.wYear = static_cast<uint16_t>(year);
    t.wMonth = static_cast<uint16_t>(month);
    t.wDay = static_cast<uint16_t>(day);
    t.wHour = static_cast<uint16_t>(hour);
    t.wMinute = static_cast<uint16_t>(minute);
    t.wSecond = static_cast<uint16_t>(second);
    // Day 0 of TDateTime (1899-12-30) was a Saturday; the times of archive
    // entries come after it (a DOS time is 1980 or later).
    const uint32_t days = value > 0 ? static_cast<uint32_t>(value) : 0;
    t.wDayOfWeek = static_cast<uint16_t>((days + 6) % 7);
    return t;
}

TVzEntry VzEntryOf(const TArcEntryInfo& info) {
    TVzEntry e;
    e.Name = BackslashToSlash(info.FileName);
    e.Size = info.UnpackedSize;
    e.Packed = info.PackedSize;
    e.Crc = info.CRC;
    e.Modified = info.DateTime;
    e.Attributes = info.ExternalAttr;
    e.Encrypted = info.Encrypted;
    e.Folder = (info.ExternalAttr & 0x10) != 0;
    return e;
}

int32_t VzClamp32(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < 0) return 0;
    return static_cast<int32_t>(value);
}

std::vector<std::string> VzLines(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (!line.empty()) out.push_back(line);
        at = end + 1;
    }
    return out;
}

// ---- the instance --------------------------------------------------------------

int16_t TVendorZip::Run(int32_t operation, int16_t (TVendorZip::*body)()) {
    if (Busy()) return vzr::Busy;
    FOperation = operation;
    FFirstFailure = 0;
    FCancelCode = 0;
    FSkippedForFailure = false;
    FDuplicate = false;
    int16_t result;
    try {
        result = (this->*body)();
    } catch (const std::bad_alloc&) {
        result = vzr::OutOfMemory;
    } catch (const platform::FileError&) {
        result = vzr::ZipWriteError;
    } catch (...) {
        result = vzr::InternalError;
    }
    FOperation = vzop::Idle;
    return result;
}

int16_t TVendorZip::Outcome() const {
    if (FCancelCode) return FCancelCode;
    if (FFirstFailure) return FFirstFailure;
    if (FSkippedForFailure) return vzr::SomeSkipped;
    if (FDuplicate) return vzr::DuplicateName;
    return vzr::Ok;
}

bool TVendorZip::FireName(uint32_t event, const std::string& name) {
    TVzNameBlock b;
    if (!PutVzName(b.Name, name)) return false;
    Fire(event, b);
    return true;
}

bool TVendorZip::FireFileBegin(const std::string& name, int64_t size, int16_t percent) {
    TVzFileBeginBlock b;
    if (!PutVzName(b.Name, name)) return false;
    b.FileSize = VzClamp32(size);
    b.Percent = percent;
    Fire(vzev::FileBegin, b);
    return true;
}

void TVendorZip::FireProgress(int64_t sourceDone, int16_t percent, int64_t outputBytes) {
    TVzProgressBlock b;
    b.SourceBytesDone = VzClamp32(sourceDone);
    b.Percent = percent;
    b.OutputBytes = VzClamp32(outputBytes);
    b.Ratio = sourceDone > 0 && outputBytes < sourceDone
                  ? static_cast<int16_t>((sourceDone - outputBytes) * 100 / sourceDone)
                  : 0;
    Fire(vzev::Progress, b);
}

void TVendorZip::FireTotals(int64_t totalBytes, int64_t totalOutput) {
    TVzTotalsBlock b;
    b.TotalBytes = VzClamp32(totalBytes);
    b.TotalOutputBytes = VzClamp32(totalOutput);
    Fire(vzev::Totals, b);
}

void TVendorZip::FireSkipping(const std::string& name, int32_t reason) {
    TVzSkippingBlock b;
    PutVzName(b.Name, name); // a name that does not fit goes as an empty field
    b.Reason = reason;
    Fire(vzev::Skipping, b);
}

void TVendorZip::FireWarning(const std::string& name, int32_t code) {
    TVzWarningBlock b;
    PutVzName(b.Name, name);
    b.Code = code;
    Fire(vzev::Warning, b);
}

// ---- lifetime -------------------------------------------------------------------

void VendorZipInitDLL() {
    Instances();
}

void VendorZipShutdownDLL() {
    auto& all = Instances().byHandle;
    for (auto it = all.begin(); it != all.end();) it = it->second->Busy() ? std::next(it) : all.erase(it);
}

uint32_t VzCreateVendorZipA() {
    auto& inst = Instances();
    while (inst.next == 0 || inst.byHandle.count(inst.next)) ++inst.next;
    const uint32_t handle = inst.next++;
    inst.byHandle[handle] = std::make_unique<TVendorZip>(handle);
    return handle;
}

void VzSetVendorZipWindow(uint32_t handle, TVzReceiver receiver) {
    Set(handle, [&](TVendorZip& v) { v.FReceiver = std::move(receiver); });
}

int16_t VzDestroyVendorZip(uint32_t handle) {
    TVendorZip* v = Find(handle);
    if (!v) return vzr::BadHandle;
    if (v->Busy()) return vzr::Busy;
    Instances().byHandle.erase(handle);
    return vzr::Ok;
}

// ---- setters ----------------------------------------------------------------------

void VzSetZipFilenameA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FZipFilename = Text(t); });
}
void VzSetFilesToProcessA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FFilesToProcess = Text(t); });
}
void VzSetFilesToExcludeA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FFilesToExclude = Text(t); });
}
void VzSetUnzipToFolderA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FUnzipToFolder = Text(t); });
}
void VzSetEncryptionPasswordA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FEncryptionPassword = Text(t); });
}
void VzSetTempFolderA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FTempFolder = Text(t); });
}
void VzSetPreservePaths(uint32_t h, int16_t x) {
    Set(h, [&](TVendorZip& v) { v.FPreservePaths = x != 0; });
}
void VzSetProcessSubfolders(uint32_t h, int16_t x) {
    Set(h, [&](TVendorZip& v) { v.FProcessSubfolders = x != 0; });
}
void VzSetSpanMultipleDisks(uint32_t h, int16_t x) {
    Set(h, [&](TVendorZip& v) { v.FSpanMultipleDisks = x != 0; });
}
void VzSetUseTempFile(uint32_t h, int16_t x) {
    Set(h, [&](TVendorZip& v) { v.FUseTempFile = x != 0; });
}
void VzSetZipOpenedFiles(uint32_t h, int16_t x) {
    Set(h, [&](TVendorZip& v) { v.FZipOpenedFiles = x != 0; });
}
void VzSetAbort(uint32_t h, int16_t x) {
    Set(h, [&](TVendorZip& v) { v.FAbort = x != 0; });
}
void VzSetCompressionLevel(uint32_t h, int32_t x) {
    Set(h, [&](TVendorZip& v) { v.FCompressionLevel = x < 0 ? 0 : (x > 9 ? 9 : x); });
}
void VzSetExcludedFileAttributes(uint32_t h, int32_t x) {
    Set(h, [&](TVendorZip& v) { v.FExcludedFileAttributes = x; });
}
void VzSetSplitSize(uint32_t h, int32_t x) {
    Set(h, [&](TVendorZip& v) { v.FSplitSize = x < 0 ? 0 : x; });
}
void VzSetExtraHeaders(uint32_t h, int32_t x) {
    Set(h, [&](TVendorZip& v) { v.FExtraHeaders = x; });
}
void VzSetSfxBinaryModuleA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FSfx.BinaryModule = Text(t); });
}
void VzSetSfxStringsA(uint32_t h, int32_t i, const char* t) {
    Set(h, [&](TVendorZip& v) { SetIndexed(v.FSfx.Strings, i, t); });
}
void VzSetSfxMessagesA(uint32_t h, int32_t i, const char* t) {
    Set(h, [&](TVendorZip& v) { SetIndexed(v.FSfx.Messages, i, t); });
}
void VzSetSfxButtonsA(uint32_t h, int32_t i, const char* t) {
    Set(h, [&](TVendorZip& v) { SetIndexed(v.FSfx.Buttons, i, t); });
}
void VzSetSfxDefaultUnzipToFolderA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FSfx.DefaultUnzipToFolder = Text(t); });
}
void VzSetSfxDefaultPasswordA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FSfx.DefaultPassword = Text(t); });
}
void VzSetSfxExistingFileBehavior(uint32_t h, int32_t x) {
    Set(h, [&](TVendorZip& v) { v.FSfx.ExistingFileBehavior = x; });
}
void VzSetSfxProgramGroupA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FSfx.ProgramGroup = Text(t); });
}
void VzSetSfxProgramGroupItemsA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FSfx.ProgramGroupItems = Text(t); });
}
void VzSetSfxExtensionsToAssociateA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FSfx.ExtensionsToAssociate = Text(t); });
}
void VzSetSfxReadmeFileA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FSfx.ReadmeFile = Text(t); });
}
void VzSetSfxExecuteAfterA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FSfx.ExecuteAfter = Text(t); });
}
void VzSetSfxIconFilenameA(uint32_t h, const char* t) {
    Set(h, [&](TVendorZip& v) { v.FSfx.IconFilename = Text(t); });
}
void VzSetSfxInstallMode(uint32_t h, int32_t x) {
    Set(h, [&](TVendorZip& v) { v.FSfx.InstallMode = x; });
}

// ---- operations ---------------------------------------------------------------------

int16_t VzListZipContents(uint32_t h) {
    return RunOn(h, vzop::Listing, &TVendorZip::List);
}
int16_t VzPreviewFiles(uint32_t h) {
    return RunOn(h, vzop::Previewing, &TVendorZip::Preview);
}
int16_t VzZip(uint32_t h) {
    return RunOn(h, vzop::Adding, &TVendorZip::Zip);
}
int16_t VzUnzip(uint32_t h) {
    return RunOn(h, vzop::Extracting, &TVendorZip::Unzip);
}
int16_t VzRemoveFiles(uint32_t h) {
    return RunOn(h, vzop::Removing, &TVendorZip::Remove);
}
int16_t VzTestZipFile(uint32_t h, int16_t all) {
    TVendorZip* v = Find(h);
    if (!v) return vzr::BadHandle;
    if (v->Busy()) return vzr::Busy;
    v->FTestAll = all != 0;
    return v->Run(vzop::Testing, &TVendorZip::Test);
}
int32_t VzGetCurrentOperation(uint32_t h) {
    TVendorZip* v = Find(h);
    return v ? v->CurrentOperation() : vzop::Idle;
}

} // namespace mv
