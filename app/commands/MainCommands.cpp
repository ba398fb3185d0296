#include "app/commands/MainCommands.h"

#include "app/common/ExecuteFile.h"
#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "app/mainwindow/PackagerFields.h"
#include "app/operations/ArchiveOperations.h"
#include "archive/lister/ArcLister.h"
#include "platform/FileSystem.h"
#include "platform/desktop/ShellExecute.h"

#include <cctype>
#include <filesystem>

namespace mv {

namespace {

namespace fs = std::filesystem;

constexpr int mrYesAnswer = 6;

// A stored name ("\" between folders) as a path below a folder.
std::string PathBelow(const std::string& folder, const std::string& storedName) {
    std::string relative = storedName;
    for (char& c : relative)
        if (c == '\\') c = '/';
    while (!relative.empty() && relative.front() == '/') relative.erase(0, 1);
    std::string base = folder;
    if (!base.empty() && base.back() != '/') base += '/';
    return base + relative;
}

// True when path lies inside folder once both are resolved: what an extraction
// produced there, and nothing a hostile name could point at elsewhere.
bool Inside(const std::string& folder, const std::string& path) {
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(folder, ec);
    if (ec) return false;
    const fs::path target = fs::weakly_canonical(path, ec);
    if (ec) return false;
    auto b = base.begin();
    auto t = target.begin();
    for (; b != base.end(); ++b, ++t) {
        if (b->empty()) continue; // the trailing separator
        if (t == target.end() || *b != *t) return false;
    }
    return t != target.end();
}

} // namespace

TKeyCommand KeyCommandFor(char key, int32_t languageBase) {
    switch (std::toupper(static_cast<unsigned char>(key))) {
    case 'A':
        return TKeyCommand::kcAdd;
    case 'C':
        return TKeyCommand::kcOptions;
    case 'E':
        return TKeyCommand::kcExtract;
    case 'F':
        return TKeyCommand::kcWizard;
    case 'M':
        return TKeyCommand::kcEmail;
    case 'N':
        return TKeyCommand::kcNewArchive;
    case 'S':
        return TKeyCommand::kcScripts;
    case 'V':
        return TKeyCommand::kcAntiVirus;
    case 'X':
        return TKeyCommand::kcExplorer;
    case 'B':
        return languageBase == lbPortuguese || languageBase == lbSpanish ? TKeyCommand::kcOpen : TKeyCommand::kcNone;
    case 'P':
        return languageBase == lbPortuguese ? TKeyCommand::kcSearch : TKeyCommand::kcNone;
    case 'O':
        return languageBase == lbEnglish ? TKeyCommand::kcOpen : TKeyCommand::kcNone;
    case 'I':
        return languageBase == lbEnglish ? TKeyCommand::kcSearch : TKeyCommand::kcNone;
    case 'U':
        return languageBase == lbSpanish ? TKeyCommand::kcSearch : TKeyCommand::kcNone;
    default:
        return TKeyCommand::kcNone;
    }
}

TMainCommands::TMainCommands(TMainWindowView& view, TArchiveOpener& opener, TArchiveList& list,
                             TArchiveOperations& operations, TOptions& options)
    : FView(view), FOpener(opener), FList(list), FOperations(operations), FOptions(options) {}

std::string TMainCommands::View() {
    if (FOperations.Busy() || FView.SelectedItems().size() != 1) return {};
    const std::vector<std::string> names = FOperations.SelectedEntryNames();
    if (names.size() != 1 || names[0].empty()) return {};
    // The entry alone, with its folders, into a folder of its own; nothing is asked.
    std::string temp;
    FOperations.ExtractArchive({names[0]}, "", true, temp, 5, true);
    if (temp.empty()) return {};
    const std::string file = PathBelow(temp, names[0]);
    int result = seFileNotFound;
    std::error_code ec;
    if (Inside(temp, file) && fs::is_regular_file(fs::symlink_status(file, ec))) {
        result = OpenDocument(file);
        if (result == seNoAssociation) {
            const std::string viewer = TrimText(FOptions.Visualizador);
            result = viewer.empty() ? OpenDocument(file, "text/plain") : StartProgram(viewer, {file});
        }
    }
    if (result <= 32) {
        FView.ShowMessage(LoadLangStr(73), mkError, mbOKOnly);
        return {};
    }
    return file;
}

bool TMainCommands::Delete() {
    if (FOperations.Busy()) return false;
    const TArcType type = FOpener.ArcType();
    if (type == TArcType::atZipMV) {
        FView.ShowMessage(LoadLangStr(311), mkInformation, mbOKOnly);
        return false;
    }
    if (!TArchiveOpener::CommandStateFor(type).CanAdd) {
        FView.ShowMessage(LoadLangStr(48), mkInformation, mbOKOnly);
        return false;
    }
    return FOperations.DeleteFromArchive(FOperations.SelectedEntryNames());
}

bool TMainCommands::AntiVirus() {
    if (FOperations.Busy()) return false;
    PlaySoundRes("CLICK");
    const auto programName = [this] { return platform::NameOf(TrimText(FOptions.Virus)); };
    if (programName().empty()) {
        if (FView.ShowMessage(LoadLangStr(81) + "\n\n" + LoadLangStr(82), mkWarning, mbYesNo) == mrYesAnswer &&
            OpenOptions)
            OpenOptions(VirusOptionsPage);
        if (programName().empty()) return false;
    }
    std::string temp;
    FOperations.ExtractArchive({"*"}, "", true, temp, 5);
    FView.ClearSelection();
    if (temp.empty()) return false;
    // The folder is one argument, whatever it holds; only the scanner's own
    // parameters are split as on a command line.
    std::vector<std::string> arguments{temp};
    for (const std::string& p : SplitParameters(FOptions.VirusParametros)) arguments.push_back(p);
    if (StartProgram(TrimText(FOptions.Virus), arguments) <= 32) {
        FView.ShowMessage(LoadLangStr(83), mkError, mbOKOnly);
        return false;
    }
    return true;
}

bool TMainCommands::Email() {
    if (FOperations.Busy() || TrimText(FOpener.ArchiveFile()).empty()) return false;
    PlaySoundRes("CLICK");
    FView.SetBusyCursor(true);
    std::error_code ec;
    std::string archive = FOpener.ArchiveFile();
    if (!archive.empty()) archive = fs::absolute(archive, ec).string();
    const std::string program = TrimText(FOptions.Email);
    const int result = program.empty() ? StartProgram("xdg-email", {"--attach", archive})
                                       : StartProgram(program, {archive});
    FView.SetBusyCursor(false);
    if (result <= 32) {
        FView.ShowMessage(LoadLangStr(626), mkError, mbOKOnly);
        return false;
    }
    return true;
}

template <typename Body> void TMainCommands::WithListerLent(int tag, Body body) {
    TArcLister& lister = FOpener.Lister();
    const std::string archive = FOpener.ArchiveFile();
    const auto giveBack = [&] {
        lister.SetTag(VzReceiverMainWindow);
        lister.SetArchiveFile(archive);
        lister.SetFileSpec({FOpener.FileSpecText()});
    };
    lister.SetTag(tag);
    try {
        body(archive);
    } catch (...) {
        giveBack();
        throw;
    }
    giveBack();
}

void TMainCommands::Wizard() {
    if (FOperations.Busy()) return;
    PlaySoundRes("CLICK");
    SetSoundsEnabled(false);
    std::vector<std::string> entries;
    for (const TArchiveRow& row : FList.Rows()) entries.push_back(row.StoredName());
    WithListerLent(VzReceiverWizard, [&](const std::string& archive) {
        if (RunWizard) RunWizard(archive, entries);
    });
}

void TMainCommands::Scripts() {
    if (FOperations.Busy()) return;
    PlaySoundRes("CLICK");
    SetSoundsEnabled(false);
    WithListerLent(VzReceiverMainWindow, [&](const std::string&) {
        if (RunScripts) RunScripts();
    });
}

} // namespace mv
