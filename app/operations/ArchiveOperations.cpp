#include "app/operations/ArchiveOperations.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "app/mainwindow/ArchiveRows.h"
#include "app/mainwindow/VendorBinding.h"
#include "app/operations/ZipEngineRun.h"
#include "app/settings/Options.h"
#include "archive/framework/ArcErrors.h"
#include "archive/framework/ArcFileAttr.h"
#include "archive/framework/ArcMain.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipCommon.h"
#include "archive/libraries/vendorzip/VendorZip.h"
#include "archive/lister/ArcLister.h"
#include "archive/readers/ReaderFactory.h"
#include "archive/readers/UnBase.h"
#include "archive/writers/CompBase.h"
#include "archive/writers/WriterFactory.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <ctime>

namespace mv {

namespace {

constexpr int mrYes = 6;

bool IsZipFamily(TArcType t) {
    return t == TArcType::atZip || t == TArcType::atZipExe || t == TArcType::atZipMV;
}

// The types the extract command hands to a reader of the archive components.
bool HasReader(TArcType t) {
    switch (t) {
    case TArcType::atACE:
    case TArcType::atArc:
    case TArcType::atArcExe:
    case TArcType::atArj:
    case TArcType::atArjExe:
    case TArcType::atBh:
    case TArcType::atBhExe:
    case TArcType::atCab:
    case TArcType::atGZip:
    case TArcType::atJar:
    case TArcType::atLha:
    case TArcType::atLhaExe:
    case TArcType::atLzh:
    case TArcType::atLzhExe:
    case TArcType::atRar:
    case TArcType::atRarExe:
    case TArcType::atTar:
    case TArcType::atZoo:
        return true;
    default:
        return false;
    }
}

// The writer of a type that can be written by the archive components.
const char* WriterName(TArcType t) {
    switch (t) {
    case TArcType::atBh:
        return "bh";
    case TArcType::atCab:
        return "cab";
    case TArcType::atGZip:
        return "gzip";
    case TArcType::atJar:
        return "jar";
    case TArcType::atLha:
    case TArcType::atLzh:
        return "lha";
    case TArcType::atTar:
        return "tar";
    default:
        return nullptr;
    }
}

std::string LocalMinutesSeconds() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char text[8];
    std::snprintf(text, sizeof text, "%02d%02d", parts.tm_min, parts.tm_sec);
    return text;
}

// A stored name in both separators: the engines compare names as their format
// stores them, and the list shows them with "\".
void AddNameForms(std::vector<std::string>& lines, const std::string& name) {
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    lines.push_back(name);
    if (slashed != name) lines.push_back(slashed);
}

// Some entry's name holds "*" or "?", which a mask would read as wildcards.
bool AnyWildcardName(const TArchiveList& list) {
    for (const TArchiveRow& row : list.Rows())
        if (row.StoredName().find_first_of("*?") != std::string::npos) return true;
    return false;
}

// Whether the names, read as masks, match an entry that is not among them.
bool NamesReachOtherEntries(const std::vector<std::string>& names, const TArchiveList& list) {
    auto backslashed = [](std::string n) {
        std::replace(n.begin(), n.end(), '/', '\\');
        return n;
    };
    std::set<std::string> chosen;
    for (const std::string& n : names) chosen.insert(backslashed(n));
    for (const TArchiveRow& row : list.Rows()) {
        const std::string entry = backslashed(row.StoredName());
        if (chosen.count(entry)) continue;
        for (const std::string& n : chosen)
            if (WildcardMatch(n, entry, false)) return true;
    }
    return false;
}

} // namespace

void SetEngineMessagePump(std::function<void()> pump) {
    SetProcessMessagesHook(std::move(pump));
}

// Busy from construction to destruction, whatever way the operation ends.
class TArchiveOperations::TBusyScope {
public:
    explicit TBusyScope(TArchiveOperations& ops) : ops(ops) { ops.BeginBusy(); }
    ~TBusyScope() { ops.EndBusy(); }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    TArchiveOperations& ops;
};

TArchiveOperations::TArchiveOperations(TMainWindowView& view, TArchiveOpener& opener, TArchiveList& list,
                                       TOperationPrompts& prompts)
    : FView(view), FOpener(opener), FList(list), FPrompts(prompts),
      FZipEngine(std::make_unique<TZipEngineRunner>()) {
    MinutesSeconds = LocalMinutesSeconds;
    // A missing volume met while listing is asked for like one met while extracting.
    FOpener.Lister().OnNextVolume = [this](TObject*, std::string& name, const std::string& id, bool exists,
                                           bool& cancel) { NextVolume(name, id, exists, cancel); };
    FZipEngine->OnStartFile = [this](const std::string& name) {
        if (FOpener.Lister().Tag() != VzReceiverMainWindow) return;
        std::string folder, file;
        SplitStoredName(name, folder, file);
        FView.SetProgressFolder(folder);
        FView.SetProgressFile(file);
        FView.SetProgressCaption(LoadLangStr(52) + FOpener.ArchiveFile());
        FView.SetProgressMessage(LoadLangStr(53));
    };
    FZipEngine->ProcessMessages = [this] { FView.ProcessMessages(); };
    FZipEngine->OnTotalPercent = [this](int percent) {
        if (FOpener.Lister().Tag() != VzReceiverMainWindow) return;
        FView.SetProgressPercent(percent);
        if (percent >= FView.ProgressMaximum()) FView.SetProgressMessage(LoadLangStr(56));
    };
}

TArchiveOperations::~TArchiveOperations() {
    FOpener.Lister().OnNextVolume = nullptr;
}

// ---- busy state -------------------------------------------------------------------------

void TArchiveOperations::BeginBusy() {
    FBusy = true;
    FCancelled = false;
    FLastPercent = 0;
    FView.SetBusyCursor(true);
    if (OnBusyChanged) OnBusyChanged(true);
}

void TArchiveOperations::EndBusy() {
    FBusy = false;
    FView.SetBusyCursor(false);
    if (OnBusyChanged) OnBusyChanged(false);
}

void TArchiveOperations::ShowError(const std::string& text) {
    if (text.empty()) return;
    FView.ShowMessage(text, mkError, mbOKOnly);
    FErrorShown = true;
}

void TArchiveOperations::CancelarBtnClick() {
    if (!FBusy) return;
    FCancelled = true;
    VzSetAbort(FOpener.VzInstance(), 1);
    if (ActiveArchiveComponent) ActiveArchiveComponent->SetCancel(true);
    FZipEngine->Cancel();
    FView.ProcessMessages();
    FView.SetProgressMessage(LoadLangStr(105));
}

// ---- temporary folders ------------------------------------------------------------------

std::string TArchiveOperations::NewTempFolder() {
    const std::string parent = NormaliseTempFolder(TempFolder);
    try {
        std::string folder =
            platform::Fs().CreateTempDirectory(parent, "QX" + (MinutesSeconds ? MinutesSeconds() : "") + "-");
        if (folder.empty()) return {};
        if (folder.back() != '/') folder.push_back('/');
        TempCleanupList.push_back(folder);
        return folder;
    } catch (const std::exception& e) {
        ShowError(e.what());
        return {};
    }
}

void TArchiveOperations::RemoveTempFiles() {
    for (auto it = TempCleanupList.rbegin(); it != TempCleanupList.rend(); ++it) {
        const std::string entry = TrimText(*it);
        if (entry.empty()) continue;
        try {
            if (entry.back() == '/')
                platform::DeleteFolder(entry, true);
            else
                platform::RemoveFileIfExists(entry);
        } catch (const std::exception&) {
            // best effort: what cannot go stays, and the rest of the shut-down goes on
        }
    }
    TempCleanupList.clear();
}

// ---- extraction -------------------------------------------------------------------------

std::vector<std::string> TArchiveOperations::SelectedEntryNames() const {
    std::vector<std::string> names;
    for (int item : FView.SelectedItems()) {
        const int row = FList.RowIndexOf(item);
        if (row >= 0 && row < FList.RowCount()) names.push_back(FList.Rows()[size_t(row)].StoredName());
    }
    return names;
}

bool TArchiveOperations::ExtractCommand(const std::string& proposedFolder, bool storedFolders,
                                        std::string* chosenFolder) {
    if (FBusy || TrimText(FOpener.ArchiveFile()).empty() || !ExtractDialog) return false;
    TExtractChoice choice;
    choice.Folder = proposedFolder;
    choice.Selected = !FView.SelectedItems().empty();
    choice.StoredFolders = storedFolders;
    if (!ExtractDialog(choice)) return false;
    if (chosenFolder) *chosenFolder = choice.Folder;
    // A CAB archive is one compressed stream: picking entries out of it costs more
    // than taking them all, which the user is told first.
    if (choice.Selected && FOpener.ArcType() == TArcType::atCab &&
        FView.ShowMessage(LoadLangStr(69) + "\n\n" + LoadLangStr(70), mkWarning, mbYesNo) != mrYes)
        return false;
    const std::vector<std::string> specs =
        choice.Selected ? SelectedEntryNames() : std::vector<std::string>{choice.Mask.empty() ? "*" : choice.Mask};
    std::string temp;
    const bool ok =
        ExtractArchive(specs, choice.Folder, choice.StoredFolders, temp, choice.OverwriteMode, choice.Selected);
    FOpener.DisplayTotals(false);
    return ok;
}

bool TArchiveOperations::ReaderForArchive() {
    const TArcType type = FOpener.ArcType();
    if (IsZipFamily(type) || HasReader(type)) return true;
    FView.ShowMessage(LoadLangStr(423), mkWarning, mbOKOnly);
    return false;
}

bool TArchiveOperations::ExtractArchive(const std::vector<std::string>& specs, const std::string& target,
                                        bool storedFolders, std::string& tempFolder, int overwriteMode,
                                        bool literalNames) {
    if (FBusy) return false;
    int& answer = FOpener.Vendor().OverwriteAnswer;
    if (!ReaderForArchive()) {
        answer = 7;
        return false;
    }
    std::string folder = target;
    if (folder.empty()) {
        folder = NewTempFolder();
        if (folder.empty()) {
            answer = 7;
            return false;
        }
        tempFolder = folder;
    }
    answer = overwriteMode;
    bool ok = false;
    {
        TBusyScope busy(*this);
        FErrorShown = false;
        // The vendor library matches names as masks; entries chosen by name from an
        // archive whose names hold wildcards go through the ZIP reader, which takes
        // them literally.
        const bool literalZip = literalNames && AnyWildcardName(FList);
        ok = IsZipFamily(FOpener.ArcType()) && !literalZip
                 ? ExtractThroughVendor(specs, folder, storedFolders)
                 : ExtractThroughReader(specs, folder, storedFolders, literalNames);
    }
    answer = 7;
    return ok;
}

bool TArchiveOperations::ExtractThroughVendor(const std::vector<std::string>& specs, const std::string& target,
                                              bool storedFolders) {
    const uint32_t h = FOpener.VzInstance();
    ResetVendorZip(h, FOpener.ArchiveFile(), NormaliseTempFolder(TempFolder));
    FOpener.Vendor().BeginRun();
    VzSetUnzipToFolderA(h, target.c_str());
    VzSetPreservePaths(h, BoolToXz(storedFolders));
    SetXzFileList(h, &specs, true);
    const bool shown = FOpener.Lister().Tag() == VzReceiverMainWindow;
    if (shown) {
        FView.SetProgressPercent(0);
        FView.SetProgressFolder("");
        FView.SetProgressFile("");
        FView.SetProgressMessage("");
        FView.ShowProgressWindow(true);
    }
    const int code = VzUnzip(h);
    FView.ShowProgressWindow(false);
    const std::string text = VendorErrorText(code, LoadLangStr(42));
    ShowError(text);
    FOpener.DisplayTotals(false);
    return text.empty();
}

bool TArchiveOperations::ExtractThroughReader(const std::vector<std::string>& specs, const std::string& target,
                                              bool storedFolders, bool literalNames) {
    const TArcType type = FOpener.ArcType();
    std::unique_ptr<TUnBase> reader = NewReader(IsZipFamily(type) ? TArcType::atZip : type);
    if (!reader) {
        FView.ShowMessage(LoadLangStr(423), mkWarning, mbOKOnly);
        return false;
    }
    if (type == TArcType::atJar) reader->SetZipCmntBufSize(FOpener.Lister().ZipCmntBufSize());
    reader->SetArchiveFile(FOpener.ArchiveFile());
    reader->SetUseStoredDirs(storedFolders);
    reader->SetExtractDir(target);

    // Where each entry goes, by the reader's own rule: the entries chosen by name,
    // and every entry's unpacked size for the overwrite prompt.
    FLiteral = literalNames;
    FChosenOutputs.clear();
    FOutputSizes.clear();
    for (const TArchiveRow& row : FList.Rows()) {
        reader->SetFileName(row.StoredName());
        if (!reader->FileName().empty()) FOutputSizes.emplace_back(reader->FileName(), row.Size);
    }
    std::vector<std::string>& lines = reader->FileSpecList();
    lines.clear();
    for (const std::string& spec : specs) {
        if (literalNames) {
            reader->SetFileName(spec);
            if (!reader->FileName().empty()) FChosenOutputs.insert(reader->FileName());
            AddNameForms(lines, spec);
        } else if (!TrimText(spec).empty()) {
            lines.push_back(spec);
        }
    }
    // A single name would let the walk stop at its first match by mask, which may be
    // another entry ("a?c" for "abc"): the walk goes on to the entry itself.
    if (literalNames && lines.size() == 1) lines.push_back(lines[0]);
    reader->SetFileName("");
    BindReader(*reader);

    bool raised = false;
    try {
        reader->Extract();
    } catch (const E_RAISE& e) {
        raised = true;
        if (!(FCancelled && e.ErrorCode() == arcerr::UserAbort)) ShowError(e.what());
    } catch (const std::exception& e) {
        raised = true;
        ShowError(e.what());
    }
    // Errors that ended the walk quietly reach the user too, unless a box said so already.
    const int last = reader->LastError();
    if (!raised && last && !FErrorShown && !(FCancelled && last == arcerr::UserAbort))
        ShowError(ArcErrorMessage(last));
    const bool ok = !raised && !FErrorShown && reader->FailedCount() == 0 && !FCancelled;
    reader.reset();
    FLiteral = false;
    FChosenOutputs.clear();
    FOutputSizes.clear();
    return ok;
}

void TArchiveOperations::BindReader(TUnBase& reader) {
    reader.OnActivate = [this](TObject*) {
        if (FOpener.Lister().Tag() != VzReceiverMainWindow) return;
        FView.SetProgressPercent(0);
        FView.SetProgressFolder("");
        FView.SetProgressFile("");
        FView.SetProgressMessage("");
        FView.ShowProgressWindow(true);
        FView.SetBusyCursor(true);
    };
    reader.OnDeactivate = [this](TObject*) {
        if (FOpener.Lister().Tag() != VzReceiverMainWindow) return;
        FView.ShowProgressWindow(false);
        FOpener.DisplayTotals(false);
        FView.SetBusyCursor(false);
    };
    reader.OnBegin = [this](TObject*, const std::string& fn, int, bool& extract) {
        if (FLiteral && !FChosenOutputs.count(fn)) {
            extract = false;
            return;
        }
        if (FOpener.Lister().Tag() != VzReceiverMainWindow) return;
        FView.SetProgressCaption(LoadLangStr(49) + platform::NameOf(FOpener.ArchiveFile()));
        FView.SetProgressFile(platform::NameOf(fn));
        FView.SetProgressFolder(platform::DirectoryOf(fn));
        FView.SetProgressMessage(LoadLangStr(50));
        FView.ProcessMessages();
    };
    reader.OnEnd = [this](TObject*, const std::string& fn, bool crcPass) {
        if (!crcPass) ShowError(LoadLangStr(51) + "\n" + fn);
    };
    reader.OnProgress = [this](TObject*, uint8_t, uint8_t byArchive) {
        if (FOpener.Lister().Tag() == VzReceiverMainWindow) FView.SetProgressPercent(byArchive);
    };
    reader.OnFileExists = [this, &reader](TObject*, const std::string& fn, TDateTime date, TOverwriteMode& mode) {
        ReaderFileExists(reader, fn, date, mode);
    };
    reader.OnGetPassword = [this](TObject*, const std::string& fn, std::string& password, bool& tryAgain) {
        AskPassword(fn, password, tryAgain);
    };
    reader.OnNextVolume = [this](TObject*, std::string& name, const std::string& id, bool exists, bool& cancel) {
        NextVolume(name, id, exists, cancel);
    };
    // The component's errors reach the user through what its operation raises.
    reader.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
}

// ---- prompts ----------------------------------------------------------------------------

std::string TArchiveOperations::OverwriteTitle(int textNumber, const std::string& path) const {
    return LoadLangStr(textNumber) + "\"" + platform::NameOf(path) + "\"";
}

bool TArchiveOperations::AskReplace(int textNumber, const std::string& path, int64_t oldSize, TDateTime oldDate,
                                    int64_t newSize, TDateTime newDate, bool& cancel) {
    int& answer = FOpener.Vendor().OverwriteAnswer;
    cancel = false;
    if (answer == 5) return true;
    if (answer == 2) {
        cancel = true;
        return false;
    }
    const std::string modified = LoadLangStr(32);
    const std::string pattern = LoadLangStr(61);
    answer = FView.AskOverwrite(OverwriteTitle(textNumber, path), FormatThousands(oldSize) + " bytes.",
                                modified + FormatDateTimePattern(pattern, oldDate),
                                FormatThousands(newSize) + " bytes.", modified + FormatDateTimePattern(pattern, newDate));
    if (answer == 2) cancel = true;
    return answer != 7 && answer != 2;
}

void TArchiveOperations::ReaderFileExists(TUnBase& reader, const std::string& path, TDateTime date,
                                          TOverwriteMode& mode) {
    if (FLiteral && !FChosenOutputs.count(path)) {
        mode = TOverwriteMode::omSkip;
        return;
    }
    // The very file that is there (its name taken literally, never as a mask).
    platform::FileInfo info;
    int64_t oldSize = 0;
    TDateTime oldDate = 0;
    if (platform::Fs().Stat(path, info)) {
        oldSize = static_cast<int64_t>(info.Size);
        oldDate = UnixTimeToDateTime(info.ModTime);
    }
    int64_t newSize = 0;
    for (const auto& [output, size] : FOutputSizes)
        if (output == path) {
            newSize = size;
            break;
        }
    bool cancel = false;
    mode = AskReplace(88, path, oldSize, oldDate, newSize, date, cancel) ? TOverwriteMode::omOverwrite
                                                                         : TOverwriteMode::omSkip;
    if (cancel) {
        FCancelled = true;
        reader.SetCancel(true);
    }
}

void TArchiveOperations::AskPassword(const std::string& name, std::string& password, bool& tryAgain) {
    std::string typed;
    const int result = FView.AskPassword(name, typed);
    tryAgain = false;
    if (result == 1) {
        tryAgain = true;
        password = typed;
    } else if (result != 5) {
        FCancelled = true;
        if (ActiveArchiveComponent) ActiveArchiveComponent->SetCancel(true);
    }
}

void TArchiveOperations::NextVolume(std::string& volumeName, const std::string& volumeID, bool exists,
                                    bool& cancel) {
    cancel = false;
    if (exists) return;
    const std::string message = LoadLangStr(106) + volumeName + "   " + LoadLangStr(107) + volumeID;
    // OK keeps the volume's path: the component looks for it again and asks
    // again while it is not there.
    if (FPrompts.AskNextVolume(message, FOpener.ArchiveFile()) != 1) {
        cancel = true;
        FCancelled = true;
    }
}

// ---- writing ----------------------------------------------------------------------------

bool TArchiveOperations::CompressorForArchive() {
    FSelectedCompressor.reset();
    const TArcType type = FOpener.ArcType();
    if (!IsCompressibleArcType(type)) {
        FView.ShowMessage(LoadLangStr(48), mkInformation, mbOKOnly);
        return false;
    }
    const char* name = WriterName(type);
    if (!name) return false;
    FSelectedCompressor = MakeWriter(name);
    if (!FSelectedCompressor) return false;
    FSelectedCompressor->SetArchiveFile(FOpener.ArchiveFile());
    return true;
}

void TArchiveOperations::BindWriter(TCompBase& writer) {
    writer.OnActivate = [this](TObject*) {
        if (FOpener.Lister().Tag() == VzReceiverMainWindow) {
            FView.SetProgressPercent(0);
            FView.SetProgressFolder("");
            FView.SetProgressFile("");
            FView.SetProgressMessage(LoadLangStr(617));
            FView.ShowProgressWindow(true);
        }
        FView.SetBusyCursor(true);
    };
    writer.OnDeactivate = [this](TObject*) {
        FView.SetBusyCursor(false);
        if (FOpener.Lister().Tag() != VzReceiverMainWindow) return;
        FView.ShowProgressWindow(false);
        FOpener.DisplayTotals(false);
    };
    writer.OnBegin = [this, &writer](TObject*, const std::string& fn, int, bool&) {
        if (writer.Switch() == TSwitch::swDelete) {
            FView.SetProgressCaption(LoadLangStr(54) + platform::NameOf(FOpener.ArchiveFile()));
            FView.SetProgressMessage(LoadLangStr(55));
        } else {
            FView.SetProgressCaption(LoadLangStr(52) + FOpener.ArchiveFile());
            FView.SetProgressMessage(LoadLangStr(53));
        }
        std::string folder, file;
        SplitStoredName(fn, folder, file);
        FView.SetProgressFolder(folder);
        FView.SetProgressFile(file);
        FView.ProcessMessages();
    };
    writer.OnEnd = [this](TObject*, const std::string&, bool) {
        if (FLastPercent < FView.ProgressMaximum()) return;
        FView.SetProgressFolder("");
        FView.SetProgressFile("");
        FView.SetProgressMessage(LoadLangStr(56));
    };
    writer.OnRecurseDir = [this](TObject*, const std::string& folder) {
        FView.SetProgressMessage(LoadLangStr(59));
        FView.SetProgressFolder(folder);
    };
    writer.OnProgress = [this](TObject*, uint8_t, uint8_t byArchive) {
        FLastPercent = byArchive;
        if (FOpener.Lister().Tag() == VzReceiverMainWindow) FView.SetProgressPercent(byArchive);
    };
    writer.OnReplaceFile = [this, &writer](TObject*, const std::string&, const std::string& fn, TDateTime oldDate,
                                           TDateTime newDate, int64_t oldSize, int64_t newSize, int, int,
                                           bool& replace) {
        bool cancel = false;
        replace = AskReplace(60, fn, oldSize, oldDate, newSize, newDate, cancel);
        if (cancel) {
            FCancelled = true;
            writer.SetCancel(true);
        }
    };
    writer.OnNonWriteableArchive = [this](TObject*, const std::string& archive, bool& writeToFile) {
        writeToFile = FView.ShowMessage(archive + " " + LoadLangStr(57) + "\n\n" + LoadLangStr(58), mkQuestion,
                                        mbYesNo) == mrYes;
    };
    writer.OnGetPassword = [this](TObject*, const std::string& fn, std::string& password, bool& tryAgain) {
        AskPassword(fn, password, tryAgain);
    };
    writer.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
}

void TArchiveOperations::PrepareZipEngine() {
    FZipEngine->Prepare(FOpener.ArchiveFile(), NormaliseTempFolder(TempFolder));
}

int TArchiveOperations::RunZipEngine(const std::vector<std::string>* list,
                                     const std::vector<std::string>* exclusions, bool recurse, int mode,
                                     bool multiDisk, bool storePaths) {
    return FZipEngine->Run(list, exclusions, recurse, mode, multiDisk, storePaths);
}

int TArchiveOperations::VendorZipAddOrRemove(const std::vector<std::string>* process,
                                             const std::vector<std::string>* exclude, bool subfolders,
                                             bool preservePaths, bool spanDisks, bool remove) {
    const uint32_t h = FOpener.VzInstance();
    VzSetZipFilenameA(h, FOpener.ArchiveFile().c_str());
    SetXzFileList(h, process, true);
    SetXzFileList(h, exclude, false);
    VzSetProcessSubfolders(h, BoolToXz(subfolders));
    VzSetPreservePaths(h, BoolToXz(preservePaths));
    VzSetSpanMultipleDisks(h, BoolToXz(spanDisks));
    VzSetZipOpenedFiles(h, 1);
    return remove ? VzRemoveFiles(h) : VzZip(h);
}

bool TArchiveOperations::AddToArchive(const std::vector<std::string>& specs, bool recurse, bool forceZipWriter,
                                      TSwitch mode, TStoredDirNames storedDirNames) {
    if (FBusy) return false;
    const bool zipWriter = forceZipWriter || IsZipFamily(FOpener.ArcType());
    if (!zipWriter && !CompressorForArchive()) return false;
    TBusyScope busy(*this);
    FErrorShown = false;
    if (zipWriter) {
        PrepareZipEngine();
        const int code = RunZipEngine(&specs, nullptr, recurse, 0, false, storedDirNames != TStoredDirNames::sdNone);
        ShowError(VendorErrorText(code));
        return code == 0;
    }
    TCompBase& writer = *FSelectedCompressor;
    writer.SetSwitch(mode);
    TArcFileAttr& attr = writer.FileAttribute();
    attr.SetftArchive(true);
    attr.SetftReadOnly(true);
    attr.SetftHidden(true);
    attr.SetftSysFile(true);
    attr.SetftVolumeID(true);
    writer.SetRecurseDirs(recurse);
    writer.SetStoredDirNames(storedDirNames);
    writer.FileSpecList() = specs;
    const bool ok = RunWriter(writer);
    FSelectedCompressor.reset();
    return ok;
}

bool TArchiveOperations::RunWriter(TCompBase& writer) {
    FErrorShown = false;
    FCancelled = false;
    BindWriter(writer);
    writer.SetTempDir(NormaliseTempFolder(TempFolder));
    writer.ClearLastError();
    writer.Compress();
    const int last = writer.LastError();
    if (last && !(FCancelled && last == arcerr::UserAbort)) ShowError(ArcErrorMessage(last));
    return last == 0;
}

bool TArchiveOperations::RunBusy(const std::function<void()>& work) {
    if (FBusy) return false;
    TBusyScope busy(*this);
    work();
    return true;
}

bool TArchiveOperations::DeleteFromArchive(const std::vector<std::string>& names) {
    if (FBusy) return false;
    if (names.empty()) {
        FView.ShowMessage(LoadLangStr(41), mkInformation, mbOKOnly);
        return false;
    }
    const TArcType type = FOpener.ArcType();
    const bool zipWriter = type == TArcType::atZip || type == TArcType::atZipExe;
    if (!zipWriter && !CompressorForArchive()) return false;
    // The engines take the names as masks: when they would also take an entry that
    // was not chosen ("a*" and "abc"), nothing is deleted.
    if (NamesReachOtherEntries(names, FList)) {
        FSelectedCompressor.reset();
        FView.ShowMessage(LoadLangStr(2961), mkInformation, mbOKOnly);
        return false;
    }
    if (FView.ShowMessage(LoadLangStr(40), mkQuestion, mbYesNo) != mrYes) {
        FSelectedCompressor.reset();
        return false;
    }
    bool ok = false;
    {
        TBusyScope busy(*this);
        FErrorShown = false;
        if (zipWriter) {
            FView.SetProgressPercent(0);
            FView.SetProgressCaption(LoadLangStr(54) + platform::NameOf(FOpener.ArchiveFile()));
            FView.SetProgressMessage(LoadLangStr(55));
            FView.ShowProgressWindow(true);
            PrepareZipEngine();
            std::vector<std::string> lines;
            for (const std::string& n : names) AddNameForms(lines, n);
            const int code = RunZipEngine(&lines, nullptr, false, 2, false, true);
            FView.ShowProgressWindow(false);
            ShowError(VendorErrorText(code));
            ok = code == 0;
        } else {
            TCompBase& writer = *FSelectedCompressor;
            std::vector<std::string> lines;
            for (const std::string& n : names) AddNameForms(lines, n);
            writer.FileSpecList() = lines;
            writer.SetSwitch(TSwitch::swDelete);
            BindWriter(writer);
            writer.OnDeactivate = nullptr;
            writer.SetTempDir(NormaliseTempFolder(TempFolder));
            writer.ClearLastError();
            writer.Compress();
            FView.ShowProgressWindow(false);
            const int last = writer.LastError();
            if (last && !(FCancelled && last == arcerr::UserAbort)) ShowError(ArcErrorMessage(last));
            ok = last == 0;
            if (ok) PlaySoundRes("LIXO");
        }
        FSelectedCompressor.reset();
    }
    // The archive is detected and listed again.
    const std::string archive = FOpener.ArchiveFile();
    FOpener.Lister().SetArchiveFile("");
    FOpener.Lister().SetArchiveFile(archive);
    FOpener.List();
    FOpener.EnableMenus();
    return ok;
}

} // namespace mv
