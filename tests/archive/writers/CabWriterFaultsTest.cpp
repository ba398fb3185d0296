// The zip writer's fault table (no space, read error, failed rename, cancel) run
// against the CAB writer updating a cabinet, through the fake file system: the
// old cabinet stays byte-identical, no temporary file is left beside it, the
// sources stay, and cabextract still takes the old cabinet.
#include "archive/writers/CabWriter.h"

#include "platform/FakeFileSystem.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

using namespace mv;
using namespace mvtest;

namespace {

std::set<std::string> Names(const fs::path& dir) {
    std::set<std::string> out;
    for (auto& e : fs::recursive_directory_iterator(dir)) out.insert(fs::relative(e.path(), dir).string());
    return out;
}

// One update of the cabinet with every file of src; the error number it ended with.
int Update(const fs::path& cab, const fs::path& src, const std::function<void(TMakeCAB&)>& setup = {}) {
    TMakeCAB c;
    c.SetArchiveFile(cab.string());
    c.SetCompressMethod(TCompressMethod::cmMsZip);
    c.SetSwitch(TSwitch::swAdd);
    c.SetTempDir(cab.parent_path().string());
    c.FileSpecList().push_back((src / "*").string());
    c.OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, int64_t,
                         int64_t, int, int, bool& replace) { replace = true; };
    if (setup) setup(c);
    c.Compress();
    return c.LastError();
}

} // namespace

TEST(CabWriterFaults, FailuresKeepTheOldCabinet) {
    MV_REQUIRE_TOOL("cabextract");
    TempDir t;
    fs::create_directories(t / "old");
    WriteFileBytes(t / "old" / "one.txt", TextBytes(50000, 1));
    WriteFileBytes(t / "old" / "two.bin", RandomBytes(30000, 2));
    const fs::path cab = t / "a.cab";
    ASSERT_EQ(Update(cab, t / "old"), 0);
    const auto old = ReadFileBytes(cab);
    fs::create_directories(t / "new");
    WriteFileBytes(t / "new" / "three.txt", TextBytes(200000, 3));
    WriteFileBytes(t / "new" / "four.bin", RandomBytes(100000, 4));
    const auto names = Names(t.Path());

    struct Fault {
        const char* what;
        std::function<void(platform::FakeFileSystem&, TMakeCAB&)> arm;
    };
    const std::vector<Fault> faults = {
        {"no space", [](platform::FakeFileSystem& f, TMakeCAB&) { f.FailWritesAfter(60000); }},
        {"read error", [](platform::FakeFileSystem& f, TMakeCAB&) { f.FailReadsAfter(150000); }},
        {"read error of the old cabinet",
         [&](platform::FakeFileSystem& f, TMakeCAB&) { f.FailReadsOf(cab.string(), old.size() / 2); }},
        {"failed rename", [](platform::FakeFileSystem& f, TMakeCAB&) { f.FailRenames(true); }},
        {"cancel",
         [](platform::FakeFileSystem&, TMakeCAB& c) {
             c.OnProgress = [&c](TObject*, uint8_t byFile, uint8_t) {
                 if (byFile > 0) c.SetCancel(true);
             };
         }},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.what);
        int error = 0;
        {
            platform::FakeFileSystem fake;
            platform::ScopedFileSystem use(fake);
            error = Update(cab, t / "new", [&](TMakeCAB& c) { f.arm(fake, c); });
            fake.ClearFaults();
        }
        EXPECT_NE(error, 0);
        EXPECT_EQ(ReadFileBytes(cab), old);
        EXPECT_EQ(Names(t.Path()), names);
    }
    auto r = mvtest::Run("cabextract -t " + Quote(cab.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    // Without a fault the same update goes through.
    EXPECT_EQ(Update(cab, t / "new"), 0);
    EXPECT_NE(ReadFileBytes(cab), old);
}
