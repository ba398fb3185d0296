#include "app/mainwindow/VendorBinding.h"

#include "app/common/LangStr.h"
#include "app/mainwindow/ArchiveRows.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/libraries/vendorzip/VendorZip.h"

#include <algorithm>
#include <cstring>

namespace mv {

namespace {

// Writes text into a 260-byte name field, NUL-padded; a text that does not fit
// with its NUL leaves the field as it was (never cut into another name).
bool PutNameField(char* field, const std::string& text) {
    if (text.size() >= VzNameSize) return false;
    std::memset(field, 0, VzNameSize);
    std::memcpy(field, text.data(), text.size());
    return true;
}

TDateTime FromSystemTime(const TVzSystemTime& t) {
    return t.wYear ? EncodeDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond) : 0;
}

} // namespace

void ResetVendorZip(uint32_t h, const std::string& zipName, const std::string& tempFolder) {
    VzSetCompressionLevel(h, 6);
    VzSetExtraHeaders(h, 0);
    VzSetEncryptionPasswordA(h, "");
    VzSetFilesToProcessA(h, "");
    VzSetFilesToExcludeA(h, "");
    VzSetPreservePaths(h, 1);
    VzSetProcessSubfolders(h, 1);
    VzSetUnzipToFolderA(h, "");
    VzSetZipFilenameA(h, zipName.c_str());
    VzSetSpanMultipleDisks(h, 1);
    VzSetSfxInstallMode(h, 0);
    VzSetSfxDefaultPasswordA(h, "");
    VzSetSfxProgramGroupA(h, "");
    VzSetSfxProgramGroupItemsA(h, "");
    VzSetSfxExtensionsToAssociateA(h, "");
    VzSetSfxBinaryModuleA(h, "");
    VzSetSplitSize(h, 0);
    VzSetExcludedFileAttributes(h, 24);
    VzSetUseTempFile(h, 1);
    VzSetTempFolderA(h, tempFolder.c_str());
    VzSetAbort(h, 0);
}

void SetXzFileList(uint32_t instance, const std::vector<std::string>* list, bool process) {
    std::string text;
    if (list)
        for (const std::string& item : *list) text += item + "\r\n";
    if (process)
        VzSetFilesToProcessA(instance, text.c_str());
    else
        VzSetFilesToExcludeA(instance, text.c_str());
}

int16_t BoolToXz(bool b) {
    return b ? 1 : 0;
}

std::string VzNameToStr(const char* field) {
    const size_t n = strnlen(field, VzNameSize);
    return n == VzNameSize ? std::string() : std::string(field, n);
}

// ---- event handlers ------------------------------------------------------------------

TVendorZipBinding::TVendorZipBinding(TArchiveList& list, TMainWindowView& view) : FList(list), FView(view) {}

void TVendorZipBinding::BeginRun() {
    DiskFull = false;
}

void TVendorZipBinding::HandleEvent(uint32_t instance, uint32_t event, void* block) {
    switch (event) {
    case vzev::Listing:
        OnListingFile(block);
        break;
    case vzev::Processing:
        OnProcessingFile(block);
        break;
    case vzev::StoredName:
        OnStoredName(block);
        break;
    case vzev::Skipping: {
        const auto& b = *static_cast<const TVzSkippingBlock*>(block);
        OnSkippingOrWarning(VzNameToStr(b.Name), b.Reason);
        break;
    }
    case vzev::Warning: {
        const auto& b = *static_cast<const TVzWarningBlock*>(block);
        OnSkippingOrWarning(VzNameToStr(b.Name), b.Code);
        break;
    }
    case vzev::Removing:
        OnRemovingFile(block);
        break;
    case vzev::FileBegin:
        OnFileBegin(instance, block);
        break;
    case vzev::Progress:
        OnFileProgress(block);
        break;
    case vzev::Totals:
        OnGlobalStatus(block);
        break;
    case vzev::BadPassword:
        OnInvalidPassword(instance, block);
        break;
    case vzev::Replacing:
        OnReplacingFile(instance, block);
        break;
    default:
        break;
    }
}

void TVendorZipBinding::ShowNameParts(const std::string& name) {
    std::string folder, file;
    SplitStoredName(name, folder, file);
    FView.SetProgressFolder(folder);
    FView.SetProgressFile(file);
}

void TVendorZipBinding::OnListingFile(const void* block) {
    const auto& b = *static_cast<const TVzListingBlock*>(block);
    if (b.NotShown == 1) return;
    switch (Receiver()) {
    case VzReceiverMainWindow:
        FList.AddRow(RowFromVendorListing(b));
        break;
    case VzReceiverRunner:
        if (Runner) {
            Runner->PackedTotal += b.PackedSize > 0 ? b.PackedSize : 0;
            Runner->SizeTotal += b.FileSize > 0 ? b.FileSize : 0;
            ++Runner->FileCount;
            Runner->BackedUpNames.push_back(VzNameToStr(b.Name));
        }
        break;
    default:
        break;
    }
}

void TVendorZipBinding::OnProcessingFile(const void* block) {
    if (Receiver() != VzReceiverMainWindow) return;
    ShowNameParts(VzNameToStr(static_cast<const TVzNameBlock*>(block)->Name));
}

void TVendorZipBinding::OnStoredName(void* block) {
    if (!StoredNameHookActive) return;
    auto& b = *static_cast<TVzStoredNameBlock*>(block);
    if (Receiver() == VzReceiverMainWindow && AddStoredName) {
        PutNameField(b.Name, AddStoredName(VzNameToStr(b.SourcePath)));
        return;
    }
    if (Receiver() != VzReceiverWizard || !Wizard) return;
    // The stored name loses the working folder's part after its root.
    const std::string& folder = Wizard->WorkingFolder;
    const size_t drop = folder.empty() ? 0 : folder.size() - 1;
    std::string name = VzNameToStr(b.Name);
    if (drop >= name.size()) return;
    name.erase(0, drop);
    PutNameField(b.Name, name);
}

void TVendorZipBinding::OnSkippingOrWarning(const std::string& name, int code) {
    if (Receiver() != VzReceiverRunner || !Runner) return;
    if (code > 12 && code != 14) {
        ++Runner->Warnings;
        Runner->WarningLines.push_back(name + "  -  " + VendorErrorText(code));
    }
}

void TVendorZipBinding::OnRemovingFile(const void* block) {
    if (Receiver() != VzReceiverMainWindow) return;
    FView.SetProgressCaption(LoadLangStr(101) + (ArchiveName ? ArchiveName() : std::string()));
    ShowNameParts(VzNameToStr(static_cast<const TVzNameBlock*>(block)->Name));
    FView.SetProgressMessage(LoadLangStr(103));
    FView.ProcessMessages();
}

void TVendorZipBinding::OnFileBegin(uint32_t instance, const void* block) {
    const auto& b = *static_cast<const TVzFileBeginBlock*>(block);
    const std::string name = VzNameToStr(b.Name);
    const int op = VzGetCurrentOperation(instance);
    if (Receiver() == VzReceiverMainWindow) {
        ShowNameParts(name);
        const std::string archive = ArchiveName ? ArchiveName() : std::string();
        if (op == vzop::Adding) {
            FView.SetProgressCaption(LoadLangStr(52) + archive);
            const bool sfx = ArchiveIsSelfExtracting && ArchiveIsSelfExtracting();
            FView.SetProgressMessage(LoadLangStr(SpanningActive && !sfx ? 104 : 53));
        } else if (op == vzop::Extracting) {
            FView.SetProgressCaption(LoadLangStr(49) + archive);
            const bool mv = ArchiveIsMultiVolume && ArchiveIsMultiVolume();
            FView.SetProgressMessage(LoadLangStr(mv ? 108 : 50));
        } else if (op == vzop::Removing) {
            FView.SetProgressCaption(LoadLangStr(54) + archive);
            FView.SetProgressMessage(LoadLangStr(55));
        }
        FView.ProcessMessages();
    } else if (Receiver() == VzReceiverRunner && Runner && !Runner->Cancelled) {
        if (b.Continuing == 0) {
            Runner->StatusLabel = LoadLangStr(op == vzop::Testing ? 100 : 53);
            std::string folder, file;
            SplitStoredName(name, folder, file);
            Runner->OrigemEdit = folder;
            Runner->ArquivoEdit = file + " (" + std::to_string(b.FileSize / 1024) + "K,   0%)";
        }
        const size_t comma = Runner->ArquivoEdit.find(',');
        if (comma != std::string::npos)
            Runner->ArquivoEdit =
                Runner->ArquivoEdit.substr(0, comma + 1) + " " + std::to_string(b.Percent) + "%)";
    }
}

void TVendorZipBinding::OnFileProgress(const void* block) {
    const auto& b = *static_cast<const TVzProgressBlock*>(block);
    switch (Receiver()) {
    case VzReceiverMainWindow:
        FView.SetProgressPercent(b.Percent);
        if (b.Percent >= FView.ProgressMaximum()) FView.SetProgressMessage(LoadLangStr(56));
        break;
    case VzReceiverWizard:
        if (Wizard) Wizard->ProgressBar1 = b.Percent;
        break;
    case VzReceiverRunner:
        if (Runner) {
            Runner->ProgressBar1 = b.Percent;
            if (VzGetCurrentOperation(b.Handle) == vzop::Adding) {
                const int64_t outputKb = b.OutputBytes / 1024;
                Runner->TUnidadeLbl = FormatThousands(Runner->FreeKilobytes - outputKb) + " Kb";
                Runner->TBackupLbl = FormatThousands(outputKb) + " Kb,  " + std::to_string(b.Ratio) + "%";
                Runner->TArqLbl = FormatThousands(b.SourceBytesDone / 1024) + " Kb";
                if (outputKb >= Runner->FreeKilobytes) DiskFull = true;
            }
        }
        break;
    default:
        break;
    }
    FView.ProcessMessages();
}

void TVendorZipBinding::OnGlobalStatus(const void* block) {
    const auto& b = *static_cast<const TVzTotalsBlock*>(block);
    if (Receiver() == VzReceiverMainWindow) {
        VzTotalBytes = b.TotalOutputBytes;
    } else if (Receiver() == VzReceiverRunner && Runner && VzGetCurrentOperation(b.Handle) == vzop::Adding) {
        Runner->PackedTotal = b.TotalOutputBytes;
        Runner->SizeTotal = b.TotalBytes;
    }
    FView.ProcessMessages();
}

void TVendorZipBinding::OnInvalidPassword(uint32_t instance, void* block) {
    auto& b = *static_cast<TVzBadPasswordBlock*>(block);
    const std::string entry = VzNameToStr(b.Name);
    if (entry != FLastPasswordEntry) {
        // A new entry: try the password that opened the last one, without asking.
        FLastPasswordEntry = entry;
        PutNameField(b.NewPassword, FLastPassword.substr(0, VzNameSize - 1));
        b.Retry = 1;
        return;
    }
    std::string typed;
    const int answer = FView.AskPassword(entry, typed);
    if (answer == 1) {
        FLastPassword = typed;
        PutNameField(b.NewPassword, typed.substr(0, VzNameSize - 1));
        b.Retry = 1;
    } else if (answer == 5) {
        b.Retry = 0;
    } else {
        b.Retry = 0;
        VzSetAbort(instance, 1);
    }
}

void TVendorZipBinding::OnReplacingFile(uint32_t instance, void* block) {
    if (Receiver() == VzReceiverRunner) return;
    auto& b = *static_cast<TVzReplacingBlock*>(block);
    b.Replace = 0;
    const TDateTime oldTime = FromSystemTime(b.ExistingTime), newTime = FromSystemTime(b.NewTime);
    if (b.ExistingSize == b.NewSize && oldTime == newTime) return;
    switch (OverwriteAnswer) {
    case 0:
    case 6:
    case 7: {
        std::string folder, file;
        SplitStoredName(VzNameToStr(b.Name), folder, file);
        const std::string modified = LoadLangStr(32) + " ";
        OverwriteAnswer =
            FView.AskOverwrite(LoadLangStr(88) + "\"" + file + "\"",
                               FormatThousands(b.ExistingSize) + " bytes.", modified + RowDateText(oldTime),
                               FormatThousands(b.NewSize) + " bytes.", modified + RowDateText(newTime));
        if (OverwriteAnswer == 2) VzSetAbort(instance, 1);
        b.Replace = (OverwriteAnswer == 7 || OverwriteAnswer == 2) ? 0 : 1;
        break;
    }
    case 5:
        b.Replace = 1;
        break;
    case 2:
        VzSetAbort(instance, 1);
        break;
    default:
        break;
    }
}

} // namespace mv
