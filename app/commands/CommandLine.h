#pragma once
// The verbs the program runs unattended from its command line, as the file
// managers' actions, the launchers and the backup shortcuts start it:
//
//   E archive folder      extract every entry into folder (asks before overwriting)
//   ES archive            extract through the extract dialog
//   A archive path        add a file, or a folder's content recursively, to a ZIP
//   AS file               the add dialog on the file for a new "NovoArquivoN.zip" beside it
//   ASQ listfile folder   the add dialog on the list file's items for a new archive in folder
//   SFX archive           the self-extractor wizard on the archive
//   /S script             the backup script manager on a script
//
// Every verb ends the program with the quit marker (167), also when it fails; the
// main window stays hidden throughout. The silent verbs (E, A) never ask anything that
// is not about the files they write: a missing archive or path is reported on the
// standard error stream, never in a box nobody asked for.
#include "app/mainwindow/ArchiveOpener.h"
#include "app/mainwindow/MainWindowView.h"
#include "app/mainwindow/ProgramStart.h"
#include "app/operations/OperationPrompts.h"
#include "app/settings/Options.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace mv {

class TArchiveOperations;

// The first free "NovoArquivo<n>.zip" (string 618) in folder for n from 1 to 10000;
// n is 10000 when every name is taken. folder ends in "/".
std::string NewArchiveName(const std::string& folder);

// The folder of a path up to and including its last "/".
std::string FolderOfPath(const std::string& path);

// The lister's routing tag and file specification, as the verbs and commands leave
// them (for the forms they hand the lister to).
int ListerTag(TArchiveOpener& opener);
std::vector<std::string> ListerFileSpec(TArchiveOpener& opener);

class TCommandLine {
public:
    TCommandLine(TMainWindowView& view, TArchiveOpener& opener, TArchiveOperations& operations, TOptions& options,
                 std::ostream& errors);

    // ---- what the verbs reach outside this class
    // The add command for a new archive with a list of items (AS, ASQ): the add
    // dialog with the items, which writes the archive the user confirms.
    std::function<void(const std::string& archive, const std::vector<std::string>& items)> AddFiles;
    // The extract dialog (ES).
    std::function<bool(TExtractChoice& choice)> ExtractDialog;
    // The self-extractor wizard started from the command line (SFX), on the archive
    // with its entry names.
    std::function<void(const std::string& archive, const std::vector<std::string>& entries)> RunWizard;
    // The script manager on a script name (/S; the name trimmed and upper-cased).
    std::function<void(const std::string& script)> RunScripts;
    // The entry names of the open archive, once listed (SFX).
    std::function<std::vector<std::string>()> EntryNames;

    // Runs the verb of the decision and answers the exit code: 167 for every verb,
    // also when it fails.
    int Run(const TStartDecision& decision);

private:
    void Extract(const std::string& archive, const std::string& folder);
    void ExtractWithDialog(const std::string& archive);
    void Add(const std::string& archive, const std::string& path);
    void AddToNew(const std::string& folder, const std::vector<std::string>& items);
    void Wizard(const std::string& archive);
    // Points the lister at an existing archive; false (reported) when there is none.
    bool UseArchive(const std::string& archive);
    void NotFound(const std::string& path);

    TMainWindowView& FView;
    TArchiveOpener& FOpener;
    TArchiveOperations& FOperations;
    TOptions& FOptions;
    std::ostream& FErrors;
};

} // namespace mv
