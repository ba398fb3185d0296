// The writers list an existing archive (swRead) like the ZIP writer does, and
// a password given to a format without encryption is refused before anything
// is written.
#include "archive/writers/WriterFactory.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace mv;
using namespace mvtest;

namespace {

std::string Mvarc() { return Quote(MvarcPath()); }

struct TListCase {
    std::string type;    // the writer's type name
    std::string archive; // made in src by the command
    std::string command;
    std::map<std::string, int64_t> entries; // name and size the listing must give
};

} // namespace

TEST(WriterList, ListsTheEntriesOfAnArchiveMadeByAPeer) {
    const std::map<std::string, int64_t> two = {{"a.txt", 5000}, {"dir\\b.bin", 3000}};
    const std::vector<TListCase> cases = {
        {"tar", "x.tar", "tar cf x.tar a.txt dir/b.bin", two},
        {"lha", "x.lzh", "lha aq x.lzh a.txt dir/b.bin", two},
        {"cab", "x.cab", "gcab -c -z x.cab a.txt dir/b.bin", two},
        {"gzip", "a.txt.gz", "gzip -k a.txt", {{"a.txt", 5000}}},
        {"bh", "x.bh", Mvarc() + " add x.bh -t bh a.txt dir/b.bin", {{"a.txt", 5000}, {"b.bin", 3000}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        TempDir t;
        WriteFileBytes(t / "a.txt", TextBytes(5000, 1));
        WriteFileBytes(t / "dir" / "b.bin", RandomBytes(3000, 2));
        auto r = mvtest::Run(c.command, t.Path());
        ASSERT_EQ(r.exitCode, 0) << r.output;
        auto writer = MakeWriter(c.type);
        ASSERT_TRUE(writer);
        writer->SetArchiveFile((t / c.archive).string());
        writer->SetSwitch(TSwitch::swRead);
        std::map<std::string, int64_t> listed;
        std::vector<int> numbers;
        writer->OnRead = [&](TObject*, int64_t, int n) {
            numbers.push_back(n);
            listed[writer->EntryInfo().FileName] = writer->EntryInfo().UnpackedSize;
        };
        const auto before = ReadFileBytes(t / c.archive);
        EXPECT_EQ(writer->Compress(), 0); // a listing compresses nothing
        EXPECT_EQ(writer->LastError(), 0);
        EXPECT_EQ(listed, c.entries);
        ASSERT_FALSE(numbers.empty());
        EXPECT_EQ(numbers.front(), 1);
        EXPECT_EQ(numbers.back(), static_cast<int>(c.entries.size()));
        EXPECT_EQ(ReadFileBytes(t / c.archive), before);
    }
}

TEST(WriterList, ADamagedArchiveIsReported) {
    TempDir t;
    WriteFileBytes(t / "x.tar", RandomBytes(3000, 3));
    WriteFileBytes(t / "x.gz", RandomBytes(3000, 4));
    for (const std::string type : {"tar", "gzip"}) {
        SCOPED_TRACE(type);
        auto writer = MakeWriter(type);
        writer->SetArchiveFile((t / (type == "tar" ? "x.tar" : "x.gz")).string());
        writer->SetSwitch(TSwitch::swRead);
        int listed = 0;
        writer->OnRead = [&](TObject*, int64_t, int) { ++listed; };
        writer->Compress();
        EXPECT_NE(writer->LastError(), 0);
        EXPECT_EQ(listed, 0);
    }
}

TEST(WriterPassword, AFormatWithoutEncryptionRefusesAPassword) {
    for (const std::string type : {"lha", "cab", "tar", "tgz", "gzip"}) {
        SCOPED_TRACE(type);
        TempDir t;
        WriteFileBytes(t / "src" / "a.txt", TextBytes(5000, 5));
        const std::string ext = type == "lha" ? "lzh" : type == "gzip" ? "gz" : type;
        const fs::path archive = t / "out" / ("x." + ext);
        fs::create_directories(t / "out");
        auto r = mvtest::Run(Mvarc() + " add " + Quote(archive.string()) + " -t " + type + " -p secret a.txt",
                             t / "src");
        EXPECT_NE(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find("25242"), std::string::npos) << r.output;
        EXPECT_TRUE(fs::is_empty(t / "out"));
        // An existing archive stays as it was.
        if (type == "gzip") continue;
        r = mvtest::Run(Mvarc() + " add " + Quote(archive.string()) + " -t " + type + " a.txt", t / "src");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const auto before = ReadFileBytes(archive);
        WriteFileBytes(t / "src" / "b.txt", TextBytes(500, 6));
        r = mvtest::Run(Mvarc() + " add " + Quote(archive.string()) + " -t " + type + " -p secret b.txt",
                        t / "src");
        EXPECT_NE(r.exitCode, 0) << r.output;
        EXPECT_EQ(ReadFileBytes(archive), before);
    }
    // The formats that encrypt take it.
    for (const std::string type : {"zip", "bh"}) {
        SCOPED_TRACE(type);
        TempDir t;
        WriteFileBytes(t / "a.txt", TextBytes(5000, 5));
        auto r = mvtest::Run(Mvarc() + " add x." + type + " -t " + type + " -p secret a.txt", t.Path());
        EXPECT_EQ(r.exitCode, 0) << r.output;
    }
}
