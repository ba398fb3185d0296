// Archives made on Linux by the peer tools (zip, arj, tar, bsdtar) with UTF-8
// names and Unix modes: our listing and our extraction give what the peer
// gives (names, sizes, dates, bytes, modes); and the archives we write from the
// same tree come back from the peers with the same names, bytes and modes.
#include "archive/framework/SharedRoutines.h"
#include "archive/readers/UnLha.h"
#include "archive/writers/LhaWriter.h"
#include "archive/writers/TarWriter.h"
#include "archive/writers/ZipWriter.h"
#include "platform/CodePage.h"
#include "tests/archive/lister/ListerTestSupport.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sys/stat.h>

using namespace mv;
namespace fs = std::filesystem;

namespace {

struct TreeFile {
    std::string name; // relative, "/" separators, UTF-8
    mode_t mode;
    std::vector<uint8_t> bytes;
};

// Names outside ASCII (with and without a CP437 form), the three usual modes.
const std::vector<TreeFile>& SourceFiles() {
    static const std::vector<TreeFile> files = {
        {"ação.sh", 0755, {'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n'}},
        {"só_eu.txt", 0600, mvtest::TextBytes(3000, 7)},
        {"pasta/normal.txt", 0644, mvtest::RandomBytes(700, 8)},
        {"pasta/Año/canción.dat", 0644, mvtest::TextBytes(20000, 9)},
    };
    return files;
}

// An odd second: the Unix-time formats keep it.
constexpr const char* OddDate = "2021-05-06 07:08:09";

void MakeTree(const fs::path& dir) {
    for (const auto& f : SourceFiles()) {
        fs::create_directories((dir / f.name).parent_path());
        mvtest::WriteFileBytes(dir / f.name, f.bytes);
        ::chmod((dir / f.name).c_str(), f.mode);
        mvtest::Run("touch -d " + mvtest::Quote(OddDate) + " " + mvtest::Quote(f.name), dir);
    }
    fs::create_directories(dir / "pasta" / "vazia");
}

// Regular files below dir: their permission bits, by relative name.
std::map<std::string, mode_t> Modes(const fs::path& dir) {
    std::map<std::string, mode_t> out;
    for (auto& e : fs::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file()) continue;
        struct stat st {};
        ::stat(e.path().c_str(), &st);
        out[fs::relative(e.path(), dir).string()] = st.st_mode & 07777;
    }
    return out;
}

std::map<std::string, mode_t> SourceModes() {
    std::map<std::string, mode_t> out;
    for (const auto& f : SourceFiles()) out[f.name] = f.mode;
    return out;
}

std::map<std::string, std::vector<uint8_t>> SourceTree() {
    std::map<std::string, std::vector<uint8_t>> out;
    for (const auto& f : SourceFiles()) out[f.name] = f.bytes;
    return out;
}

int64_t SourceMTime(const fs::path& dir, const std::string& name) {
    struct stat st {};
    ::stat((dir / name).c_str(), &st);
    return st.st_mtime;
}

// Our listing: names and sizes of the files (folders left out).
std::map<std::string, int64_t> ListedFiles(const fs::path& archive) {
    std::map<std::string, int64_t> out;
    auto r = mvtest::ListArchive(archive.string());
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.errors.empty());
    for (const auto& e : r.entries)
        if (!e.name.empty() && e.name.back() != '/') out[e.name] = e.unpacked;
    return out;
}

std::map<std::string, int64_t> SourceSizes() {
    std::map<std::string, int64_t> out;
    for (const auto& f : SourceFiles()) out[f.name] = static_cast<int64_t>(f.bytes.size());
    return out;
}

// Our extraction of a peer's archive: the same names, bytes and modes.
// folders: the archive holds the empty folder, which comes back too.
void ExpectOurExtraction(const fs::path& archive, const fs::path& out, bool folders = false) {
    readertest::Outcome o = readertest::ExtractAll(archive, out);
    EXPECT_TRUE(o.errors.empty());
    EXPECT_EQ(o.raised, 0);
    auto tree = readertest::Tree(out);
    auto modes = Modes(out);
    tree.erase("META-INF/MANIFEST.MF"); // a JAR's own
    modes.erase("META-INF/MANIFEST.MF");
    EXPECT_EQ(tree, SourceTree());
    EXPECT_EQ(modes, SourceModes());
    if (folders) {
        EXPECT_TRUE(fs::is_directory(out / "pasta" / "vazia"));
    }
}

class UnixHosts : public ::testing::Test {
protected:
    void SetUp() override { oldMask = ::umask(022); }
    void TearDown() override { ::umask(oldMask); }
    mode_t oldMask = 022;
};

} // namespace

TEST_F(UnixHosts, ZipFromInfoZipListsAndExtractsAsMade) {
    MV_REQUIRE_TOOL("zip");
    mvtest::TempDir t;
    MakeTree(t / "src");
    const fs::path archive = t / "z.zip";
    ASSERT_EQ(mvtest::Run("zip -q -r -X " + mvtest::Quote(archive.string()) + " .", t / "src").exitCode, 0);
    EXPECT_EQ(ListedFiles(archive), SourceSizes());
    ExpectOurExtraction(archive, t / "out", true);
}

TEST_F(UnixHosts, ArjFromArjListsNamesAndUnixDates) {
    MV_REQUIRE_TOOL("arj");
    mvtest::TempDir t;
    MakeTree(t / "src");
    const fs::path archive = t / "a.arj";
    std::string names;
    for (const auto& f : SourceFiles()) names += " " + mvtest::Quote(f.name);
    auto r = mvtest::Run("arj a -y " + mvtest::Quote(archive.string()) + names, t / "src");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(ListedFiles(archive), SourceSizes());
    // The dates are the files' own, to the second.
    auto listed = mvtest::ListArchive(archive.string());
    for (const auto& f : SourceFiles()) {
        SCOPED_TRACE(f.name);
        bool seen = false;
        for (const auto& e : listed.entries)
            if (e.name == f.name) seen = true;
        EXPECT_TRUE(seen);
    }
    {
        TArcLister lister;
        lister.SetFileSpec({"*.*"});
        std::map<std::string, TDateTime> dates;
        lister.OnRead = [&](TObject*, int64_t, int) {
            std::string n = lister.EntryInfo().FileName;
            for (char& c : n)
                if (c == '\\') c = '/';
            dates[n] = lister.EntryInfo().DateTime;
        };
        lister.SetArchiveFile(archive.string());
        ASSERT_TRUE(lister.Activate());
        for (const auto& f : SourceFiles()) {
            SCOPED_TRACE(f.name);
            ASSERT_TRUE(dates.count(f.name));
            EXPECT_EQ(DateTimeToUnixTime(dates[f.name]), SourceMTime(t / "src", f.name));
        }
    }
    ExpectOurExtraction(archive, t / "out");
}

TEST_F(UnixHosts, TarFromTarAndBsdtarExtractWithModes) {
    MV_REQUIRE_TOOL("tar");
    MV_REQUIRE_TOOL("bsdtar");
    mvtest::TempDir t;
    MakeTree(t / "src");
    for (const std::string tool : {"tar", "bsdtar"}) {
        SCOPED_TRACE(tool);
        const fs::path archive = t / (tool + ".tar");
        ASSERT_EQ(mvtest::Run(tool + " -cf " + mvtest::Quote(archive.string()) + " *", t / "src").exitCode,
                  0);
        EXPECT_EQ(ListedFiles(archive), SourceSizes());
        ExpectOurExtraction(archive, t / ("out-" + tool), true);
    }
}

// Our archives of the tree, extracted by the peers: the same names, bytes and modes.
TEST_F(UnixHosts, PeersExtractOurArchivesWithNamesAndModes) {
    MV_REQUIRE_TOOL("unzip");
    MV_REQUIRE_TOOL("tar");
    MV_REQUIRE_TOOL("bsdtar");
    MV_REQUIRE_TOOL("7z");
    mvtest::TempDir t;
    MakeTree(t / "src");
    const std::string spec = (t / "src" / "*").string();
    auto onReplace = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, int64_t,
                        int64_t, int, int, bool& replace) { replace = true; };
    struct Case {
        std::string archive;
        std::vector<std::string> extractors; // command lines; %a archive, %d folder
        bool modes;                          // the extractor gives modes back
    };
    {
        TZip zip;
        zip.SetArchiveFile((t / "our.zip").string());
        zip.SetRecurseDirs(true);
        zip.FileSpecList().push_back(spec);
        zip.OnReplaceFile = onReplace;
        zip.Compress();
        ASSERT_EQ(zip.LastError(), 0);
    }
    {
        TJar jar;
        jar.SetArchiveFile((t / "our.jar").string());
        jar.SetRecurseDirs(true);
        jar.FileSpecList().push_back(spec);
        jar.OnReplaceFile = onReplace;
        jar.Compress();
        ASSERT_EQ(jar.LastError(), 0);
    }
    for (bool gzip : {false, true}) {
        TTar tar;
        tar.SetArchiveFile((t / (gzip ? "our.tar.gz" : "our.tar")).string());
        tar.SetRecurseDirs(true);
        if (gzip) tar.SetCompressMethod(TCompressMethod::cmGzipTar);
        tar.FileSpecList().push_back(spec);
        tar.OnReplaceFile = onReplace;
        tar.Compress();
        ASSERT_EQ(tar.LastError(), 0);
    }
    const std::vector<std::pair<std::string, std::string>> runs = {
        {"our.zip", "unzip -q %a -d %d"},      {"our.zip", "7z x -bd -y -o%d %a"},
        {"our.jar", "unzip -q %a -d %d"},      {"our.tar", "tar -xf %a -C %d"},
        {"our.tar", "bsdtar -xf %a -C %d"},    {"our.tar.gz", "tar -xzf %a -C %d"},
        {"our.tar.gz", "bsdtar -xf %a -C %d"},
    };
    int k = 0;
    for (const auto& [archive, line] : runs) {
        SCOPED_TRACE(archive + ": " + line);
        const fs::path out = t / ("peer" + std::to_string(k++));
        fs::create_directories(out);
        std::string cmd = line;
        cmd.replace(cmd.find("%a"), 2, mvtest::Quote((t / archive).string()));
        cmd.replace(cmd.find("%d"), 2, mvtest::Quote(out.string()));
        auto r = mvtest::Run(cmd);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        auto tree = readertest::Tree(out);
        tree.erase("META-INF/MANIFEST.MF");
        EXPECT_EQ(tree, SourceTree());
        auto modes = Modes(out);
        modes.erase("META-INF/MANIFEST.MF");
        EXPECT_EQ(modes, SourceModes());
    }
    // Our lister and reader give our own archives back the same way.
    for (const std::string archive : {"our.zip", "our.jar", "our.tar"}) {
        SCOPED_TRACE(archive);
        auto listed = ListedFiles(t / archive);
        listed.erase("META-INF/MANIFEST.MF");
        EXPECT_EQ(listed, SourceSizes());
        ExpectOurExtraction(t / archive, t / ("back-" + archive));
    }
}

// A name with no form in the DOS code page is stored in UTF-8 under the Unix
// host mark: lhasa and our own reader and lister give it back as it was.
TEST_F(UnixHosts, LhaWriterStoresNamesWithoutOemFormInUtf8) {
    MV_REQUIRE_TOOL("lhasa");
    mvtest::TempDir t;
    MakeTree(t / "src");
    {
        TLha lha;
        lha.SetArchiveFile((t / "our.lzh").string());
        lha.SetRecurseDirs(true);
        lha.FileSpecList().push_back((t / "src" / "*").string());
        lha.Compress();
        ASSERT_EQ(lha.LastError(), 0);
    }
    EXPECT_EQ(ListedFiles(t / "our.lzh"), SourceSizes());
    fs::create_directories(t / "peer");
    auto r = mvtest::Run("lhasa x " + mvtest::Quote((t / "our.lzh").string()), t / "peer");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    // lhasa writes names as stored: the ones without a DOS form came as UTF-8.
    auto peer = readertest::Tree(t / "peer");
    for (const auto& f : SourceFiles()) {
        SCOPED_TRACE(f.name);
        if (platform::HasOemForm(f.name)) continue;
        ASSERT_TRUE(peer.count(f.name));
        EXPECT_EQ(peer[f.name], f.bytes);
    }
    readertest::Outcome o = readertest::ExtractAll(t / "our.lzh", t / "out");
    EXPECT_TRUE(o.errors.empty());
    EXPECT_EQ(readertest::Tree(t / "out"), SourceTree());
}
