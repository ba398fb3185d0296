#pragma once
// The main window's commands that work on the open archive and the selected rows:
// view an entry, delete entries, check the archive with the configured virus
// scanner, send it by e-mail, and the doors to the self-extractor wizard and to the
// backup scripts; plus the window's letter keys and the command each one starts.
//
// Programs are started with an argument vector, never through a shell: a file or
// folder name with blanks or quotes reaches the program as one argument. A file taken
// out of an archive to be viewed is opened with the default application for its
// type and is never run itself.
#include "app/mainwindow/ArchiveList.h"
#include "app/mainwindow/ArchiveOpener.h"
#include "app/mainwindow/MainWindowView.h"
#include "app/settings/Options.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

class TArchiveOperations;

// What a letter key of the main window starts.
enum class TKeyCommand {
    kcNone,
    kcAdd,
    kcOptions,
    kcExtract,
    kcWizard,
    kcEmail,
    kcNewArchive,
    kcScripts,
    kcAntiVirus,
    kcExplorer,
    kcOpen,
    kcSearch,
};

// The command of a key (either case) for a language base: the keys that open and
// search follow the language (B/P Portuguese, O/I English, B/U Spanish).
TKeyCommand KeyCommandFor(char key, int32_t languageBase);

// The options page the anti-virus command opens when no scanner is configured.
constexpr const char* VirusOptionsPage = "LocalProgramasTb";

class TMainCommands {
public:
    TMainCommands(TMainWindowView& view, TArchiveOpener& opener, TArchiveList& list, TArchiveOperations& operations,
                  TOptions& options);

    // ---- what the commands reach outside this class (unset: nothing happens)
    // The options dialog on a page (its control name); answers when it has closed.
    std::function<void(const std::string& page)> OpenOptions;
    // The self-extractor wizard on an archive with its entry names, shown modally.
    std::function<void(const std::string& archive, const std::vector<std::string>& entries)> RunWizard;
    // The backup script manager, shown modally.
    std::function<void()> RunScripts;

    // View: the one selected entry goes into a new temporary folder and opens with the
    // default application for its type; without one, with the configured viewer (the
    // default application for plain text when none is configured). Error 73 when it
    // cannot be shown. Nothing with no or several rows selected. The path handed over.
    std::string View();
    // Delete: 311 for a multi-volume ZIP, 48 for a type that cannot be written, else
    // the selected entries go after the question.
    bool Delete();
    // Anti-virus: asks to configure a scanner when none is set (81, 82; Yes opens the
    // options on their programs page); then every entry goes into a new temporary
    // folder and the scanner runs with that folder and its own parameters. Error 83
    // when it cannot be started.
    bool AntiVirus();
    // E-mail: the archive goes to `xdg-email --attach`, or to the configured e-mail
    // program as its one argument. Error 626 when it cannot be started.
    bool Email();
    // The wizard and the script manager: the lister is handed to them (the wizard's
    // tag) and given back afterwards, with its archive and file specification, also
    // when they fail.
    void Wizard();
    void Scripts();

private:
    template <typename Body> void WithListerLent(int tag, Body body);

    TMainWindowView& FView;
    TArchiveOpener& FOpener;
    TArchiveList& FList;
    TArchiveOperations& FOperations;
    TOptions& FOptions;
};

} // namespace mv
