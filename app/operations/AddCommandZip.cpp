#include "app/operations/AddCommandZip.h"

#include "app/operations/ZipEngineRun.h"
#include "platform/FileSystem.h"
#include "zipwriter/ZipEngine.h"
#include "zipwriter/ZipHeader.h"

#include <algorithm>

namespace mv {

struct TZipAddHooks::TSaved {
    TStartZipEvent StartZip;
    TProcuraPath FindPath;
    std::function<bool(const std::string&, const std::string&)> Confirm;
};

TZipAddHooks::TZipAddHooks(TZipEngineRunner& runner, int level, const std::string& password,
                           std::function<std::string(const std::string& source)> rule,
                           std::vector<std::pair<std::string, std::string>>& stored,
                           std::function<bool(const std::string& text)> nextDisk)
    : FRunner(runner), FSaved(new TSaved) {
    TZipEngine& engine = runner.Engine();
    engine.SetPackLevel(level);
    engine.SetPassword(password);
    FSaved->StartZip = engine.OnStartZip;
    FSaved->FindPath = engine.OnProcuraPath;
    FSaved->Confirm = engine.Ui.Confirm;
    if (nextDisk) engine.Ui.Confirm = [nextDisk](const std::string&, const std::string& text) { return nextDisk(text); };
    TStartZipEvent previous = FSaved->StartZip;
    engine.OnStartZip = [rule, previous, &stored](TObject* sender, const std::string& name, TZipHeaderInfo& header,
                                                  bool& skip) {
        const std::string storedName = rule(name);
        std::string folder = platform::DirectoryOf(storedName);
        if (!folder.empty() && folder.back() != '/') folder.push_back('/');
        header.SetDirectory(folder);
        if (previous) previous(sender, name, header, skip);
        if (!skip) stored.emplace_back(name, header.FullName());
    };
    // The old entry an added file replaces is the one of its stored name.
    engine.OnProcuraPath = [rule](TObject*, const std::string& name, std::string& candidate) {
        candidate = rule(name);
    };
}

TZipAddHooks::~TZipAddHooks() {
    TZipEngine& engine = FRunner.Engine();
    engine.OnStartZip = FSaved->StartZip;
    engine.OnProcuraPath = FSaved->FindPath;
    engine.Ui.Confirm = FSaved->Confirm;
    delete FSaved;
}

bool ReadZipEntryNames(const std::string& archive, std::set<std::string>& names) {
    try {
        TUnzipEngine reader;
        reader.SetZipName(archive);
        const int count = reader.Count();
        for (int i = 0; i < count; ++i) {
            std::string name = reader.Entry(i).FullName();
            std::replace(name.begin(), name.end(), '\\', '/');
            names.insert(name);
        }
        reader.CloseZip();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace mv
