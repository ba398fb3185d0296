#pragma once
// The zip writer component as the archive operations drive it: prepared for the
// open archive, run to add or delete, its exceptions turned into result codes, its
// progress passed on. Kept apart so that the operations need not see the
// component's own classes.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

class TZipEngine;

class TZipEngineRunner {
public:
    TZipEngineRunner();
    ~TZipEngineRunner();
    TZipEngineRunner(const TZipEngineRunner&) = delete;
    TZipEngineRunner& operator=(const TZipEngineRunner&) = delete;

    // The archive (trimmed), read sharing 64, no disk-label checks, replacing, empty
    // lists, and the temporary folder.
    void Prepare(const std::string& zipName, const std::string& tempPath);
    // mode 0 adds the files of list, 2 deletes the entries it names, others do
    // nothing. 0 on success; 1050 bad zip, 1051 incomplete, 1052 not a zip, 1054
    // cancelled, -50 any other failure.
    int Run(const std::vector<std::string>* list, const std::vector<std::string>* exclusions, bool recurse,
            int mode, bool multiDisk, bool storePaths);
    void Cancel();

    // A file is about to be added (its source path).
    std::function<void(const std::string& name)> OnStartFile;
    // The whole operation's progress, 0..100.
    std::function<void(int percent)> OnTotalPercent;
    // The message pump the component calls in its long loops.
    std::function<void()> ProcessMessages;

    TZipEngine& Engine() { return *FEngine; }

private:
    std::unique_ptr<TZipEngine> FEngine;
};

} // namespace mv
