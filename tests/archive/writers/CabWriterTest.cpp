// The CAB writer against cabextract, 7z and gcab: cabinets of every method we
// write (several folders, empty and incompressible files, nested names) pass
// their tests and extract byte-exactly with their dates; updates keep the old
// members (made by gcab, or compressed with Quantum); deletes never leave an
// empty cabinet; sets, damaged cabinets and other files are left untouched;
// the compression codes handed to the library and the clamped settings.
#include "archive/writers/CabWriter.h"

#include "archive/framework/ArcErrors.h"
#include "archive/readers/ReaderFactory.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace mv;
using namespace mvtest;

namespace {

std::map<std::string, std::vector<uint8_t>> Tree(const fs::path& dir) {
    std::map<std::string, std::vector<uint8_t>> out;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) out[fs::relative(e.path(), dir).string()] = ReadFileBytes(e.path());
    return out;
}

void MakeTree(const fs::path& dir) {
    fs::create_directories(dir / "sub" / "deeper");
    WriteFileBytes(dir / "text.txt", TextBytes(700000, 1));
    WriteFileBytes(dir / "noise.bin", RandomBytes(300000, 2));
    WriteFileBytes(dir / "empty.txt", {});
    WriteFileBytes(dir / "sub" / "code.c", TextBytes(40000, 3));
    WriteFileBytes(dir / "sub" / "deeper" / "one.bin", {0x42});
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::hours(30));
}

struct CabRun {
    int lastError = 0;
    int count = 0;
    std::vector<int> errors;
    std::vector<std::pair<std::string, bool>> ends;
};

CabRun Cab(const fs::path& archive, const std::vector<std::string>& specs,
           TCompressMethod method = TCompressMethod::cmMsZip, TSwitch sw = TSwitch::swAdd,
           std::function<void(TMakeCAB&)> setup = {}) {
    TMakeCAB cab;
    cab.SetArchiveFile(archive.string());
    cab.SetRecurseDirs(true);
    cab.SetCompressMethod(method);
    cab.SetSwitch(sw);
    cab.SetTempDir(archive.parent_path().string());
    for (const auto& s : specs) cab.FileSpecList().push_back(s);
    CabRun r;
    cab.OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, int64_t,
                           int64_t, int, int, bool& replace) { replace = true; };
    cab.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        r.errors.push_back(code);
    };
    cab.OnEnd = [&](TObject*, const std::string& fn, bool ok) { r.ends.emplace_back(fn, ok); };
    if (setup) setup(cab);
    r.count = cab.Compress();
    r.lastError = cab.LastError();
    return r;
}

uint16_t FolderCount(const fs::path& cab) {
    auto b = ReadFileBytes(cab);
    return b.size() > 27 ? static_cast<uint16_t>(b[26] | b[27] << 8) : 0;
}

void ExpectCabextractGives(const fs::path& cab, const std::map<std::string, std::vector<uint8_t>>& want,
                           const fs::path& out) {
    fs::create_directories(out);
    auto r = mvtest::Run("cabextract -q -d " + Quote(out.string()) + " " + Quote(cab.string()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(Tree(out), want);
}

// Nothing but the archive (and the source folders) is left in the folder.
void ExpectNoLeftovers(const fs::path& dir, size_t expected) {
    size_t n = 0;
    for (auto& e : fs::directory_iterator(dir)) (void)e, ++n;
    EXPECT_EQ(n, expected);
}

} // namespace

TEST(CabWriter, PeersTestAndExtractWhatWeWrite) {
    MV_REQUIRE_TOOL("cabextract");
    TempDir t;
    MakeTree(t / "src");
    const auto want = Tree(t / "src");
    std::map<TCompressMethod, uintmax_t> sizes;
    for (auto method : {TCompressMethod::cmStore, TCompressMethod::cmMsZip, TCompressMethod::cmLzx}) {
        SCOPED_TRACE(static_cast<int>(method));
        fs::path arc = t / ("x" + std::to_string(static_cast<int>(method)) + ".cab");
        CabRun r = Cab(arc, {(t / "src" / "*").string()}, method);
        // The tree holds random noise and FailOnIncompressible is on (its
        // default): the run still succeeds with every method.
        ASSERT_EQ(r.lastError, 0);
        EXPECT_EQ(r.count, 5);
        sizes[method] = fs::file_size(arc);
        // Over 900000 bytes of input: a second folder.
        EXPECT_GE(FolderCount(arc), 2);
        auto test = mvtest::Run("cabextract -t " + Quote(arc.string()));
        EXPECT_EQ(test.exitCode, 0) << test.output;
        if (RequireTool("7z")) {
            test = mvtest::Run("7z t " + Quote(arc.string()));
            EXPECT_EQ(test.exitCode, 0) << test.output;
        }
        if (RequireTool("gcab")) {
            test = mvtest::Run("gcab -t " + Quote(arc.string()));
            EXPECT_EQ(test.exitCode, 0) << test.output;
            EXPECT_NE(test.output.find("sub\\deeper\\one.bin"), std::string::npos) << test.output;
        }
        fs::path out = t / ("out" + std::to_string(static_cast<int>(method)));
        ExpectCabextractGives(arc, want, out);
        // Our own reader gives the same files.
        {
            TArcType type;
            auto reader = NewReaderFor(arc.string(), &type);
            ASSERT_TRUE(reader);
            fs::path ours = t / ("ours" + std::to_string(static_cast<int>(method)));
            reader->SetExtractDir(ours.string());
            reader->FileSpecList() = {"*.*"};
            reader->Extract();
            EXPECT_EQ(reader->LastError(), 0);
            EXPECT_EQ(Tree(ours), want);
        }
        // Dates survive (to the two seconds of a DOS time).
        auto a = fs::last_write_time(t / "src" / "sub" / "code.c");
        auto b = fs::last_write_time(out / "sub" / "code.c");
        EXPECT_LE(std::chrono::abs(a - b), std::chrono::seconds(2));
    }
    EXPECT_LT(sizes[TCompressMethod::cmLzx], sizes[TCompressMethod::cmMsZip]);
    EXPECT_LT(sizes[TCompressMethod::cmMsZip], sizes[TCompressMethod::cmStore]);
}

TEST(CabWriter, AddingKeepsTheMembersOfPeerAndQuantumCabinets) {
    MV_REQUIRE_TOOL("cabextract");
    TempDir t;
    WriteFileBytes(t / "new" / "added.txt", TextBytes(5000, 9));
    std::vector<fs::path> cabinets = {CorpusDir() / "cab" / "mszip_lzx_quantum.cab",
                                      CorpusDir() / "cab" / "makecab_lzx.cab"};
    if (RequireTool("gcab")) {
        MakeTree(t / "g");
        auto r = mvtest::Run(
            "gcab -c -z " + Quote((t / "gcab.cab").string()) + " text.txt sub/code.c empty.txt", t / "g");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        cabinets.push_back(t / "gcab.cab");
    }
    int n = 0;
    for (const auto& original : cabinets) {
        SCOPED_TRACE(original.string());
        if (!fs::exists(original)) continue;
        fs::path dir = t / ("case" + std::to_string(++n));
        fs::create_directories(dir);
        fs::copy_file(original, dir / "a.cab");
        fs::permissions(dir / "a.cab", fs::perms::owner_write, fs::perm_options::add);
        // What the peer extracts from the original...
        fs::create_directories(dir / "before");
        auto x = mvtest::Run("cabextract -q -d " + Quote((dir / "before").string()) + " " +
                             Quote(original.string()));
        ASSERT_EQ(x.exitCode, 0) << x.output;
        auto want = Tree(dir / "before");
        CabRun r = Cab(dir / "a.cab", {(t / "new" / "added.txt").string()});
        ASSERT_EQ(r.lastError, 0);
        EXPECT_EQ(r.count, 1);
        // ... it extracts from ours, with the new file.
        want["added.txt"] = ReadFileBytes(t / "new" / "added.txt");
        auto test = mvtest::Run("cabextract -t " + Quote((dir / "a.cab").string()));
        EXPECT_EQ(test.exitCode, 0) << test.output;
        ExpectCabextractGives(dir / "a.cab", want, dir / "after");
    }
    EXPECT_GE(n, 2);
    // The decoded members went with the run: only our folders are left.
    size_t temps = 0;
    for (auto& e : fs::directory_iterator(t.Path()))
        if (e.is_regular_file() && e.path().filename().string().rfind("arc", 0) == 0) ++temps;
    EXPECT_EQ(temps, 0u);
}

TEST(CabWriter, ReplaceAndDeleteButNeverEmpty) {
    MV_REQUIRE_TOOL("cabextract");
    TempDir t;
    MakeTree(t / "src");
    fs::path arc = t / "arc" / "x.cab";
    fs::create_directories(arc.parent_path());
    ASSERT_EQ(Cab(arc, {(t / "src" / "*").string()}, TCompressMethod::cmLzx).lastError, 0);

    // A newer file replaces its member; the others stay.
    WriteFileBytes(t / "src" / "sub" / "code.c", TextBytes(1234, 77));
    CabRun r = Cab(arc, {(t / "src" / "sub" / "code.c").string()}, TCompressMethod::cmMsZip, TSwitch::swAdd,
                   [](TMakeCAB& c) { c.SetStoredDirNames(TStoredDirNames::sdNone); });
    ASSERT_EQ(r.lastError, 0);
    auto want = Tree(t / "src");
    want.erase("sub/code.c");
    want["code.c"] = ReadFileBytes(t / "src" / "sub" / "code.c");
    // (sdNone stores it as a new top-level member; the old one stays.)
    want["sub/code.c"] = TextBytes(40000, 3);
    ExpectCabextractGives(arc, want, t / "o1");

    // Delete by mask: only the named members go.
    r = Cab(arc, {"sub\\*.c", "noise.bin"}, TCompressMethod::cmMsZip, TSwitch::swDelete);
    ASSERT_EQ(r.lastError, 0);
    EXPECT_EQ(r.count, 2); // sub\code.c and noise.bin, not code.c
    want.erase("sub/code.c");
    want.erase("noise.bin");
    ExpectCabextractGives(arc, want, t / "o2");

    // Deleting every member is refused: the cabinet stays as it was.
    auto before = ReadFileBytes(arc);
    r = Cab(arc, {"*"}, TCompressMethod::cmMsZip, TSwitch::swDelete);
    EXPECT_EQ(r.lastError, 25350);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(ReadFileBytes(arc), before);
    // A delete that names nothing changes nothing.
    r = Cab(arc, {"nothing-here"}, TCompressMethod::cmMsZip, TSwitch::swDelete);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(ReadFileBytes(arc), before);
    ExpectNoLeftovers(arc.parent_path(), 1);
}

TEST(CabWriter, SetsDamagedCabinetsAndOtherFilesAreNotRewritten) {
    TempDir t;
    WriteFileBytes(t / "in" / "a.txt", TextBytes(3000, 5));
    const std::string spec = (t / "in" / "a.txt").string();
    struct Case {
        const char* name;
        std::function<std::vector<uint8_t>()> make;
        int error;
    };
    const fs::path corpus = CorpusDir() / "cab";
    std::vector<Case> cases = {
        {"set-member.cab", [&] { return ReadFileBytes(corpus / "split-2.cab"); }, 25350},
        {"not-a-cabinet.cab", [] { return TextBytes(4000, 1); }, 25259},
        {"truncated.cab",
         [&] {
             auto b = ReadFileBytes(corpus / "makecab_mszip.cab");
             b.resize(b.size() / 2);
             return b;
         },
         25350},
        {"corrupt.cab",
         [&] {
             auto b = ReadFileBytes(corpus / "makecab_lzx.cab");
             for (size_t i = b.size() / 2; i < b.size() / 2 + 64 && i < b.size(); ++i) b[i] ^= 0x5A;
             return b;
         },
         25350},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path dir = t / c.name;
        fs::create_directories(dir);
        auto bytes = c.make();
        WriteFileBytes(dir / "x.cab", bytes);
        CabRun r = Cab(dir / "x.cab", {spec});
        EXPECT_EQ(r.lastError, c.error);
        EXPECT_EQ(r.count, 0);
        EXPECT_EQ(ReadFileBytes(dir / "x.cab"), bytes);
        ExpectNoLeftovers(dir, 1);
    }
}

TEST(CabWriter, FailuresOfOneFileOrOfTheRun) {
    TempDir t;
    MakeTree(t / "src");
    // A source that vanishes before it is read: reported, and the run goes on.
    fs::path arc = t / "a.cab";
    CabRun r =
        Cab(arc, {(t / "src" / "*.*").string()}, TCompressMethod::cmMsZip, TSwitch::swAdd, [&](TMakeCAB& c) {
            c.SetRecurseDirs(false);
            c.OnBegin = [&](TObject*, const std::string& name, int, bool&) {
                if (name == "text.txt") fs::remove(t / "src" / "text.txt");
            };
        });
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.errors, std::vector<int>{25235});
    int failed = 0;
    for (const auto& e : r.ends) failed += e.second ? 0 : 1;
    EXPECT_EQ(failed, 1);
    EXPECT_TRUE(fs::exists(arc));

    // An exception of an event handler never crosses the library: the run
    // ends with an error and no cabinet.
    MakeTree(t / "src2");
    fs::path arc2 = t / "b.cab";
    r = Cab(arc2, {(t / "src2" / "*").string()}, TCompressMethod::cmLzx, TSwitch::swAdd, [](TMakeCAB& c) {
        // Thrown while the library reads a source (the file is part done).
        c.OnProgress = [](TObject*, uint8_t byFile, uint8_t) {
            if (byFile > 0) throw std::runtime_error("handler failed");
        };
    });
    EXPECT_NE(r.lastError, 0);
    EXPECT_FALSE(fs::exists(arc2));

    // Cancel from the progress event: nothing written.
    r = Cab(arc2, {(t / "src2" / "*").string()}, TCompressMethod::cmMsZip, TSwitch::swAdd, [](TMakeCAB& c) {
        c.OnProgress = [&c](TObject*, uint8_t byFile, uint8_t) {
            if (byFile > 0) c.SetCancel(true);
        };
    });
    EXPECT_EQ(r.lastError, 25400);
    EXPECT_FALSE(fs::exists(arc2));

    // A file a cabinet cannot hold (2 GiB; sparse here) is refused before
    // anything is read or written.
    WriteFileBytes(t / "big" / "huge.bin", {});
    fs::resize_file(t / "big" / "huge.bin", 0x80000000ull);
    r = Cab(arc2, {(t / "big" / "*").string()});
    EXPECT_EQ(r.lastError, 25256);
    EXPECT_FALSE(fs::exists(arc2));
    ExpectNoLeftovers(t.Path(), 4);
}

TEST(CabWriter, SettingsAndCompressionCodes) {
    TMakeCAB cab;
    EXPECT_EQ(cab.CompressMethod(), TCompressMethod::cmMsZip);
    EXPECT_EQ(cab.CompressionCode(), 1);
    cab.SetLzxLevel(25);
    EXPECT_EQ(cab.LzxLevel(), 21);
    cab.SetLzxLevel(3);
    EXPECT_EQ(cab.LzxLevel(), 15);
    cab.SetQuantumMemory(5);
    EXPECT_EQ(cab.QuantumMemory(), 10);
    cab.SetQuantumLevel(0);
    EXPECT_EQ(cab.QuantumLevel(), 1);

    TMakeCAB d;
    d.SetCompressMethod(TCompressMethod::cmLzx);
    EXPECT_EQ(d.CompressionCode(), 0x1503);
    d.SetCompressMethod(TCompressMethod::cmQuantum);
    EXPECT_EQ(d.CompressionCode(), 0x1571);
    d.SetQuantumType(TCompressionType::ctLzx);
    EXPECT_EQ(d.CompressionCode(), 0x1573);
    d.SetCompressMethod(TCompressMethod::cmStore);
    EXPECT_EQ(d.CompressionCode(), 0);
    d.SetCompressMethod(TCompressMethod::cmDeflate); // not a cabinet method: ignored
    EXPECT_EQ(d.CompressMethod(), TCompressMethod::cmStore);

    d.SetArchiveFile("/tmp/some/name");
    EXPECT_EQ(d.ArchiveFile(), "/tmp/some/name.cab");
    EXPECT_EQ(d.ArcType(), TArcType::atCab);
}

TEST(CabWriter, EntriesReportTheMethodReallyUsed) {
    TempDir t;
    WriteFileBytes(t / "in" / "a.txt", TextBytes(3000, 5));
    std::vector<std::string> methods;
    for (auto type : {TCompressionType::ctMsZip, TCompressionType::ctLzx}) {
        fs::path arc = t / (std::to_string(static_cast<int>(type)) + ".cab");
        CabRun r = Cab(arc, {(t / "in" / "a.txt").string()}, TCompressMethod::cmQuantum, TSwitch::swAdd,
                       [&](TMakeCAB& c) {
                           c.SetQuantumType(type);
                           c.OnRead = [&](TObject*, int64_t, int) {
                               methods.push_back(c.EntryInfo().MethodText + "/" +
                                                 std::to_string(c.EntryInfo().MethodCode) + "/" +
                                                 c.EntryInfo().FileName);
                           };
                       });
        EXPECT_EQ(r.lastError, 0);
    }
    EXPECT_EQ(methods, (std::vector<std::string>{"MsZIP/1/a.txt", "Lzx/3/a.txt"}));
}
