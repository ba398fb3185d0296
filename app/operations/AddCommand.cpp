#include "app/operations/AddCommand.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/SfxPlaceholders.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "app/mainwindow/ArchiveOpener.h"
#include "app/mainwindow/MainWindowView.h"
#include "app/mainwindow/VendorBinding.h"
#include "app/operations/ArchiveOperations.h"
#include "app/operations/AddCommandZip.h"
#include "app/settings/Options.h"
#include "archive/framework/ArcFileAttr.h"
#include "archive/framework/ArcType.h"
#include "archive/libraries/vendorzip/VendorZip.h"
#include "archive/lister/ArcLister.h"
#include "archive/writers/CompBase.h"
#include "archive/writers/WriterFactory.h"
#include "platform/DriveInfo.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace mv {

// The program's add dialog (app/dialogs/AddDialog.h, whose form headers cannot meet
// the engines' in one unit).
bool ShowAddDialog(const TAddSetup& setup, TAddChoice& choice, const std::string& iniFileName);
std::string AddKindExtension(TAddArchiveKind kind);
int ShowNextDiskPrompt(const std::string& message, const std::string& archivePath);

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Slashed(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

std::string Backslashed(std::string text) {
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder;
}

// The extension of a path's file-name part, upper case, with its dot.
std::string UpperExtension(const std::string& path) {
    const std::string name = platform::NameOf(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : Upper(name.substr(dot));
}

// A gzipped tar by its name (".tgz", ".tar.gz").
bool GzippedTarName(const std::string& archive) {
    const std::string name = Upper(platform::NameOf(archive));
    auto ends = [&](const std::string& tail) {
        return name.size() > tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
    };
    return ends(".TGZ") || ends(".TAR.GZ");
}

TAddArchiveKind KindByExtension(const std::string& archive) {
    if (GzippedTarName(archive)) return TAddArchiveKind::akTar;
    const std::string ext = UpperExtension(archive);
    if (ext == ".BH") return TAddArchiveKind::akBh;
    if (ext == ".CAB") return TAddArchiveKind::akCab;
    if (ext == ".LHA" || ext == ".LZH") return TAddArchiveKind::akLha;
    if (ext == ".TAR") return TAddArchiveKind::akTar;
    if (ext == ".JAR") return TAddArchiveKind::akJar;
    if (ext == ".GZ" || ext == ".TGZ") return TAddArchiveKind::akGZip;
    return TAddArchiveKind::akZip;
}

// An existing archive is written by the writer of the type it was found to be, so
// that an archive is never rewritten in another format than its own.
bool KindByType(TArcType type, TAddArchiveKind& kind) {
    switch (type) {
    case TArcType::atZip:
    case TArcType::atZipExe:
        kind = TAddArchiveKind::akZip;
        return true;
    case TArcType::atLha:
    case TArcType::atLzh:
        kind = TAddArchiveKind::akLha;
        return true;
    case TArcType::atBh:
        kind = TAddArchiveKind::akBh;
        return true;
    case TArcType::atCab:
        kind = TAddArchiveKind::akCab;
        return true;
    case TArcType::atGZip:
        kind = TAddArchiveKind::akGZip;
        return true;
    case TArcType::atTar:
        kind = TAddArchiveKind::akTar;
        return true;
    case TArcType::atJar:
        kind = TAddArchiveKind::akJar;
        return true;
    default:
        return false;
    }
}

const char* WriterNameOf(TAddArchiveKind kind) {
    switch (kind) {
    case TAddArchiveKind::akLha:
        return "lha";
    case TAddArchiveKind::akBh:
        return "bh";
    case TAddArchiveKind::akCab:
        return "cab";
    case TAddArchiveKind::akGZip:
        return "gzip";
    case TAddArchiveKind::akTar:
        return "tar";
    case TAddArchiveKind::akJar:
        return "jar";
    case TAddArchiveKind::akZip:
        break;
    }
    return nullptr;
}

// The method of the writers by its name, in the order of TCompressMethod.
TCompressMethod MethodByName(const std::string& text) {
    const std::string names[] = {LoadLangStr(74), LoadLangStr(75), "Fuse",     "Frozen1",  "Frozen5", "MsZip",
                                 "Lzx",           "Quantum",       "UUEncode", "XXEncode", "Tarred",  "GzipTar"};
    for (size_t i = 0; i < std::size(names); ++i)
        if (names[i] == text) return static_cast<TCompressMethod>(i);
    return TCompressMethod::cmStore;
}

// Compression level of the ZIP engines by the method list's index.
int ZipLevel(int index) {
    static const int levels[] = {0, 1, 6, 9};
    return index >= 0 && index < 4 ? levels[index] : 6;
}

// The part size as typed: its digits, separators left out.
int64_t PartSizeOf(const std::string& text) {
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') continue;
        if (value > (INT64_MAX - 9) / 10) return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::string AddStoredName(const std::string& source, TAddPathMode mode, const std::string& prefixText,
                          const std::vector<TFoundFile>& found) {
    std::string prefix = Slashed(TrimText(prefixText));
    while (!prefix.empty() && prefix[0] == '/') prefix.erase(0, 1);
    prefix = WithSeparator(prefix);
    const std::string path = Slashed(source);
    const std::string name = platform::NameOf(path);
    const std::string noDrive = platform::PathWithoutDrive(path);
    const std::string folder = WithSeparator(platform::DirectoryOf(noDrive));
    switch (mode) {
    case TAddPathMode::apNone:
        return prefix + name;
    case TAddPathMode::apFull:
        return prefix + folder + name;
    case TAddPathMode::apRelative: {
        auto it = std::lower_bound(found.begin(), found.end(), noDrive,
                                   [](const TFoundFile& f, const std::string& n) { return f.Name < n; });
        if (it == found.end() || it->Name != noDrive) return noDrive;
        const std::string& root = it->Root;
        const std::string rest = folder.substr(std::min(root.size(), folder.size()));
        return prefix + rest + name;
    }
    }
    return noDrive;
}

TEnginePlan PlanZipEngine(bool removable, bool newArchive, bool selfExtracting, const std::string& multiDisk,
                          const std::string& partSizeText) {
    TEnginePlan plan;
    const bool split = multiDisk == LoadLangStr(614);
    if (split || selfExtracting) {
        plan.Engine = TAddEngine::aeVendor;
        plan.PartSize = split && !selfExtracting ? PartSizeOf(partSizeText) : 0;
        return plan;
    }
    plan.Engine = TAddEngine::aeZipEngine;
    if (removable && newArchive) {
        if (multiDisk == LoadLangStr(372))
            plan.Span = true;
        else if (multiDisk == LoadLangStr(612))
            plan.NeedsPreview = true;
    }
    return plan;
}

TAddCommand::TAddCommand(TMainWindowView& view, TArchiveOpener& opener, TArchiveOperations& operations,
                         TOptions& options)
    : FView(view), FOpener(opener), FOperations(operations), FOptions(options) {}

bool TAddCommand::AddFiles(bool newArchive, const std::vector<std::string>* list) {
    if (FOperations.Busy()) return false;
    FLastPlan = {};
    FLastDeleted.clear();
    FOpener.Vendor().OverwriteAnswer = 0;
    std::string archive = FOpener.ArchiveFile();
    const TArcType openType = FOpener.ArcType();

    TAddSetup setup;
    setup.Archive = archive;
    setup.NewArchive = newArchive;
    setup.ShowDestination = list != nullptr;
    if (list)
        for (const std::string& item : *list)
            if (!TrimText(item).empty()) setup.Items.push_back(item);
    switch (FOptions.PastaAdicionar) {
    case pfCurrentOrArchive:
        setup.StartFolder = platform::DirectoryOf(archive);
        break;
    case pfLastUsed:
        setup.StartFolder = FOptions.UltimaPastaAdicionar;
        break;
    default:
        setup.StartFolder = FOptions.PastaAdicionarFixa;
        break;
    }
    setup.Kind = KindByExtension(archive);
    if (!newArchive && !GzippedTarName(archive)) KindByType(openType, setup.Kind);
    setup.SelfExtracting = openType == TArcType::atZipExe;
    setup.ArgumentCount = ArgumentCount;

    TAddChoice choice;
    const bool ok = AddDialog ? AddDialog(setup, choice) : ShowAddDialog(setup, choice, {});
    if (!ok) return false;

    bool written = false;
    try {
        if (list) {
            archive = choice.Archive;
            newArchive = !platform::Exists(archive);
        }
        if (!choice.CurrentFolder.empty()) FOptions.UltimaPastaAdicionar = choice.CurrentFolder;
        TAddArchiveKind kind = choice.Kind;
        if (newArchive) {
            // a new archive takes its type's extension; an existing one keeps its name
            if (!setup.SelfExtracting) archive = ReplaceExt(archive, AddKindExtension(kind));
        } else {
            FOpener.Lister().SetArchiveFile("");
            FOpener.Lister().SetArchiveFile(archive);
            if (GzippedTarName(archive)) {
                // a tar.gz is the tar writer's, gzipped
                kind = TAddArchiveKind::akTar;
                choice.MethodText = "GzipTar";
            } else {
                KindByType(FOpener.ArcType(), kind);
            }
        }
        choice.Kind = kind;
        choice.Archive = archive;
        if (WriterNameOf(kind))
            written = WriteThroughComponent(choice);
        else
            written = WriteZip(choice, newArchive);
    } catch (const std::exception& e) {
        FView.ShowProgressWindow(false);
        FView.ShowMessage(e.what(), mkError, mbOKOnly);
    }
    Refresh(archive);
    return written;
}

bool TAddCommand::WriteThroughComponent(const TAddChoice& choice) {
    std::unique_ptr<TCompBase> writer = MakeWriter(WriterNameOf(choice.Kind));
    if (!writer) return false;
    FOpener.Lister().SetArchiveFile("");
    FOpener.Lister().SetArchiveFile(choice.Archive);
    FView.SetProgressMessage(LoadLangStr(59));
    writer->SetSwitch(choice.Action);
    writer->SetArchiveFile(choice.Archive);
    TArcFileAttr& attr = writer->FileAttribute();
    attr.SetftArchive(choice.AttrArchive);
    attr.SetftReadOnly(choice.AttrReadOnly);
    attr.SetftHidden(choice.AttrHidden);
    attr.SetftSysFile(choice.AttrSystem);
    attr.SetftVolumeID(false);
    writer->SetRecurseDirs(choice.AnyRecursive);
    if (choice.Kind == TAddArchiveKind::akGZip || choice.Kind == TAddArchiveKind::akJar ||
        choice.Kind == TAddArchiveKind::akBh) {
        writer->SetCompressMethod(TCompressMethod::cmDeflate);
        static const TDeflateType types[] = {TDeflateType::dtDeflateS, TDeflateType::dtDeflateN,
                                             TDeflateType::dtDeflateX};
        writer->SetDeflateType(types[std::clamp(choice.MethodIndex, 0, 2)]);
    } else {
        writer->SetCompressMethod(MethodByName(choice.MethodText));
    }
    const bool bare = choice.PathMode == TAddPathMode::apNone && TrimText(choice.Prefix).empty();
    writer->SetStoredDirNames(bare ? TStoredDirNames::sdNone : TStoredDirNames::sdAbsoluteNoDrv);
    // Only the types that encrypt take the password (the dialog offers it for them alone).
    if (choice.Kind == TAddArchiveKind::akBh || choice.Kind == TAddArchiveKind::akJar)
        writer->SetPassword(choice.Password);
    writer->FileSpecList() = choice.FileSpecs;
    // The stored names by the dialog's path choice: the writer proposes the path
    // without its drive ("\" between folders), from which the source is known.
    const TAddPathMode mode = choice.PathMode;
    const std::string prefix = choice.Prefix;
    const std::vector<TFoundFile>& found = choice.Found;
    // (GZip names each .gz file after its source: nothing to rename there.)
    if (!bare && choice.Kind != TAddArchiveKind::akGZip)
        writer->OnRenameCompressedFile = [mode, prefix, &found](TObject*, std::string& name) {
            name = Backslashed(AddStoredName("/" + Slashed(name), mode, prefix, found));
        };
    if (choice.FileSpecs.empty()) return false;
    bool ok = false;
    FOperations.RunBusy([&] { ok = FOperations.RunWriter(*writer); });
    FView.ShowProgressWindow(false);
    // A file that could not be read was reported; the others are in the archive.
    ok = ok || writer->Replaced();
    if (writer->Replaced() && choice.Action == TSwitch::swMove) {
        // the writer deleted the files it stored; folders they emptied go as well
        for (const TFoundFile& f : choice.Found)
            if (!platform::Exists("/" + f.Name)) FLastDeleted.push_back("/" + f.Name);
        RemoveEmptiedFolders(choice);
    }
    return ok;
}

bool TAddCommand::WriteZip(const TAddChoice& choice, bool newArchive) {
    const std::string& archive = choice.Archive;
    const uint32_t instance = FOpener.VzInstance();
    TVendorZipBinding& vendor = FOpener.Vendor();
    ResetVendorZip(instance, archive, FOperations.TempFolder);
    FOpener.Lister().SetArchiveFile("");
    FOpener.Lister().SetArchiveFile(archive);
    vendor.SpanningActive = false;
    const bool removable = platform::DriveKindOf(platform::DirectoryOf(archive)) == platform::DriveKind::Removable;
    const bool selfExtracting = FOpener.ArcType() == TArcType::atZipExe;
    TEnginePlan plan = PlanZipEngine(removable, newArchive, selfExtracting, choice.MultiDisk, choice.PartSizeText);
    const int level = ZipLevel(choice.MethodIndex);
    if (plan.Engine == TAddEngine::aeVendor) {
        vendor.SpanningActive = plan.PartSize > 0;
        VzSetSplitSize(instance, static_cast<int32_t>(std::min<int64_t>(plan.PartSize, INT32_MAX)));
        VzSetExcludedFileAttributes(instance, 24 + (choice.AttrHidden ? 0 : 2) + (choice.AttrSystem ? 0 : 4) +
                                                  (choice.AttrReadOnly ? 0 : 1));
        VzSetCompressionLevel(instance, level);
        VzSetEncryptionPasswordA(instance, choice.Password.c_str());
    }
    FView.SetBusyCursor(true);
    FView.SetProgressPercent(0);
    FView.SetProgressCaption(archive);
    FView.SetProgressMessage(LoadLangStr(617));
    FView.ShowProgressWindow(true);
    if (plan.NeedsPreview) {
        // "Automatic": a span when the files would not fit on the disk in the drive
        const std::string folder = platform::DirectoryOf(archive);
        const uint64_t free = FreeBytes ? FreeBytes(folder) : platform::DriveFreeBytes(folder);
        plan.Span = free < static_cast<uint64_t>(std::max<int64_t>(choice.TotalBytes, 0));
    }
    if (plan.Span) vendor.SpanningActive = true;
    FLastPlan = plan;

    const TAddPathMode mode = choice.PathMode;
    const std::string prefix = choice.Prefix;
    const std::vector<TFoundFile>& found = choice.Found;
    // The sources and the names they were stored under, for Move.
    std::vector<std::pair<std::string, std::string>> stored;
    int code = 0;
    if (plan.Engine == TAddEngine::aeVendor) {
        vendor.StoredNameHookActive = true;
        vendor.AddStoredName = [&](const std::string& source) {
            std::string name = AddStoredName(source, mode, prefix, found);
            stored.emplace_back(source, name);
            return name;
        };
        FOperations.RunBusy([&] {
            code = FOperations.VendorZipAddOrRemove(&choice.FileSpecs, nullptr, choice.AnyRecursive, true, false,
                                                   false);
        });
        vendor.StoredNameHookActive = false;
        vendor.AddStoredName = nullptr;
    } else {
        FOperations.PrepareZipEngine();
        TZipAddHooks hooks(FOperations.ZipEngine(), level, choice.Password,
                           [&](const std::string& source) { return AddStoredName(source, mode, prefix, found); },
                           stored, [&](const std::string& text) {
                               return (AskNextDisk ? AskNextDisk(text, archive) : ShowNextDiskPrompt(text, archive)) == 1;
                           });
        FOperations.RunBusy([&] {
            code = FOperations.RunZipEngine(&choice.FileSpecs, nullptr, choice.AnyRecursive, 0, plan.Span, true);
        });
    }
    FView.ShowProgressWindow(false);
    FView.SetBusyCursor(false);
    if (code != 0) {
        std::string text = VendorErrorText(code, LoadLangStr(79));
        // A failure without a text of its own (a write error, a full disk) is still told.
        if (text.empty() && code != 1054) text = LoadLangStr(3100) + " (" + LoadLangStr(79) + ")";
        if (!text.empty()) FView.ShowMessage(text, mkError, mbOKOnly);
        if (!platform::Exists(archive)) FOpener.Lister().SetArchiveFile("");
        return false;
    }
    if (choice.Action == TSwitch::swMove) DeleteMovedSources(choice, stored);
    return true;
}

void TAddCommand::DeleteMovedSources(const TAddChoice& choice,
                                     const std::vector<std::pair<std::string, std::string>>& stored) {
    // Only what the archive is read back to hold goes; an archive that cannot be
    // read back keeps every source.
    std::set<std::string> names;
    if (!ReadZipEntryNames(choice.Archive, names)) return;
    // A name claimed by two sources (the engine kept one of them) tells not which
    // one the archive holds: both stay.
    std::map<std::string, int> claims;
    for (const auto& [source, name] : stored) ++claims[Slashed(name)];
    for (auto it = stored.rbegin(); it != stored.rend(); ++it) {
        const auto& [source, name] = *it;
        if (!names.count(Slashed(name)) || claims[Slashed(name)] > 1) continue;
        try {
            platform::Fs().RemoveFile(source);
            FLastDeleted.push_back(source);
        } catch (const std::exception&) {
            // a source that cannot be deleted stays where it is
        }
    }
    RemoveEmptiedFolders(choice);
}

void TAddCommand::RemoveEmptiedFolders(const TAddChoice& choice) {
    // The folders that held a moved file, up to the folder of a recursive
    // specification that covers them, deepest first, each when it is empty now.
    if (!choice.AnyRecursive) return;
    std::vector<std::string> roots;
    for (const std::string& spec : choice.FileSpecs) {
        const std::string mask = platform::NameOf(spec);
        if (mask.find_first_of("*?") != std::string::npos) roots.push_back(WithSeparator(platform::DirectoryOf(spec)));
    }
    std::set<std::string> folders;
    for (const std::string& file : FLastDeleted) {
        std::string folder = WithSeparator(platform::DirectoryOf(file));
        for (const std::string& root : roots) {
            if (folder.compare(0, root.size(), root) != 0) continue;
            for (std::string f = folder; f.size() >= root.size() && f.size() > 1;
                 f = WithSeparator(platform::DirectoryOf(f.substr(0, f.size() - 1))))
                folders.insert(f);
        }
    }
    std::vector<std::string> ordered(folders.begin(), folders.end());
    std::sort(ordered.begin(), ordered.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& f : ordered) platform::RemoveFolderIfEmpty(f.substr(0, f.size() - 1));
}

void TAddCommand::Refresh(const std::string& archive) {
    if (OnArchiveUsed && !archive.empty() && platform::Exists(archive)) OnArchiveUsed(archive);
    FOpener.Lister().SetArchiveFile("");
    if (!archive.empty() && platform::Exists(archive)) FOpener.Lister().SetArchiveFile(archive);
    FOpener.List();
    FOpener.EnableMenus();
}

bool TAddCommand::NewArchive(const std::string& path) {
    if (FOperations.Busy() || TrimText(path).empty()) return false;
    FOpener.CloseArchive();
    FOpener.Lister().SetArchiveFile(TrimText(path));
    return AddFiles(true);
}

bool RunAddCommand(TAddCommand& command, const std::string& archive, const std::vector<std::string>& items) {
    command.Opener().Lister().SetArchiveFile(archive);
    return command.AddFiles(!platform::Exists(archive), &items);
}

} // namespace mv
