// Extraction and testing through the vendor zip library: output equal to
// unzip's, the replace and password events, the codes of damaged entries, and
// entry names that try to leave the target folder.
#include "VendorZipTestSupport.h"

namespace {

using namespace mv;
using namespace vztest;

// A peer-made archive of the three-file tree with its folders.
fs::path PeerZip(const Tree& t, const std::string& options = "") {
    const fs::path zip = t.dir / "peer.zip";
    EXPECT_EQ(
        mvtest::Run("cd " + Quote(t.src().string()) + " && zip -q -r " + options + " ../peer.zip .").exitCode,
        0);
    return zip;
}

TEST(VendorZipUnzip, OutputEqualsUnzipByteForByte) {
    VZ_NEED_TOOL("zip");
    VZ_NEED_TOOL("unzip");
    Tree t;
    mvtest::WriteFileBytes(t.src() / "sub" / "deep" / "d.bin", mvtest::RandomBytes(5000, 7));
    struct Case {
        const char* what;
        const char* zipOptions;
        const char* password;
        bool paths;
        const char* masks;        // ours, CR-LF between them
        const char* unzipOptions; // the same for unzip
        const char* unzipArgs;
    } cases[] = {
        {"every entry with paths", "", "", true, "", "", ""},
        {"without paths", "", "", false, "", "-j", ""},
        {"one mask", "", "", true, "*.txt", "", "'*.txt'"},
        {"masks joined by CR-LF", "", "", true, "sub/*\r\nb.bin", "", "'sub/*' b.bin"},
        {"encrypted", "-P s3cret", "s3cret", true, "", "-P s3cret", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(t.dir / "peer.zip");
        const fs::path zip = PeerZip(t, c.zipOptions);
        const fs::path ours = t.dir / "ours", theirs = t.dir / "theirs";
        fs::remove_all(ours);
        fs::remove_all(theirs);
        ASSERT_EQ(mvtest::Run("unzip -q " + std::string(c.unzipOptions) + " " + Quote(zip.string()) + " " +
                              c.unzipArgs + " -d " + Quote(theirs.string()))
                      .exitCode,
                  0);
        Vz vz;
        VzSetZipFilenameA(vz.h, zip.string().c_str());
        VzSetUnzipToFolderA(vz.h, ours.string().c_str());
        VzSetPreservePaths(vz.h, c.paths ? 1 : 0);
        VzSetFilesToProcessA(vz.h, c.masks);
        VzSetEncryptionPasswordA(vz.h, c.password);
        EXPECT_EQ(VzUnzip(vz.h), 0) << vz.Dump();
        const auto expected = FilesBelow(theirs);
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(FilesBelow(ours), expected);
        EXPECT_TRUE(vz.Of(vzev::BadPassword).empty());
    }
}

TEST(VendorZipUnzip, ReplaceEventKeepsOrReplaces) {
    VZ_NEED_TOOL("zip");
    Tree t;
    const fs::path zip = PeerZip(t);
    const fs::path out = t.dir / "out";
    for (uint32_t replace : {0u, 1u}) {
        SCOPED_TRACE(replace);
        fs::remove_all(out);
        Vz vz;
        VzSetZipFilenameA(vz.h, zip.string().c_str());
        VzSetUnzipToFolderA(vz.h, out.string().c_str());
        VzSetFilesToProcessA(vz.h, "a.txt");
        ASSERT_EQ(VzUnzip(vz.h), 0);
        mvtest::WriteFileText(out / "a.txt", "changed");
        vz.Clear();
        vz.Answer = [&](uint32_t e, void* b) {
            if (e == vzev::Replacing) static_cast<TVzReplacingBlock*>(b)->Replace = replace;
        };
        EXPECT_EQ(VzUnzip(vz.h), 0) << vz.Dump();
        EXPECT_EQ(vz.Of(vzev::Replacing), std::vector<std::string>{"19 a.txt old=7 new=20000"});
        if (replace) {
            EXPECT_EQ(mvtest::ReadFileBytes(out / "a.txt"), mvtest::ReadFileBytes(t.src() / "a.txt"));
            EXPECT_TRUE(vz.Of(vzev::Skipping).empty());
        } else {
            EXPECT_EQ(mvtest::ReadFileBytes(out / "a.txt").size(), 7u);
            EXPECT_EQ(vz.Of(vzev::Skipping), std::vector<std::string>{"6 a.txt reason=14"});
        }
    }
}

TEST(VendorZipUnzip, BadPasswordEventRetriesOrSkips) {
    VZ_NEED_TOOL("zip");
    Tree t;
    const std::string cd = "cd " + Quote(t.src().string()) + " && ";
    ASSERT_EQ(mvtest::Run(cd + "zip -q -P one ../p.zip a.txt && zip -q -P two ../p.zip b.bin && "
                               "zip -q -P one ../p.zip sub/c.txt")
                  .exitCode,
              0);
    for (bool extract : {true, false}) {
        SCOPED_TRACE(extract ? "unzip" : "test");
        const fs::path out = t.dir / "out";
        fs::remove_all(out);
        Vz vz;
        VzSetZipFilenameA(vz.h, t.d("p.zip").c_str());
        VzSetUnzipToFolderA(vz.h, out.string().c_str());
        int asked = 0;
        vz.Answer = [&](uint32_t e, void* b) {
            if (e != vzev::BadPassword) return;
            auto& p = *static_cast<TVzBadPasswordBlock*>(b);
            ++asked;
            if (NameField(p.Name) == "a.txt") {
                SetName(p.NewPassword, asked == 1 ? "wrong" : "one");
                p.Retry = 1;
            } // b.bin: skipped (Retry stays 0)
        };
        EXPECT_EQ(extract ? VzUnzip(vz.h) : VzTestZipFile(vz.h, 1), vzr::BadPassword) << vz.Dump();
        // c.txt goes with the password found for a.txt, without asking.
        EXPECT_EQ(vz.Of(vzev::BadPassword), (std::vector<std::string>{"18 a.txt", "18 a.txt", "18 b.bin"}));
        EXPECT_EQ(vz.Of(vzev::Warning), std::vector<std::string>{"17 b.bin code=106"});
        if (extract) {
            auto files = FilesBelow(out);
            EXPECT_EQ(files.size(), 2u);
            EXPECT_EQ(files["a.txt"], mvtest::ReadFileBytes(t.src() / "a.txt"));
            EXPECT_EQ(files["sub/c.txt"], mvtest::ReadFileBytes(t.src() / "sub/c.txt"));
        }
    }
}

TEST(VendorZipUnzip, DamagedEntryGivesCrcCode) {
    VZ_NEED_TOOL("zip");
    Tree t;
    ASSERT_EQ(mvtest::Run("cd " + Quote(t.src().string()) + " && zip -q -0 ../s.zip a.txt b.bin").exitCode,
              0);
    auto bytes = mvtest::ReadFileBytes(t.dir / "s.zip");
    bytes[30 + 5 + 100] ^= 0x20; // inside a.txt's stored data
    mvtest::WriteFileBytes(t.dir / "s.zip", bytes);
    Vz vz;
    VzSetZipFilenameA(vz.h, t.d("s.zip").c_str());
    EXPECT_EQ(VzTestZipFile(vz.h, 1), vzr::CrcError);
    EXPECT_EQ(vz.Of(vzev::Warning), std::vector<std::string>{"17 a.txt code=107"});
    VzSetUnzipToFolderA(vz.h, t.d("out").c_str());
    EXPECT_EQ(VzUnzip(vz.h), vzr::CrcError);
    EXPECT_FALSE(fs::exists(t.dir / "out" / "a.txt")); // a damaged file is not put in place
    EXPECT_TRUE(fs::exists(t.dir / "out" / "b.bin"));
}

TEST(VendorZipUnzip, NamesLeavingTheTargetWriteNothingOutside) {
    VZ_NEED_TOOL("python3");
    mvtest::TempDir dir;
    const fs::path zip = dir / "slip.zip";
    ASSERT_EQ(mvtest::Run("python3 -c \"import zipfile; z=zipfile.ZipFile('" + zip.string() +
                          "','w'); [z.writestr(zipfile.ZipInfo(n), 'x') for n in "
                          "('../x','/abs','a/../../y','ok.txt')]; z.close()\"")
                  .exitCode,
              0);
    const fs::path target = dir / "box" / "target";
    for (bool paths : {true, false}) {
        SCOPED_TRACE(paths);
        fs::remove_all(dir / "box");
        Vz vz;
        VzSetZipFilenameA(vz.h, zip.string().c_str());
        VzSetUnzipToFolderA(vz.h, target.string().c_str());
        VzSetPreservePaths(vz.h, paths);
        EXPECT_EQ(VzUnzip(vz.h), vzr::SomeSkipped) << vz.Dump();
        EXPECT_EQ(vz.Of(vzev::Skipping), (std::vector<std::string>{"6 ../x reason=109", "6 /abs reason=109",
                                                                   "6 a/../../y reason=109"}));
        EXPECT_EQ(FilesBelow(dir / "box"),
                  (std::map<std::string, std::vector<uint8_t>>{{"target/ok.txt", {'x'}}}));
        EXPECT_FALSE(fs::exists(dir / "x"));
        EXPECT_FALSE(fs::exists("/abs"));
    }
    // Testing writes nothing: every entry is tested.
    Vz vz;
    VzSetZipFilenameA(vz.h, zip.string().c_str());
    EXPECT_EQ(VzTestZipFile(vz.h, 1), 0) << vz.Dump();
    EXPECT_EQ(vz.Of(vzev::Processing).size(), 4u);
}

TEST(VendorZipUnzip, AbortFromProgressEndsWithCancelCode) {
    VZ_NEED_TOOL("zip");
    Tree t;
    const fs::path zip = PeerZip(t);
    Vz vz;
    VzSetZipFilenameA(vz.h, zip.string().c_str());
    VzSetUnzipToFolderA(vz.h, t.d("out").c_str());
    vz.Answer = [&](uint32_t e, void*) {
        if (e == vzev::Progress) VzSetAbort(vz.h, 1);
    };
    EXPECT_EQ(VzUnzip(vz.h), vzr::Aborted);
    EXPECT_EQ(vz.Of(vzev::Progress).size(), 1u);
    EXPECT_LE(FilesBelow(t.dir / "out").size(), 1u);
    // The request stands until it is cleared.
    vz.Answer = nullptr;
    EXPECT_EQ(VzTestZipFile(vz.h, 1), vzr::Aborted);
    VzSetAbort(vz.h, 0);
    EXPECT_EQ(VzTestZipFile(vz.h, 1), 0);
}

} // namespace
