// Opening, listing and closing archives through the main window's logic with a
// window made of records: for one archive of every readable type of the corpus,
// the rows equal a peer tool's listing; a ZIP gives the same rows through the
// vendor library and through the lister; bad input gives its message and leaves
// the window usable.
#include "app/mainwindow/ArchiveOpener.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/mainwindow/ArchiveRows.h"
#include "archive/framework/ArcErrors.h"
#include "archive/lister/ArcLister.h"
#include "tests/app/mainwindow/FakeMainWindowView.h"
#include "tests/app/mainwindow/PeerListings.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <strings.h>

namespace mv {
namespace {

using mvtest::CorpusDir;
using mvtest::Quote;
using mvtest::Run;
using mvtest::TempDir;

struct Window {
    TFakeMainWindowView view;
    TArchiveList list;
    TReopenList history;
    TArchiveOpener opener{view, list, history};
};

std::map<std::string, TArchiveRow> RowsByName(const TArchiveList& list) {
    std::map<std::string, TArchiveRow> out;
    for (const TArchiveRow& r : list.Rows()) out[r.StoredName()] = r;
    return out;
}

enum class Peer { SevenZip, Lsar, Manifest };

TEST(ArchiveOpener, RowsOfEveryReadableTypeEqualThePeersListing) {
    struct Case {
        const char* path;
        TArcType type;
        Peer peer;
    } cases[] = {
        {"zip/infozip_deflate_dirs.zip", TArcType::atZip, Peer::SevenZip},
        {"zip/trad_encrypted_deflate.zip", TArcType::atZip, Peer::SevenZip},
        {"jar/jar_tool_manifest.jar", TArcType::atJar, Peer::SevenZip},
        {"arj/arj020b.arj", TArcType::atArj, Peer::SevenZip},
        {"lha/lha213_subdir.lzh", TArcType::atLha, Peer::SevenZip},
        {"cab/makecab_mszip.cab", TArcType::atCab, Peer::SevenZip},
        {"rar/rar3_subdirs.rar", TArcType::atRar, Peer::SevenZip},
        {"tar/ustar_perl.tar", TArcType::atTar, Peer::SevenZip},
        {"gzip/license.gz", TArcType::atGZip, Peer::SevenZip},
        {"zoo/zoo_default_lzw.zoo", TArcType::atZoo, Peer::Lsar},
        {"arc/arc601.arc", TArcType::atArc, Peer::Lsar},
        {"arc/pak100.pak", TArcType::atPak, Peer::Lsar},
        {"ace/method1.ace", TArcType::atACE, Peer::Manifest},
        {"ha/ha_copy.ha", TArcType::atHa, Peer::Manifest},
        {"uue/plain_uuencode.msg", TArcType::atUue, Peer::Manifest},
    };
    MV_REQUIRE_TOOL("7z");
    MV_REQUIRE_TOOL("lsar");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string path = (CorpusDir() / c.path).string();
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive(path));
        EXPECT_EQ(w.opener.ArcType(), c.type);
        EXPECT_TRUE(w.view.Boxes.empty()) << w.view.Boxes[0].Text;
        const PeerListing peer = c.peer == Peer::SevenZip ? SevenZipListing(path)
                                 : c.peer == Peer::Lsar   ? LsarListing(path)
                                                          : ManifestListing(c.path);
        ASSERT_FALSE(peer.empty());
        const auto rows = RowsByName(w.list);
        const bool zip = c.type == TArcType::atZip || c.type == TArcType::atJar;
        const auto dosDates = zip ? ZipDosDates(path) : std::map<std::string, std::string>{};
        // Folder entries: the lister reports those the archive stores as entries
        // (RAR); a folder the peer lists but the archive holds no row for is left out.
        size_t files = 0;
        for (const auto& [name, p] : peer) files += p.Folder ? 0 : 1;
        size_t fileRows = 0;
        for (const auto& [name, r] : rows) {
            const bool folder = peer.count(name + "\\") && peer.at(name + "\\").Folder;
            fileRows += folder ? 0 : 1;
        }
        ASSERT_EQ(fileRows, files);
        EXPECT_EQ(w.view.ItemCount, static_cast<int>(rows.size()));
        for (auto [name, p] : peer) {
            if (p.Folder) continue;
            SCOPED_TRACE(name);
            if (zip) p.Date = dosDates.at(name);
            auto it = rows.find(name);
            ASSERT_NE(it, rows.end());
            const TArchiveRow& r = it->second;
            std::string folder, file;
            SplitStoredName(name, folder, file);
            EXPECT_EQ(r.FileName, file);
            EXPECT_EQ(r.Path, folder);
            // An encoded file is listed with the size of its encoded lines and no check value.
            if (c.type == TArcType::atUue) continue;
            EXPECT_EQ(r.Size, p.Size);
            if (!p.Crc.empty()) {
                EXPECT_EQ(CrcText(r.Crc), p.Crc);
            }
            if (!p.Date.empty()) {
                EXPECT_EQ(SortKeyOf(r, colModificado), p.Date);
            }
        }
        EXPECT_EQ(w.view.CaptionText, std::string(MainCaptionPrefix) + path + " (*)");
        EXPECT_EQ(w.view.Panels[1], LoadLangStr(47) + ": " + std::to_string(rows.size()));
    }
}

TEST(ArchiveOpener, AZipGivesTheSameRowsThroughTheVendorLibraryAndTheLister) {
    for (const char* fixture : {"zip/infozip_deflate_dirs.zip", "zip/trad_encrypted_deflate.zip",
                                "zip/pkzip1_implode.zip", "jar/jar_tool_manifest.jar"}) {
        SCOPED_TRACE(fixture);
        const std::string path = (CorpusDir() / fixture).string();
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive(path));
        TArcLister lister;
        lister.SetFileSpec({"*"});
        lister.SetArchiveFile(path);
        TArchiveList viaLister;
        lister.OnRead = [&](TObject*, int64_t, int) {
            std::string attributes;
            lister.AttrToText(lister.EntryInfo().ExternalAttr, ' ', attributes);
            viaLister.AddRow(RowFromEntry(lister.EntryInfo(), attributes));
        };
        ASSERT_TRUE(lister.Activate());
        ASSERT_EQ(w.list.RowCount(), viaLister.RowCount());
        ASSERT_GT(w.list.RowCount(), 0);
        for (int i = 0; i < w.list.RowCount(); ++i) {
            const TArchiveRow& a = w.list.Rows()[static_cast<size_t>(i)];
            const TArchiveRow& b = viaLister.Rows()[static_cast<size_t>(i)];
            for (int column = 0; column < ArchiveColumnCount; ++column)
                if (column != colAtrib) {
                    EXPECT_EQ(SortKeyOf(a, column), SortKeyOf(b, column)) << column;
                }
            EXPECT_EQ(a.Encrypted, b.Encrypted);
            EXPECT_EQ(a.Modified, b.Modified);
        }
    }
}

TEST(ArchiveOpener, SortingAndTotalsThroughTheWindow) {
    Window w;
    const std::string path = (CorpusDir() / "arc/arc601.arc").string();
    ASSERT_TRUE(w.opener.OpenArchive(path));
    ASSERT_EQ(w.list.RowCount(), 3);
    for (int column = 0; column < ArchiveColumnCount; ++column) {
        for (bool ascending : {false, true}) {
            w.opener.SortFinished(column, ascending);
            std::vector<std::string> keys;
            for (int i = 0; i < 3; ++i) keys.push_back(SortKeyOf(w.list.GetCachedRow(i), column));
            auto sorted = keys;
            std::stable_sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
                return SortKeyLess({a, 0}, {b, 0});
            });
            if (!ascending) std::reverse(sorted.begin(), sorted.end());
            for (size_t i = 0; i < keys.size(); ++i)
                EXPECT_EQ(strcasecmp(keys[i].c_str(), sorted[i].c_str()), 0) << column << ascending;
        }
    }
    w.opener.SortFinished(colTamanho, false);
    EXPECT_EQ(w.list.CellText(0, colNome, false), "TESTDAT3.TXT");
    // A selection: its totals; a click on the status bar: all rows again.
    w.view.Selected = {0, 2};
    w.opener.DisplayTotals(true);
    EXPECT_EQ(w.view.Panels[1], LoadLangStr(46) + "2");
    EXPECT_EQ(w.view.Panels[2], LoadLangStr(33) + ": " + FormatThousands(81410 + 469));
    w.opener.StatusBarClick();
    EXPECT_TRUE(w.view.Selected.empty());
    EXPECT_EQ(w.view.Panels[1], LoadLangStr(47) + ": 3");
    EXPECT_EQ(w.view.Panels[2], LoadLangStr(33) + ": " + FormatThousands(2009 + 469 + 81410));
    EXPECT_EQ(w.view.Panels[0], "ARC       ");
}

TEST(ArchiveOpener, BadInputGivesItsMessageAndLeavesTheWindowUsable) {
    TempDir dir;
    const auto corpusBytes = mvtest::ReadFileBytes(CorpusDir() / "arj/arj020b.arj");
    const auto zipBytes = mvtest::ReadFileBytes(CorpusDir() / "zip/pkzip1_shrink.zip");
    // A damaged ARJ (cut inside its second entry) and a ZIP whose central directory is cut.
    mvtest::WriteFileBytes(dir / "damaged.arj", {corpusBytes.begin(), corpusBytes.begin() + 3000});
    auto cutZip = zipBytes;
    cutZip.resize(zipBytes.size() - 30);
    mvtest::WriteFileBytes(dir / "damaged.zip", cutZip);
    mvtest::WriteFileText(dir / "notes.zip", "this is no archive at all, only text\n");
    std::filesystem::create_directory(dir / "folder.zip"); // exists, but cannot be read as a file

    struct Case {
        std::string file;
        std::string text;
        uint8_t kind;
    } cases[] = {
        {"missing.zip", ArcErrorMessage(arcerr::FileNotFound), mkInformation},
        {"notes.zip", LoadLangStr(44), mkError},
        {"folder.zip", ArcErrorMessage(arcerr::OpenError), mkError},
        {"damaged.arj", "", mkError},
        {"damaged.zip", "", mkError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Window w;
        const std::string path = (dir / c.file).string();
        w.opener.OpenArchive(path);
        ASSERT_EQ(w.view.Boxes.size(), 1u);
        EXPECT_EQ(w.view.Boxes[0].Kind, c.kind);
        if (!c.text.empty()) {
            EXPECT_EQ(w.view.Boxes[0].Text.substr(0, c.text.size()), c.text);
        }
        EXPECT_FALSE(w.view.Boxes[0].Text.empty());
        EXPECT_EQ(w.view.Boxes[0].Text.find("Error #"), std::string::npos);
        if (c.file == "damaged.zip") {
            const std::string context = " (" + LoadLangStr(43) + ")";
            EXPECT_EQ(w.view.Boxes[0].Text.substr(w.view.Boxes[0].Text.size() - context.size()), context);
        }
        EXPECT_EQ(w.view.UpdateDepth, 0);
        EXPECT_FALSE(w.view.Busy);
        EXPECT_EQ(w.view.StatusText, "");
        // The window goes on: a good archive opens after it.
        w.view.Boxes.clear();
        ASSERT_TRUE(w.opener.OpenArchive((CorpusDir() / "arc/arc601.arc").string()));
        EXPECT_TRUE(w.view.Boxes.empty());
        EXPECT_EQ(w.list.RowCount(), 3);
    }
}

TEST(ArchiveOpener, CloseReopenAndTheFileSpecification) {
    Window w;
    const std::string zip = (CorpusDir() / "jar/jar_tool_manifest.jar").string();
    ASSERT_TRUE(w.opener.OpenArchive(zip));
    EXPECT_TRUE(w.view.Commands.CanAdd);
    EXPECT_TRUE(w.view.Commands.CanExtract);
    ASSERT_EQ(w.history.Items().size(), 1u);
    w.opener.SetFileSpec("  *.class ");
    EXPECT_EQ(w.list.RowCount(), 1);
    EXPECT_EQ(w.view.CaptionText, std::string(MainCaptionPrefix) + zip + " (*.class)");
    w.opener.SetFileSpec("   "); // empty: the old specification, listed again
    EXPECT_EQ(w.opener.FileSpecText(), "*.class");
    w.opener.CloseArchive();
    EXPECT_EQ(w.view.CaptionText, MainCaptionPrefix);
    EXPECT_EQ(w.view.ItemCount, 0);
    EXPECT_EQ(w.list.RowCount(), 0);
    EXPECT_FALSE(w.view.Commands.CanClose);
    // Reopen: the archive from the history, with "*" again.
    ASSERT_TRUE(w.opener.ReopenArchive(w.history.Items()[0].Caption));
    EXPECT_EQ(w.list.RowCount(), 2);
    // A vanished archive: a message, nothing open, its history entry kept.
    TempDir dir;
    const auto gone = (dir / "gone.zip").string();
    std::filesystem::copy_file(zip, gone);
    ASSERT_TRUE(w.opener.OpenArchive(gone));
    std::filesystem::remove(gone);
    EXPECT_FALSE(w.opener.ReopenArchive(gone));
    ASSERT_EQ(w.view.Boxes.size(), 1u);
    EXPECT_EQ(w.view.Boxes[0].Kind, mkInformation);
    EXPECT_EQ(w.opener.ArchiveFile(), "");
    EXPECT_EQ(w.view.CaptionText, MainCaptionPrefix);
    EXPECT_EQ(w.history.Items().size(), 2u);
}

// No peer reads these: a BH archive made by our own writer lists the files it
// was made from; an InstallShield archive and a unix-compressed file are listed
// without a message.
TEST(ArchiveOpener, TypesWithoutAPeerReader) {
    TempDir dir;
    mvtest::WriteFileText(dir / "a.txt", "hello world\n");
    const auto payload = mvtest::RandomBytes(3000, 7);
    mvtest::WriteFileBytes(dir / "b.bin", payload);
    const auto made = mvtest::Run(Quote(mvtest::MvarcPath()) + " add out.bh -t bh a.txt b.bin", dir.Path());
    ASSERT_EQ(made.exitCode, 0) << made.output;
    Window w;
    ASSERT_TRUE(w.opener.OpenArchive((dir / "out.bh").string()));
    EXPECT_EQ(w.opener.ArcType(), TArcType::atBh);
    EXPECT_TRUE(w.view.Boxes.empty());
    const auto rows = RowsByName(w.list);
    ASSERT_EQ(rows.size(), 2u);
    const std::string hello = "hello world\n";
    EXPECT_EQ(rows.at("a.txt").Size, 12);
    EXPECT_EQ(rows.at("a.txt").Crc,
              mvtest::ReferenceCrc32(reinterpret_cast<const uint8_t*>(hello.data()), 12));
    EXPECT_EQ(rows.at("b.bin").Size, 3000);
    EXPECT_EQ(rows.at("b.bin").Crc, mvtest::ReferenceCrc32(payload.data(), payload.size()));

    for (const char* fixture : {"msgz/is3_none.Z", "compress/license.Z"}) {
        SCOPED_TRACE(fixture);
        Window v;
        ASSERT_TRUE(v.opener.OpenArchive((CorpusDir() / fixture).string()));
        EXPECT_TRUE(v.view.Boxes.empty());
        EXPECT_GT(v.list.RowCount(), 0);
        EXPECT_EQ(v.view.ItemCount, v.list.RowCount());
    }
}

// While the self-extractor wizard lists the archive, its four lists get one
// line per entry and the main window's list stays as it was.
TEST(ArchiveOpener, TheWizardsListingFillsItsListsOnly) {
    Window w;
    TFormSFXFields wizard;
    w.opener.Vendor().Wizard = &wizard;
    ASSERT_TRUE(w.opener.OpenArchive((CorpusDir() / "arc/arc601.arc").string()));
    w.opener.Lister().SetTag(VzReceiverWizard);
    w.opener.Lister().Activate();
    const std::string first = LoadLangStr(500) + "\\" + "TESTDAT1.TXT";
    ASSERT_EQ(wizard.ArquivosLb.size(), 3u);
    EXPECT_EQ(wizard.ArquivosLb[0], first);
    EXPECT_EQ(wizard.ParametrosEdit, wizard.ArquivosLb);
    EXPECT_EQ(wizard.AplicacaoEdit.size(), 3u);
    EXPECT_EQ(wizard.ArquivoTextoEdit.size(), 3u);
    EXPECT_EQ(w.list.RowCount(), 3);
}

// The totals never detach the running operation's component (its Cancel and
// its password prompt stay bound), and a fresh window shows no row.
TEST(ArchiveOpener, TotalsLeaveTheRunningComponentAlone) {
    Window w;
    EXPECT_EQ(w.view.ItemCount, 0);
    ASSERT_TRUE(w.opener.OpenArchive((CorpusDir() / "arc/arc601.arc").string()));
    TArcLister running;
    ActiveArchiveComponent = &running;
    w.view.Selected = {1};
    w.opener.DisplayTotals(true);
    w.opener.StatusBarClick();
    EXPECT_EQ(ActiveArchiveComponent, &running);
    ActiveArchiveComponent = nullptr;
}

TEST(ArchiveOpener, CommandsByArchiveType) {
    struct Case {
        TArcType type;
        bool add, extract;
    } cases[] = {{TArcType::atCab, false, true},   {TArcType::atZipExe, true, true},
                 {TArcType::atZipMV, false, true}, {TArcType::atArj, false, true},
                 {TArcType::atGZip, true, true},   {TArcType::atUnknown, false, false},
                 {TArcType::atNA, false, false}};
    for (const Case& c : cases) {
        const TCommandState s = TArchiveOpener::CommandStateFor(c.type);
        EXPECT_EQ(s.CanAdd, c.add) << static_cast<int>(c.type);
        EXPECT_EQ(s.CanExtract, c.extract) << static_cast<int>(c.type);
        EXPECT_EQ(s.CanClose, c.add || c.extract);
    }
}

} // namespace
} // namespace mv
