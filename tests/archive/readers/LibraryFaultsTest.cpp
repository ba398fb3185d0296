// The zip writer's fault table (no space, read error, failed rename, cancel) run
// against the readers that stand on our RAR, ACE and cabinet libraries, through
// the fake file system: whatever fails, the target folder holds no partial file
// (each file is either the old one, byte-identical, or the whole member) and
// the archive is untouched.
#include "platform/FakeFileSystem.h"
#include "tests/archive/readers/ReaderTestSupport.h"

#include <functional>

using namespace readertest;

namespace {

struct Fault {
    const char* what;
    // Arms the fault for one extraction of archive; may change the options.
    std::function<void(mv::platform::FakeFileSystem&, const fs::path& archive, Options&)> arm;
};

const std::vector<Fault>& Faults() {
    static const std::vector<Fault> faults = {
        {"no space", [](auto& f, const fs::path&, Options&) { f.FailWritesAfter(3000); }},
        {"read error", [](auto& f, const fs::path& archive,
                          Options&) { f.FailReadsOf(archive.string(), fs::file_size(archive) / 2); }},
        {"failed rename", [](auto& f, const fs::path&, Options&) { f.FailRenames(true); }},
        {"cancel", [](auto&, const fs::path&, Options& o) { o.cancelAfter = 1; }},
    };
    return faults;
}

// Extracts archive under every fault into a folder that already holds an old
// file for each member (and one of its own); what the folder holds afterwards
// is checked against the old files and a clean extraction.
void ExpectFaultsLeaveNoPartialFile(const fs::path& archive) {
    mvtest::TempDir work;
    const auto clean = [&] {
        const fs::path dir = work / "clean";
        Outcome o = ExtractAll(archive, dir);
        EXPECT_TRUE(o.errors.empty());
        EXPECT_EQ(o.raised, 0);
        return Tree(dir);
    }();
    ASSERT_GE(clean.size(), 2u);
    size_t largest = 0;
    for (const auto& [name, bytes] : clean) largest = std::max(largest, bytes.size());
    ASSERT_GT(largest, 6000u) << "a member must outlast the write budget";
    const auto archiveBytes = mvtest::ReadFileBytes(archive);

    for (const auto& fault : Faults()) {
        SCOPED_TRACE(fault.what);
        const fs::path target = work / fault.what;
        for (const auto& [name, bytes] : clean) {
            fs::create_directories((target / name).parent_path());
            mvtest::WriteFileText(target / name, "old " + name);
        }
        mvtest::WriteFileText(target / "keep.txt", "mine");
        const auto before = Tree(target);

        Options opt;
        Outcome o;
        {
            mv::platform::FakeFileSystem fake;
            mv::platform::ScopedFileSystem use(fake);
            fault.arm(fake, archive, opt);
            o = ExtractAll(archive, target, opt);
            fake.ClearFaults();
        }
        EXPECT_TRUE(!o.errors.empty() || o.raised != 0 || o.cancelled) << "the fault went unnoticed";
        EXPECT_LT(o.extracted, int(clean.size()));

        const auto after = Tree(target);
        size_t kept = 0;
        for (const auto& [name, bytes] : after) {
            SCOPED_TRACE(name);
            auto old = before.find(name);
            ASSERT_NE(old, before.end()) << "left behind";
            if (bytes == old->second) {
                ++kept;
                continue;
            }
            auto whole = clean.find(name);
            ASSERT_NE(whole, clean.end());
            EXPECT_EQ(bytes, whole->second) << "a partial file";
        }
        EXPECT_EQ(after.size(), before.size());
        EXPECT_GE(kept, 2u); // keep.txt and the member the fault hit
        EXPECT_EQ(mvtest::ReadFileBytes(archive), archiveBytes);
    }
}

} // namespace

TEST(LibraryFaults, RarExtraction) {
    mvtest::TempDir dir;
    fs::copy_file(mvtest::CorpusDir() / "rar/rar2x_sc.rar", dir / "a.rar");
    ExpectFaultsLeaveNoPartialFile(dir / "a.rar");
}

TEST(LibraryFaults, AceExtraction) {
    mvtest::TempDir dir;
    fs::copy_file(mvtest::CorpusDir() / "ace/method2.ace", dir / "a.ace");
    ExpectFaultsLeaveNoPartialFile(dir / "a.ace");
}

TEST(LibraryFaults, CabExtraction) {
    MV_REQUIRE_TOOL("gcab");
    mvtest::TempDir dir;
    fs::create_directories(dir / "in" / "sub");
    mvtest::WriteFileBytes(dir / "in" / "a.txt", mvtest::TextBytes(80000, 1));
    mvtest::WriteFileBytes(dir / "in" / "sub" / "b.bin", mvtest::RandomBytes(20000, 2));
    auto r = mvtest::Run("gcab -c -z a.cab in/a.txt in/sub/b.bin", dir.Path());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    ExpectFaultsLeaveNoPartialFile(dir / "a.cab");
}
