// Every reader against a full disk and against archives cut short: the run
// reports the error, counts the members that failed and leaves no partial file;
// mvarc exits non-zero.
#include "ReaderTestSupport.h"

#include "platform/FakeFileSystem.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

namespace fs = std::filesystem;
using readertest::Outcome;

struct Source {
    std::string name;
    std::vector<uint8_t> bytes;
};

// Three members: a small one, one of 120000 bytes that does not compress, a small one.
std::vector<Source> Sources() {
    return {{"a.txt", mvtest::TextBytes(1000, 1)},
            {"b.bin", mvtest::RandomBytes(120000, 2)},
            {"c.txt", mvtest::TextBytes(500, 3)}};
}

struct Row {
    std::string label;
    // Makes the archive in dir (the sources are there) and answers its path;
    // empty when the row takes a corpus archive.
    std::function<fs::path(const fs::path& dir)> make;
    bool peerSources; // the archive holds Sources(); else a corpus archive with its listing
    int members;      // members the extraction sets out to extract (0: not checked)
};

fs::path Peer(const fs::path& dir, const std::string& archive, const std::string& command) {
    const auto r = mvtest::Run(command, dir);
    EXPECT_EQ(r.exitCode, 0) << command << "\n" << r.output;
    return dir / archive;
}

fs::path Corpus(const fs::path& dir, const std::string& path) {
    const fs::path to = dir / fs::path(path).filename();
    fs::copy_file(mvtest::CorpusDir() / path, to);
    return to;
}

std::vector<Row> Rows() {
    return {
        {"zip", [](auto& d) { return Peer(d, "x.zip", "zip -q -X x.zip a.txt b.bin c.txt"); }, true, 3},
        {"jar", [](auto& d) { return Peer(d, "x.jar", "zip -q -X x.jar a.txt b.bin c.txt"); }, true, 3},
        {"lha", [](auto& d) { return Peer(d, "x.lzh", "lha aq x.lzh a.txt b.bin c.txt"); }, true, 3},
        {"arj", [](auto& d) { return Peer(d, "x.arj", "arj a -y x.arj a.txt b.bin c.txt >/dev/null"); }, true, 3},
        {"tar", [](auto& d) { return Peer(d, "x.tar", "tar cf x.tar a.txt b.bin c.txt"); }, true, 3},
        {"tgz", [](auto& d) { return Peer(d, "x.tgz", "tar czf x.tgz a.txt b.bin c.txt"); }, true, 0},
        {"gzip", [](auto& d) { return Peer(d, "b.bin.gz", "gzip -c b.bin > b.bin.gz"); }, true, 1},
        {"cab", [](auto& d) { return Peer(d, "x.cab", "gcab -c x.cab a.txt b.bin c.txt"); }, true, 3},
        {"arc", [](auto& d) { return Peer(d, "x.arc", "arc a x.arc a.txt b.bin c.txt >/dev/null"); }, true, 3},
        {"rar", [](auto& d) { return Corpus(d, "rar/rar2x_sc.rar"); }, false, 3},
        {"ace", [](auto& d) { return Corpus(d, "ace/method2.ace"); }, false, 0},
        {"zoo", [](auto& d) { return Corpus(d, "zoo/zoo_default_lzw.zoo"); }, false, 1},
    };
}

// The sizes the corpus manifest gives for an archive's members, by file name.
std::map<std::string, uint64_t> ListedSizes(const std::string& fileName) {
    std::map<std::string, uint64_t> sizes;
    for (const auto& e : mvtest::ReadManifest())
        if (fs::path(e.path).filename() == fileName)
            for (const auto& m : e.listing) sizes[fs::path(m.name).filename().string()] = m.size;
    return sizes;
}

// Every file below out is whole: a source's bytes, or a listed member's size; no temporary is left.
void ExpectOnlyWholeFiles(const fs::path& out, const Row& row, const fs::path& archive) {
    const auto sources = Sources();
    const auto listed = ListedSizes(archive.filename().string());
    for (const auto& [name, bytes] : readertest::Tree(out)) {
        SCOPED_TRACE(name);
        const std::string base = fs::path(name).filename().string();
        EXPECT_EQ(base.find(".mvx-"), std::string::npos) << "temporary left behind";
        if (row.peerSources) {
            // ARC stores upper-case names: names compare without case.
            bool whole = false;
            for (const auto& s : sources) {
                std::string upper = s.name;
                for (auto& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
                if (s.name == base || upper == base) whole |= s.bytes == bytes;
            }
            EXPECT_TRUE(whole) << "partial or wrong file";
        } else {
            auto it = listed.find(base);
            if (it != listed.end()) {
                EXPECT_EQ(bytes.size(), it->second) << "partial file";
            }
        }
    }
}

class ReaderFaults : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& s : Sources()) mvtest::WriteFileBytes(dir / s.name, s.bytes);
    }
    mvtest::TempDir dir;
};

// A disk that fills up after 20000 bytes: the member that no longer fits and
// those after it fail with 25136, the first one is whole.
TEST_F(ReaderFaults, FullDiskFailsTheMembersThatDoNotFit) {
    for (const auto& row : Rows()) {
        SCOPED_TRACE(row.label);
        const fs::path archive = row.make(dir.Path());
        mvtest::TempDir out;
        auto reader = mv::NewReaderFor(archive.string());
        ASSERT_TRUE(reader);
        Outcome o;
        {
            mv::platform::FakeFileSystem fake;
            mv::platform::ScopedFileSystem use(fake);
            fake.FailWritesAfter(row.label == "rar" ? 50000 : row.label == "zoo" ? 5000 : 20000);
            o = readertest::Run(*reader, out.Path(), {.raisedAsError = true});
        }
        EXPECT_TRUE(readertest::Reported(o, mv::arcerr::WriteError));
        EXPECT_GE(reader->FailedCount(), 1);
        EXPECT_EQ(reader->ExtractedCount() + reader->FailedCount(), reader->FileCount());
        if (row.members == 3) {
            // The first member is whole; the run may stop at the disk that is full.
            EXPECT_EQ(reader->ExtractedCount(), 1);
        } else if (row.members == 1) {
            EXPECT_EQ(reader->ExtractedCount(), 0);
            EXPECT_EQ(reader->FailedCount(), 1);
        }
        ExpectOnlyWholeFiles(out.Path(), row, archive);
    }
}

// An archive cut at a third, at half, at two thirds and a few bytes before its end: extract
// and test both report it and exit non-zero; no partial file is left.
TEST_F(ReaderFaults, TruncatedArchivesAreReported) {
    for (const auto& row : Rows()) {
        const fs::path archive = row.make(dir.Path());
        const auto whole = mvtest::ReadFileBytes(archive);
        std::vector<size_t> cuts = {whole.size() / 3, whole.size() / 2, whole.size() * 2 / 3};
        // A few bytes before the end, except where those bytes are not part of
        // the archive: a ZOO reader takes a last directory entry cut short at
        // the end of the file as the end, and the arc tool leaves slack after
        // its end marker.
        if (row.label != "zoo" && row.label != "arc") cuts.push_back(whole.size() - 9);
        for (size_t cut : cuts) {
            SCOPED_TRACE(row.label + " cut at " + std::to_string(cut) + " of " + std::to_string(whole.size()));
            mvtest::TempDir t;
            const fs::path cutArchive = t / archive.filename().string();
            mvtest::WriteFileBytes(cutArchive, std::vector<uint8_t>(whole.begin(), whole.begin() + long(cut)));
            const fs::path out = t / "out";
            fs::create_directories(out);
            auto reader = mv::NewReaderFor(cutArchive.string());
            if (reader) {
                Outcome o = readertest::Run(*reader, out, {.raisedAsError = true});
                EXPECT_TRUE(!o.errors.empty() || reader->FailedCount() > 0)
                    << "extracted " << o.extracted << " with no error";
                ExpectOnlyWholeFiles(out, row, archive);
            }
            const auto x = mvtest::Run(mvtest::Quote(mvtest::MvarcPath()) + " extract " +
                                       mvtest::Quote(cutArchive.string()) + " " + mvtest::Quote((t / "o2").string()));
            EXPECT_NE(x.exitCode, 0) << x.output;
            const auto r = mvtest::Run(mvtest::Quote(mvtest::MvarcPath()) + " test " +
                                       mvtest::Quote(cutArchive.string()));
            EXPECT_NE(r.exitCode, 0) << r.output;
        }
    }
}

// A cabinet that continues the one before it, opened alone: its first member
// cannot be had and is reported; mvarc exits non-zero.
TEST_F(ReaderFaults, CabinetContinuingAnotherOpenedAlone) {
    const fs::path cab = Corpus(dir.Path(), "cab/split-2.cab");
    mvtest::TempDir out;
    auto reader = mv::NewReaderFor(cab.string());
    ASSERT_TRUE(reader);
    Outcome o = readertest::Run(*reader, out.Path(), {.volumes = false, .raisedAsError = true});
    EXPECT_TRUE(readertest::Reported(o, 25135));
    EXPECT_GE(reader->FailedCount(), 1);
    for (const auto& [name, bytes] : readertest::Tree(out.Path())) ADD_FAILURE() << "left behind: " << name;
    const auto x = mvtest::Run(mvtest::Quote(mvtest::MvarcPath()) + " extract " + mvtest::Quote(cab.string()) +
                               " " + mvtest::Quote((dir / "o").string()));
    EXPECT_NE(x.exitCode, 0) << x.output;
}

} // namespace
