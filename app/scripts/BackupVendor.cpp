#include "app/scripts/BackupVendor.h"
#include "app/mainwindow/VendorBinding.h"

#include <cstring>

namespace mv {

namespace {

std::string NameOfField(const char (&field)[VzNameSize]) {
    return std::string(field, strnlen(field, VzNameSize));
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty()) text += "\r\n";
        text += line;
    }
    return text;
}

} // namespace

TBackupVendor::TBackupVendor() {
    VendorZipInitDLL();
    FHandle = VzCreateVendorZipA();
    VzSetVendorZipWindow(FHandle, [this](uint32_t event, void* block) { Receive(event, block); });
}

TBackupVendor::~TBackupVendor() {
    VzSetVendorZipWindow(FHandle, {});
    VzDestroyVendorZip(FHandle);
}

void TBackupVendor::Receive(uint32_t event, void* block) {
    switch (event) {
    case vzev::Listing: {
        const auto& b = *static_cast<const TVzListingBlock*>(block);
        TListedEntry e;
        e.Name = NameOfField(b.Name);
        e.Size = b.FileSize > 0 ? static_cast<uint64_t>(b.FileSize) : 0;
        e.PackedSize = b.PackedSize > 0 ? static_cast<uint64_t>(b.PackedSize) : 0;
        e.NotShown = b.NotShown == 1;
        if (FOnEntry) FOnEntry(e);
        break;
    }
    case vzev::Skipping: {
        const auto& b = *static_cast<const TVzSkippingBlock*>(block);
        if (OnWarning) OnWarning(NameOfField(b.Name), b.Reason);
        break;
    }
    case vzev::Warning: {
        const auto& b = *static_cast<const TVzWarningBlock*>(block);
        if (OnWarning) OnWarning(NameOfField(b.Name), b.Code);
        break;
    }
    case vzev::FileBegin: {
        const auto& b = *static_cast<const TVzFileBeginBlock*>(block);
        if (OnFileBegin && !b.Continuing) OnFileBegin(NameOfField(b.Name), b.Percent);
        break;
    }
    case vzev::InsertDisk:
        // A backup never waits for a disk nobody is there to insert: the set ends.
        static_cast<TVzInsertDiskBlock*>(block)->Answer = 0;
        break;
    case vzev::BadPassword:
        static_cast<TVzBadPasswordBlock*>(block)->Retry = 0;
        break;
    default:
        break;
    }
    if (ProcessMessages) ProcessMessages();
}

void TBackupVendor::ResetVendorZip(const std::string& zipName) {
    // The same defaults as every other job of the library; a backup names no
    // temporary folder of its own.
    mv::ResetVendorZip(FHandle, zipName, "");
}

int16_t TBackupVendor::VzListZipContents(const std::function<void(const TListedEntry&)>& onEntry) {
    FOnEntry = onEntry;
    const int16_t result = mv::VzListZipContents(FHandle);
    FOnEntry = nullptr;
    return result;
}

int16_t TBackupVendor::VzTestZipFile(int16_t all) {
    return mv::VzTestZipFile(FHandle, all);
}

int16_t TBackupVendor::VzZipSelfExtracting(const std::vector<std::string>& files, bool spanDisks,
                                           const TSfxTexts& texts) {
    const uint32_t h = FHandle;
    VzSetSfxBinaryModuleA(h, texts.BinaryModule.c_str());
    for (int i = 0; i < 5; ++i) VzSetSfxStringsA(h, i, texts.Strings[i].c_str());
    for (int i = 0; i < 13; ++i) VzSetSfxMessagesA(h, i, texts.Messages[i].c_str());
    for (int i = 0; i < 13; ++i) VzSetSfxButtonsA(h, i, texts.Buttons[i].c_str());
    VzSetSfxDefaultUnzipToFolderA(h, texts.DefaultUnzipToFolder.c_str());
    VzSetSfxExistingFileBehavior(h, texts.ExistingFileBehavior);
    VzSetSfxIconFilenameA(h, texts.IconFilename.c_str());
    VzSetFilesToProcessA(h, JoinLines(files).c_str());
    VzSetFilesToExcludeA(h, "");
    VzSetProcessSubfolders(h, 0);
    VzSetPreservePaths(h, 1);
    VzSetSpanMultipleDisks(h, spanDisks ? 1 : 0);
    VzSetZipOpenedFiles(h, 1);
    return VzZip(h);
}

void TBackupVendor::VzSetAbort(int16_t value) {
    mv::VzSetAbort(FHandle, value);
}

} // namespace mv
