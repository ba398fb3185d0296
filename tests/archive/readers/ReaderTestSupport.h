#pragma once
// Shared by the reader tests: one extraction with its reports collected (through
// a given reader or the reader table), and the files a folder holds.
#include "archive/framework/ArcErrors.h"
#include "archive/readers/ReaderFactory.h"
#include "archive/readers/UnBase.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace readertest {

namespace fs = std::filesystem;

// What one extraction reported.
struct Outcome {
    std::vector<int> errors; // OnError's numbers in order (-1: no reader takes the archive)
    int extracted = 0;       // ExtractedCount
    int raised = 0;          // the number of the error that ended the extraction (0: none)
    bool cancelled = false;  // Cancel at the end
    std::vector<std::pair<std::string, bool>> ends; // OnEnd's name and check, in order
};

struct Options {
    std::string password; // offered once through OnGetPassword
    bool volumes = true;  // OnNextVolume takes the volumes that exist (false: no handler)
    int cancelAfter = -1; // progress reports before Cancel is set (-1: never)
    bool ends = true;     // an OnEnd handler collects the reports (false: none)
    // With no password: an OnGetPassword handler that gives up (false: none).
    bool askWithoutPassword = false;
    // The number of a raised error joins errors when OnError reported none.
    bool raisedAsError = false;
    std::vector<std::string> spec = {"*.*"};
};

// Extracts the reader's archive into dir, overwriting, with the handlers opt asks for.
inline Outcome Run(mv::TUnBase& reader, const fs::path& dir, const Options& opt = {}) {
    Outcome o;
    reader.SetExtractDir(dir.string());
    reader.SetConfirmOverwrites(false);
    reader.FileSpecList() = opt.spec;
    reader.SetPasswordAttempts(1);
    if (!opt.password.empty() || opt.askWithoutPassword)
        reader.OnGetPassword = [password = opt.password](mv::TObject*, const std::string&,
                                                         std::string& answer, bool& tryAgain) {
            tryAgain = !password.empty();
            answer = password;
        };
    if (opt.volumes)
        reader.OnNextVolume = [](mv::TObject*, std::string&, const std::string&, bool exists, bool& cancel) {
            cancel = !exists;
        };
    reader.OnError = [&](mv::TObject*, const std::string&, const std::string&, const std::string&, int code) {
        o.errors.push_back(code);
    };
    if (opt.ends)
        reader.OnEnd = [&](mv::TObject*, const std::string& fn, bool pass) { o.ends.emplace_back(fn, pass); };
    int progress = 0;
    if (opt.cancelAfter >= 0)
        reader.OnProgress = [&](mv::TObject*, uint8_t, uint8_t) {
            if (++progress > opt.cancelAfter) reader.SetCancel(true);
        };
    try {
        reader.Extract();
    } catch (const mv::E_RAISE& e) {
        o.raised = e.ErrorCode();
        if (opt.raisedAsError && o.errors.empty()) o.errors.push_back(o.raised);
    }
    o.extracted = reader.ExtractedCount();
    o.cancelled = reader.Cancel();
    // The handlers refer to this call's locals.
    reader.OnError = nullptr;
    reader.OnEnd = nullptr;
    reader.OnProgress = nullptr;
    return o;
}

// Extracts archive with the given reader.
inline Outcome Extract(mv::TUnBase& reader, const fs::path& archive, const fs::path& dir,
                       const Options& opt = {}) {
    reader.SetArchiveFile(archive.string());
    return Run(reader, dir, opt);
}

// Extracts archive with the reader the reader table gives for it.
inline Outcome ExtractAll(const fs::path& archive, const fs::path& dir, const Options& opt = {}) {
    auto reader = mv::NewReaderFor(archive.string());
    if (!reader) {
        Outcome o;
        o.errors.push_back(-1);
        return o;
    }
    return Run(*reader, dir, opt);
}

// The files below dir by relative path, with their bytes (withLinks: files
// reached through a symbolic link count too).
inline std::map<std::string, std::vector<uint8_t>> Tree(const fs::path& dir, bool withLinks = true) {
    std::map<std::string, std::vector<uint8_t>> out;
    if (!fs::exists(dir)) return out;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file() && (withLinks || !e.is_symlink()))
            out[fs::relative(e.path(), dir).string()] = mvtest::ReadFileBytes(e.path());
    return out;
}

// Whether the extraction reported `code`, through OnError or as the error that ended it.
inline bool Reported(const Outcome& o, int code) {
    return o.raised == code || std::find(o.errors.begin(), o.errors.end(), code) != o.errors.end();
}

// Cancel at the first progress report: nothing is extracted and no file stays behind.
inline void ExpectCancelLeavesNothing(const fs::path& archive) {
    mvtest::TempDir dir;
    Outcome o = ExtractAll(archive, dir.Path(), {.password = {}, .cancelAfter = 0});
    EXPECT_EQ(o.extracted, 0);
    for (auto& [name, bytes] : Tree(dir.Path())) ADD_FAILURE() << "left behind: " << name;
}

// Hostile fixtures of one member each, named "../evil.txt" (climbing out of the
// target) or "/tmp/evil_abs.txt" (absolute): both land inside the target.
inline void ExpectHostileNamesStayInside(const std::vector<std::string>& fixtures) {
    mvtest::TempDir outer;
    const fs::path target = outer / "a" / "b";
    fs::create_directories(target);
    for (const auto& f : fixtures) {
        SCOPED_TRACE(f);
        Outcome o = ExtractAll(mvtest::FixtureDir() / "hostile" / f, target);
        EXPECT_EQ(o.extracted, 1);
    }
    EXPECT_TRUE(fs::exists(target / "evil.txt"));
    EXPECT_TRUE(fs::exists(target / "tmp" / "evil_abs.txt"));
    EXPECT_FALSE(fs::exists(outer / "evil.txt"));
    EXPECT_FALSE(fs::exists(outer / "a" / "evil.txt"));
    EXPECT_EQ(Tree(outer.Path()).size(), 2u);
}

// Damaged hostile fixtures, each with the error number it must report: no file stays behind.
inline void ExpectDamagedEndWithErrors(const std::vector<std::pair<std::string, int>>& cases) {
    for (const auto& [file, error] : cases) {
        SCOPED_TRACE(file);
        mvtest::TempDir dir;
        Outcome o = ExtractAll(mvtest::FixtureDir() / "hostile" / file, dir.Path());
        EXPECT_TRUE(Reported(o, error));
        EXPECT_TRUE(Tree(dir.Path()).empty());
    }
}

} // namespace readertest
