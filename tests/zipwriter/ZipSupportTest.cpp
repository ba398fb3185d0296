// The zip writer component's containers, wildcard matcher, buffered streams,
// directory search and utilities.
#include "platform/FakeFileSystem.h"
#include "tests/support/TestSupport.h"
#include "zipwriter/BufferStream.h"
#include "zipwriter/ObjectList.h"
#include "zipwriter/WildMatch.h"
#include "zipwriter/ZipHeader.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace mv;

struct TItem : TObject {
    explicit TItem(int v) : v(v) {}
    int v;
};
struct TIntList : TSortedObjectList {
    using TSortedObjectList::TSortedObjectList;
    int Compare(const TObject* a, const TObject* b) const override {
        return static_cast<const TItem*>(a)->v - static_cast<const TItem*>(b)->v;
    }
};

TEST(ObjectList, GrowsByFourEightSixteen) {
    TObjectList list;
    std::vector<int> capacities;
    for (int i = 0; i < 20; ++i) {
        list.Add(new TItem(i));
        if (capacities.empty() || capacities.back() != list.Capacity()) capacities.push_back(list.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 16, 32}));
    EXPECT_THROW(list.SetCapacity(65535), EListError);
    EXPECT_THROW(list.Get(20), EListError);
    EXPECT_EQ(list.Neighbour(list.Last(), 1), nullptr);
    EXPECT_EQ(list.Neighbour(nullptr, 1), list.First());
    TItem stranger(99);
    EXPECT_THROW(list.Neighbour(&stranger, 1), EListError);
}

TEST(ObjectList, SortedDuplicateModes) {
    TIntList ignore(true, TDuplicates::dupIgnore), accept(true, TDuplicates::dupAccept),
        error(true, TDuplicates::dupError);
    ignore.Add(new TItem(5));
    auto* second = new TItem(5);
    ignore.Add(second);
    EXPECT_EQ(ignore.Count(), 1);
    EXPECT_FALSE(ignore.LastInserted());
    delete second; // a refused item stays the caller's
    auto* a = new TItem(5);
    auto* b = new TItem(5);
    accept.Add(new TItem(9));
    accept.Add(a);
    accept.Add(b);
    EXPECT_EQ(accept.Get(0), b); // the later one first
    EXPECT_EQ(accept.Get(1), a);
    error.Add(new TItem(1));
    auto* dup = new TItem(1);
    EXPECT_THROW(error.Add(dup), EListError);
    delete dup;
    EXPECT_THROW(error.Put(0, nullptr), EListError);
    for (int v : {7, 3, 8, 2}) error.Add(new TItem(v));
    for (int i = 1; i < error.Count(); ++i)
        EXPECT_LT(static_cast<TItem*>(error.Get(i - 1))->v, static_cast<TItem*>(error.Get(i))->v);
}

TEST(WildMatch, Table) {
    struct Case {
        const char* pattern;
        const char* text;
        int code;
    } cases[] = {
        {"*.txt", "A.TXT", 1},
        {"*", "", 1},
        {"data<0-9>.bin", "data7.bin", 1},
        {"data<0-9>.bin", "datax.bin", 4},
        {"data<!0-9>.bin", "datax.bin", 1},
        {"data<^0-9>.bin", "data1.bin", 4},
        {"*<a-c>", "abcab", 1},
        {"*<a-c>", "abd", 3},
        {"file<", "file1", 6},
        {"file<", "file", 3},
        {"f<>", "fx", 6},
        {"?", "", 3},
        {"?", "ab", 2},
        {"a?c", "abc", 1},
        {"abc", "abd", 5},
        {"*.*", "name.ext", 1},
        {"[x].txt", "[X].TXT", 1},
        {"?.txt", "é.txt", 1},
        {"a*b*c", "aXXbYYc", 1},
        {"a*b*c", "aXXbYY", 3},
        {"<a-", "a", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " vs " + c.text);
        EXPECT_EQ(Match(c.pattern, c.text), c.code);
    }
}

TEST(WildMatch, PathologicalMaskIsFast) {
    const std::string text(2000, 'a');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*a*b", text));
    EXPECT_TRUE(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*a*a", text));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    std::printf("pathological mask: %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 2000); // linear time takes microseconds; backtracking would take ages
}

// A platform file in memory that counts its writes.
class TCountingFile : public platform::File {
public:
    size_t Read(void* b, size_t n) override {
        size_t k = std::min(n, data.size() - std::min<size_t>(data.size(), pos));
        std::memcpy(b, data.data() + pos, k);
        pos += k;
        return k;
    }
    void Write(const void* b, size_t n) override {
        ++writes;
        if (pos + n > data.size()) data.resize(pos + n);
        std::memcpy(data.data() + pos, b, n);
        pos += n;
    }
    void Seek(int64_t p) override { pos = static_cast<size_t>(p); }
    int64_t Position() const override { return static_cast<int64_t>(pos); }
    int64_t Size() override { return static_cast<int64_t>(data.size()); }
    void SetSize(int64_t s) override { data.resize(static_cast<size_t>(s)); }
    void Flush() override {}
    void Close() override { open = false; }
    bool IsOpen() const override { return open; }
    const std::string& Path() const override { return path; }
    std::vector<uint8_t> data;
    size_t pos = 0;
    int writes = 0;
    bool open = true;
    std::string path = "mem";
};

TEST(BufferStream, FlushesAtBufferSizeAndClose) {
    TCountingFile f;
    {
        TS_BufferStream s(f);
        std::vector<uint8_t> bytes(10000, 7);
        for (size_t i = 0; i < bytes.size(); i += 100) s.Write(bytes.data() + i, 100);
        EXPECT_EQ(f.writes, 1);
        EXPECT_EQ(s.Position(), 10000);
        s.Seek(10000, soFromBeginning); // the present position: no flush
        EXPECT_EQ(f.writes, 1);
        EXPECT_THROW(s.Seek(0, 3), EStreamError);
        s.Close();
        EXPECT_EQ(f.writes, 2);
    }
    EXPECT_EQ(f.data.size(), 10000u);
    f.open = true;
    f.pos = 0;
    TS_BufferStream r(f);
    uint8_t b[10];
    EXPECT_THROW(r.PutBack(1), EStreamError);
    EXPECT_EQ(r.Read(b, 10), 10u);
    r.PutBack(9);
    EXPECT_EQ(r.Read(b, 1), 1u);
    EXPECT_EQ(b[0], 9);
    EXPECT_EQ(r.Seek(-4, soFromEnd), 9996);
}

// The platform refuses to open devices, so a full disk comes from the fake
// layer: the bytes still in the buffer meet it only when the stream is closed.
TEST(BufferStream, FullDiskRaisesOnClose) {
    mvtest::TempDir dir;
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem use(fake);
    fake.FailWritesAfter(5000);
    TLFNFileStream s((dir / "x").string(), false, TFileOpen::foCreate);
    std::vector<uint8_t> bytes(6000, 1);
    EXPECT_EQ(s.Write(bytes.data(), bytes.size()), bytes.size());
    EXPECT_THROW(s.Close(), ENotEnoughRoom);
}

TEST(Utilities, DosDateClampAndPercentages) {
    auto pack = [](unsigned y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s2) {
        return s2 | (mi << 5) | (h << 11) | (d << 16) | (mo << 21) | (y << 25);
    };
    EXPECT_EQ(CheckDosDateTime(pack(40, 13, 0, 24, 60, 30)), pack(40, 12, 1, 23, 59, 29));
    EXPECT_EQ(CheckDosDateTime(pack(125, 0, 5, 1, 1, 1)), pack(119, 1, 5, 1, 1, 1));
    EXPECT_EQ(CheckDosDateTime(pack(40, 6, 15, 12, 30, 10)), pack(40, 6, 15, 12, 30, 10));
    EXPECT_EQ(Percentage(1, 8), 12); // 12.5 -> 12 (ties to even)
    EXPECT_EQ(Percentage(3, 8), 38); // 37.5 -> 38
    EXPECT_EQ(Percentage(5, 0), 0);
    EXPECT_EQ(Percentage(9, 3), 100);
    EXPECT_EQ(ChangeFileExt("a.b/c.zip", ".001"), "a.b/c.001");
    EXPECT_EQ(ChangeFileExt("a.b/c", ".zfc"), "a.b/c.zfc");
    EXPECT_TRUE(HasWildcards("a|b"));
    EXPECT_FALSE(HasWildcards("a[1].txt"));
}

std::vector<std::string> Walk(const std::string& folder, bool recurse, const std::string& mask,
                              size_t strip = 0) {
    TDirSearch s(folder, recurse, mask);
    std::vector<std::string> out;
    std::string name;
    uint64_t size;
    while (s.NextFile(name, size)) out.push_back(name.substr(strip ? strip : folder.size()));
    return out;
}

TEST(DirSearch, SortedHiddenFoldersLinksAndFolderMasks) {
    mvtest::TempDir dir;
    const std::string root = dir.Path().string() + "/";
    std::filesystem::create_directories(dir / "b" / ".hidden");
    std::filesystem::create_directories(dir / "logs" / "2023");
    std::filesystem::create_directories(dir / "logs" / "2024");
    std::filesystem::create_directories(dir / "logs" / "old");
    mvtest::WriteFileText(dir / "Makefile", "x");
    mvtest::WriteFileText(dir / "a.txt", "x");
    mvtest::WriteFileText(dir / "b" / "c.txt", "x");
    mvtest::WriteFileText(dir / "b" / ".hidden" / "d.txt", "x");
    mvtest::WriteFileText(dir / "logs" / "2023" / "x.log", "x");
    mvtest::WriteFileText(dir / "logs" / "2024" / "y.log", "x");
    mvtest::WriteFileText(dir / "logs" / "old" / "z.log", "x");
    ASSERT_EQ(mkfifo((dir / "pipe.txt").c_str(), 0600), 0);
    std::filesystem::create_directory_symlink(dir / "b", dir / "linkdir");
    std::filesystem::create_symlink(dir / "a.txt", dir / "linkfile.txt");
    EXPECT_EQ(Walk(root, false, "*.txt"), (std::vector<std::string>{"a.txt", "linkfile.txt", "pipe.txt"}));
    EXPECT_EQ(
        Walk(root, true, "*.txt"),
        (std::vector<std::string>{"a.txt", "b/", "b/.hidden/", "b/.hidden/d.txt", "b/c.txt", "linkfile.txt",
                                  "logs/", "logs/2023/", "logs/2024/", "logs/old/", "pipe.txt"}));
    EXPECT_EQ(Walk(root, false, "*."), (std::vector<std::string>{"Makefile"}));
    EXPECT_EQ(Walk(root, false, "*.*").size(), 4u);
    EXPECT_EQ(Walk(root + "logs/2*/", false, "*.log", root.size()),
              (std::vector<std::string>{"logs/2023/x.log", "logs/2024/y.log"}));
}

} // namespace
