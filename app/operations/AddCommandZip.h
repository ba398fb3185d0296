#pragma once
// The add command's dealings with the zip writer component, kept in a unit of their
// own: the component's headers and the archive components' cannot meet in one.
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace mv {

class TZipEngineRunner;

// For one run of the zip writer component: the pack level, the password, and the
// stored names made by rule (the entry's folder, and the name an old entry must have
// to be replaced, case kept). Each file the component stores goes into stored as
// (source, stored name). The component's own handlers come back when it ends.
class TZipAddHooks {
public:
    // nextDisk: asked for each further disk of a span with the prompt's text; true
    // when the user put it in.
    TZipAddHooks(TZipEngineRunner& runner, int level, const std::string& password,
                 std::function<std::string(const std::string& source)> rule,
                 std::vector<std::pair<std::string, std::string>>& stored,
                 std::function<bool(const std::string& text)> nextDisk);
    ~TZipAddHooks();
    TZipAddHooks(const TZipAddHooks&) = delete;
    TZipAddHooks& operator=(const TZipAddHooks&) = delete;

private:
    struct TSaved;
    TZipEngineRunner& FRunner;
    TSaved* FSaved;
};

// The stored names ("/" between folders) of a ZIP archive's directory; false when it
// cannot be read.
bool ReadZipEntryNames(const std::string& archive, std::set<std::string>& names);

} // namespace mv
