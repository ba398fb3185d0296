// Hostile input: archives cut at every header boundary, flipped header bytes and
// hand-made headers with hostile sizes end with an error number through OnError,
// never with a crash, a hang or a read outside the file.
#include "platform/FakeFileSystem.h"
#include "tests/archive/lister/ListerTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace mvtest;

namespace {

// Small corpus archives (whole sets of volumes are left out: their later
// volumes are read by name).
std::vector<fs::path> SmallCorpusFiles(uintmax_t limit) {
    std::vector<fs::path> out;
    for (const auto& e : fs::recursive_directory_iterator(CorpusDir())) {
        if (!e.is_regular_file()) continue;
        auto name = e.path().filename().string();
        if (name == "MANIFEST.tsv" || name == "README.md") continue;
        if (name.find("split") != std::string::npos || name.find("multi") != std::string::npos ||
            name.find("vols") != std::string::npos)
            continue;
        if (e.file_size() <= limit) out.push_back(e.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The real file system, counting the bytes read through it: the bound on the
// work of a listing that stands in for a clock (a walk that loops or goes back
// over the archive again and again reads far more than the file holds).
class TReadCounter : public mv::platform::FakeFileSystem {
public:
    uint64_t bytesRead = 0;

    std::unique_ptr<mv::platform::File> Open(const std::string& path, mv::platform::OpenMode mode) override {
        return std::make_unique<TCountedFile>(FakeFileSystem::Open(path, mode), bytesRead);
    }

private:
    class TCountedFile : public mv::platform::File {
    public:
        TCountedFile(std::unique_ptr<mv::platform::File> inner, uint64_t& counter)
            : inner(std::move(inner)), counter(counter) {}
        size_t Read(void* buffer, size_t count) override {
            const size_t n = inner->Read(buffer, count);
            counter += n;
            return n;
        }
        void Write(const void* buffer, size_t count) override { inner->Write(buffer, count); }
        void Seek(int64_t position) override { inner->Seek(position); }
        int64_t Position() const override { return inner->Position(); }
        int64_t Size() override { return inner->Size(); }
        void SetSize(int64_t size) override { inner->SetSize(size); }
        void Flush() override { inner->Flush(); }
        void Close() override { inner->Close(); }
        bool IsOpen() const override { return inner->IsOpen(); }
        const std::string& Path() const override { return inner->Path(); }

    private:
        std::unique_ptr<mv::platform::File> inner;
        uint64_t& counter;
    };
};

// Lists a file (folders shown, no volumes) and checks the work the listing
// took: the bytes read through the file system stay within a few passes over
// the file, and no more entries come than the file has bytes.
ListResult ListWithinBounds(const fs::path& file) {
    TReadCounter counter;
    mv::platform::ScopedFileSystem use(counter);
    ListResult r = ListArchive(file.string(), true, false);
    const uint64_t size = fs::file_size(file);
    EXPECT_LE(counter.bytesRead, 8 * size + 256 * 1024) << "the listing read the file over and over";
    EXPECT_LE(r.entries.size(), size) << "more entries than bytes";
    return r;
}

bool StructureIsCheckable(const std::string& format) {
    // a cut inside gzip or compress data, or a uuencoded text, leaves a file the
    // lister cannot tell from a whole one without decoding it
    return format != "gzip" && format != "compress" && format != "uue";
}

} // namespace

TEST(ArcListerHostile, TruncationAtEveryHeaderBoundary) {
    TempDir dir;
    int cuts = 0;
    for (const auto& file : SmallCorpusFiles(96 * 1024)) {
        std::string format = file.parent_path().filename().string();
        SCOPED_TRACE(file.string());
        auto bytes = ReadFileBytes(file);
        ListResult whole = ListWithinBounds(file);
        if (!whole.completed) continue;
        // header starts: the reported offsets, and the start of the file
        std::set<int64_t> points = {0, 1, 7, 20, int64_t(bytes.size()) - 1, int64_t(bytes.size()) / 2};
        for (const auto& e : whole.entries)
            for (int64_t d : {int64_t(0), int64_t(1), int64_t(7), int64_t(21), int64_t(40)})
                points.insert(e.offset + d);
        fs::path cut = dir / file.filename();
        for (int64_t p : points) {
            if (p <= 0 || p >= int64_t(bytes.size())) continue;
            SCOPED_TRACE(p);
            WriteFileBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + p));
            ListResult r = ListWithinBounds(cut);
            ++cuts;
            if (!StructureIsCheckable(format)) continue;
            // only zero padding was cut off
            if (std::all_of(bytes.begin() + p, bytes.end(), [](uint8_t b) { return b == 0; })) continue;
            if (r.completed && r.errors.empty() &&
                (format == "ace" || format == "rar" || format == "tar" || format == "lha")) {
                // no end record required: a cut between blocks is a shorter archive of whole entries
                ASSERT_LE(r.entries.size(), whole.entries.size());
                for (size_t i = 0; i < r.entries.size(); ++i)
                    EXPECT_EQ(r.entries[i].name, whole.entries[i].name);
                continue;
            }
            EXPECT_TRUE(!r.completed && !r.errors.empty()) << "a cut archive listed without an error";
        }
    }
    EXPECT_GT(cuts, 300);
}

TEST(ArcListerHostile, FlippedHeaderBytes) {
    TempDir dir;
    int runs = 0;
    for (const auto& file : SmallCorpusFiles(24 * 1024)) {
        SCOPED_TRACE(file.string());
        auto bytes = ReadFileBytes(file);
        ListResult whole = ListWithinBounds(file);
        std::set<int64_t> positions;
        for (int64_t i = 0; i < 64; ++i) positions.insert(i);
        if (whole.entries.size() > 1)
            for (int64_t i = 0; i < 32; ++i) positions.insert(whole.entries[1].offset + i);
        fs::path flipped = dir / file.filename();
        for (int64_t p : positions) {
            if (p < 0 || p >= int64_t(bytes.size())) continue;
            auto copy = bytes;
            copy[size_t(p)] ^= 0xA5;
            WriteFileBytes(flipped, copy);
            ListResult r = ListWithinBounds(flipped);
            ++runs;
            // headers under a checksum: any flipped byte of the first one is reported
            std::string format = file.parent_path().filename().string();
            bool checked =
                format == "ace" || format == "arj" || format == "tar" ||
                (format == "lha" && file.extension() != ".exe" && bytes.size() > 20 && bytes[20] < 2) ||
                (format == "rar" && file.filename().string().rfind("rar5", 0) == 0);
            if (checked && !whole.entries.empty() && p >= whole.entries[0].offset &&
                p < whole.entries[0].offset + 20 && mv::IsValidArcType(r.type)) {
                EXPECT_FALSE(r.errors.empty()) << "flip at " << p << " not reported";
            }
            // whatever it lists, each entry stays inside the file
            for (const auto& e : r.entries) EXPECT_LE(e.offset, int64_t(bytes.size())) << p;
        }
    }
    EXPECT_GT(runs, 1000);
}

// Hand-made headers whose sizes point back, to themselves or far past the end.
TEST(ArcListerHostile, HostileSizesAndLoops) {
    TempDir dir;
    auto expectError = [&](const std::string& name, const std::vector<uint8_t>& data, int code) {
        SCOPED_TRACE(name);
        WriteFileBytes(dir / name, data);
        ListResult r = ListWithinBounds(dir / name);
        EXPECT_FALSE(r.completed);
        ASSERT_FALSE(r.errors.empty());
        if (code) {
            EXPECT_EQ(r.errors.front(), code);
        }
    };
    // ZOO: an entry whose next pointer leads back to itself
    {
        std::vector<uint8_t> z(200, 0);
        std::string text = "ZOO 2.10 Archive.\x1a";
        std::copy(text.begin(), text.end(), z.begin());
        auto put32 = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i) z[at + i] = uint8_t(v >> (8 * i));
        };
        put32(20, 0xFDC4A7DC);
        put32(24, 34);
        put32(28, uint32_t(-34));
        put32(34, 0xFDC4A7DC); // entry at 34
        z[38] = 1;
        put32(40, 34); // next: itself
        z[72] = 'a';
        expectError("loop.zoo", z, 25108);
    }
    // TAR: a size of 8 GiB in an otherwise valid header
    if (RequireTool("tar")) {
        WriteFileBytes(dir / "a.txt", TextBytes(10, 1));
        ASSERT_EQ(mvtest::Run("tar --format=ustar -cf big.tar a.txt", dir.Path()).exitCode, 0);
        auto t = ReadFileBytes(dir / "big.tar");
        const char* size = "77777777777";
        std::copy(size, size + 11, t.begin() + 124);
        unsigned sum = 0;
        for (int i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? ' ' : t[i];
        char chk[8];
        std::snprintf(chk, sizeof chk, "%06o", sum);
        std::copy(chk, chk + 7, t.begin() + 148);
        expectError("big.tar", t, 25236);
    }
    // ZIP: a central record that claims a Zip64 size
    if (RequireTool("zip")) {
        WriteFileBytes(dir / "a.txt", TextBytes(10, 1));
        ASSERT_EQ(mvtest::Run("zip -q z.zip a.txt", dir.Path()).exitCode, 0);
        auto z = ReadFileBytes(dir / "z.zip");
        for (size_t i = 0; i + 4 < z.size(); ++i)
            if (z[i] == 'P' && z[i + 1] == 'K' && z[i + 2] == 1 && z[i + 3] == 2) {
                for (int k = 0; k < 4; ++k) z[i + 20 + k] = 0xFF;
                break;
            }
        expectError("zip64.zip", z, 25256);
    }
    // a cabinet whose next cabinet is itself lists once and stops
    {
        auto cab = ReadFileBytes(CorpusDir() / "cab/split-1.cab");
        WriteFileBytes(dir / "Split-2.CAB", cab);
        ListResult r = ListArchive((dir / "Split-2.CAB").string(), false, true);
        EXPECT_EQ(r.entries.size(), 3u);
    }
    // ARJ: a basic header size beyond the 2600-byte limit
    {
        auto arj = ReadFileBytes(CorpusDir() / "arj/stored.arj");
        arj[2] = 0xFF;
        arj[3] = 0x7F;
        WriteFileBytes(dir / "bad.arj", arj);
        ListResult r = ListArchive((dir / "bad.arj").string(), false, false);
        EXPECT_FALSE(r.ok);
        ASSERT_FALSE(r.errors.empty());
        EXPECT_EQ(r.errors.front(), 25108);
    }
}
