// The search in archives and plain files: expressions, modes, offsets, hits
// across block boundaries, archives made by the peers and from the corpus, the
// error numbers, cancel, and the mvarc command.
#include "archive/search/ArcSearch.h"
#include "archive/readers/ReaderFactory.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace mv;
namespace fs = std::filesystem;

namespace {

struct Hit {
    std::string member;
    int64_t offset;
    bool operator==(const Hit&) const = default;
};

struct SearchRun {
    bool result = false;
    std::vector<Hit> hits;
    std::vector<int> errors;
    std::vector<std::string> found;
    int files = 0, finishFiles = -1, finishMatches = -1;
    int64_t bytes = 0;
};

SearchRun DoSearch(const std::string& path, const std::string& text,
                   const std::function<void(TArcSearch&)>& setup = nullptr) {
    SearchRun r;
    TArcSearch s;
    if (setup) setup(s);
    s.SetArchiveFile(path);
    s.SetSearchText(text);
    s.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        r.errors.push_back(code);
    };
    s.OnHit = [&](TObject*, const std::string&, int64_t offset, const std::string& member) {
        r.hits.push_back({member, offset});
    };
    s.OnFinish = [&](TObject*, int files, int matches, int64_t) {
        r.finishFiles = files;
        r.finishMatches = matches;
    };
    r.result = s.Search();
    r.found.assign(s.FoundFiles().begin(), s.FoundFiles().end());
    r.files = s.FilesSearched();
    r.bytes = s.BytesSearched();
    return r;
}

std::vector<int64_t> NaiveOffsets(const std::vector<uint8_t>& data, const std::string& pat) {
    std::vector<int64_t> out;
    for (size_t i = 0; i + pat.size() <= data.size(); ++i)
        if (std::equal(pat.begin(), pat.end(), data.begin() + static_cast<long>(i),
                       [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }))
            out.push_back(static_cast<int64_t>(i));
    return out;
}

std::string Hex(const std::string& bytes) {
    static const char* d = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += d[c >> 4];
        out += d[c & 15];
    }
    return out;
}

// The members of an archive as our readers decode them (name -> bytes).
std::map<std::string, std::vector<uint8_t>> Members(const std::string& path, bool& ok) {
    std::map<std::string, std::vector<uint8_t>> out;
    ok = false;
    auto reader = NewReaderFor(path);
    if (!reader) return out;
    std::string current;
    reader->FileSpecList().push_back("*.*");
    reader->OnBegin = [&](TObject*, const std::string& name, int, bool&) { current = name; };
    int errors = 0;
    reader->OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int) {
        ++errors;
    };
    TUnBase* r = reader.get();
    r->ExtractWriteProc = [&, r](TArcStream* f, TArcStream* s, const uint8_t* b, bool d, int cm, int64_t n,
                                 int dc) {
        out[current].insert(out[current].end(), b, b + n);
        return r->DecryptWriteBlock(f, s, b, d, cm, n, dc);
    };
    try {
        r->ExtractToSink();
    } catch (const std::exception&) {
        return out;
    }
    ok = errors == 0;
    return out;
}

} // namespace

TEST(ArcSearch, ParsesExpressions) {
    struct Case {
        std::string text;
        std::vector<std::string> entries; // terms as [text], operators bare, level as a prefix digit
    } cases[] = {
        {"word", {"0[word]"}},
        {"two words", {"0[two words]"}},
        {"a AND b", {"0[a]", "0AND", "0[b]"}},
        {"a or b not c", {"0[a]", "0or", "0[b]", "0not", "0[c]"}},
        {"\"x y\" AND z", {"0[x y]", "0AND", "0[z]"}},
        {"\"(in) quotes\"", {"0[in quotes]"}},
        {"a AND (b OR c)", {"0[a]", "0AND", "1[b]", "1OR", "1[c]"}},
        {"NOT a", {"0[NOT a]"}},
        {"  padded  ", {"0[padded]"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> got;
        for (const auto& t : TArcSearch::ParseExpression(c.text))
            got.push_back(std::to_string(t.Rec.Level) + (t.Rec.IsTerm ? "[" + t.Text + "]" : t.Text));
        EXPECT_EQ(got, c.entries) << c.text;
    }
}

TEST(ArcSearch, ConvertsTermsByMode) {
    EXPECT_EQ(TArcSearch::ConvertTerm("4D 5A", TArcSearchMode::smHex), "MZ");
    EXPECT_EQ(TArcSearch::ConvertTerm("4d 5a", TArcSearchMode::smHex), "MZ");
    EXPECT_EQ(TArcSearch::ConvertTerm("77 90", TArcSearchMode::smDec), "MZ");
    EXPECT_EQ(TArcSearch::ConvertTerm("1001101 1011010", TArcSearchMode::smBin), "MZ");
    EXPECT_EQ(TArcSearch::ConvertTerm("115 132", TArcSearchMode::smOct), "MZ");
    EXPECT_EQ(TArcSearch::ConvertTerm("41  42", TArcSearchMode::smHex), "A B");
    EXPECT_EQ(TArcSearch::ConvertTerm("4D ZZ", TArcSearchMode::smHex), ""); // no digit: the term is empty
    EXPECT_EQ(TArcSearch::ConvertTerm("300", TArcSearchMode::smDec), "");   // not a byte
    EXPECT_EQ(TArcSearch::ConvertTerm("as is", TArcSearchMode::smAsc), "as is");
}

TEST(ArcSearch, ExpressionsOverPlainFiles) {
    mvtest::TempDir t;
    const std::string file = (t / "doc.txt").string();
    mvtest::WriteFileText(file, "The quick brown Fox jumps over the lazy dog.\nMZ header\n");
    struct Case {
        std::string expr;
        bool expected;
    } cases[] = {
        {"fox", true},
        {"cat", false},
        {"quick brown", true},
        {"brown quick", false},
        {"\"lazy dog\"", true},
        {"fox AND cat", false},
        {"fox OR cat", true},
        {"cat OR fox", true},
        {"fox NOT cat", true},
        {"fox NOT dog", false},
        {"cat OR fox AND dog", true}, // (cat or fox) and dog
        {"fox AND (cat OR dog)", true},
        {"fox AND (cat OR bird)", false},
        {"(cat OR bird) OR jumps", true},
    };
    for (const auto& c : cases) {
        const SearchRun r = DoSearch(file, c.expr);
        EXPECT_EQ(r.result, c.expected) << c.expr;
        EXPECT_TRUE(r.found.empty()) << c.expr; // a plain file: the result alone answers
        EXPECT_TRUE(r.errors.empty()) << c.expr;
    }
    EXPECT_FALSE(
        DoSearch(file, "fox", [](TArcSearch& s) { s.SetSearchCase(TArcSearchCase::scSensitive); }).result);
    EXPECT_TRUE(
        DoSearch(file, "4D 5A", [](TArcSearch& s) { s.SetSearchMode(TArcSearchMode::smHex); }).result);
    EXPECT_FALSE(
        DoSearch(file, "4D ZZ", [](TArcSearch& s) { s.SetSearchMode(TArcSearchMode::smHex); }).result);
}

TEST(ArcSearch, ErrorNumbersAndOffsets) {
    mvtest::TempDir t;
    const std::string file = (t / "doc.txt").string();
    mvtest::WriteFileText(file, "abc abc abc abc"); // hits at 0 4 8 12
    EXPECT_EQ(DoSearch(file, "\"abc").errors, std::vector<int>{25280});
    EXPECT_EQ(DoSearch(file, "(abc").errors, std::vector<int>{25281});
    EXPECT_EQ(DoSearch(file, "abc)").errors, std::vector<int>{25281});
    EXPECT_TRUE(DoSearch(file, "\"(abc\"").errors.empty()); // parentheses inside quotes do not count
    EXPECT_EQ(DoSearch("", "abc").errors, std::vector<int>{25242});
    EXPECT_EQ(
        DoSearch(file, "abc", [](TArcSearch& s) { s.SetSearchType(TArcSearchType::stArcsOnly); }).errors,
        std::vector<int>{25242});
    EXPECT_EQ(DoSearch((t / "missing").string(), "abc").errors, std::vector<int>{25235});
    EXPECT_FALSE(DoSearch(file, "").result);

    auto offsets = [&](int64_t b, int64_t e) {
        std::vector<int64_t> out;
        for (const auto& h : DoSearch(file, "abc", [&](TArcSearch& s) {
                                 s.SetOffsetBegin(b);
                                 s.SetOffsetEnd(e);
                             }).hits)
            out.push_back(h.offset);
        return out;
    };
    EXPECT_EQ(offsets(0, 0), (std::vector<int64_t>{0, 4, 8, 12}));
    EXPECT_EQ(offsets(4, 8), (std::vector<int64_t>{4, 8}));
    EXPECT_EQ(offsets(5, 0), (std::vector<int64_t>{8, 12}));
    EXPECT_EQ(offsets(10, 5), (std::vector<int64_t>{12})); // the end falls back to the whole
    // a hit later in the block counts when the first one lies outside the range
    EXPECT_TRUE(DoSearch(file, "abc", [](TArcSearch& s) { s.SetOffsetBegin(9); }).result);
    EXPECT_FALSE(DoSearch(file, "abc", [](TArcSearch& s) { s.SetOffsetBegin(13); }).result);
}

TEST(ArcSearch, HitsAcrossBlockBoundariesInPlainFilesAndMembers) {
    MV_REQUIRE_TOOL("zip");
    mvtest::TempDir t;
    auto data = mvtest::TextBytes(420000, 7);
    const std::string phrase = "needle-in-the-haystack";
    // straddle the plain-file blocks (100001 bytes) and the 32 KiB pieces of the readers
    for (int64_t at : {0L, 32760L, 65530L, 99990L, 100050L, 200000L, 300000L, 419978L})
        std::copy(phrase.begin(), phrase.end(), data.begin() + at);
    mvtest::WriteFileBytes(t / "big.txt", data);
    const auto expected = NaiveOffsets(data, phrase);
    ASSERT_EQ(expected.size(), 8u);

    SearchRun plain = DoSearch((t / "big.txt").string(), phrase);
    ASSERT_TRUE(plain.result);
    std::vector<int64_t> got;
    for (const auto& h : plain.hits) got.push_back(h.offset);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(plain.finishMatches, 8);

    ASSERT_EQ(mvtest::Run("zip -q -0 s.zip big.txt && zip -q -6 d.zip big.txt", t.Path()).exitCode, 0);
    for (const char* name : {"s.zip", "d.zip"}) {
        SearchRun r = DoSearch((t / name).string(), phrase);
        ASSERT_TRUE(r.result) << name;
        got.clear();
        for (const auto& h : r.hits) got.push_back(h.offset);
        EXPECT_EQ(got, expected) << name;
        EXPECT_EQ(r.found, std::vector<std::string>{"big.txt"});
    }
}

// One archive per format the peers make: the phrase is in one member only.
TEST(ArcSearch, MembersOfPeerArchives) {
    mvtest::TempDir t;
    fs::create_directories(t / "src" / "sub");
    std::string inner(5000, '.');
    const std::string phrase = "Purple Elephants Dance";
    inner.replace(3210, phrase.size(), phrase);
    mvtest::WriteFileText(t / "src" / "sub" / "inner.txt", inner);
    mvtest::WriteFileText(t / "src" / "other.txt", std::string(3000, 'x') + " purple elephants sleep");
    struct Maker {
        const char* tool;
        const char* archive;
        const char* command;
        const char* member; // as it is found
    } makers[] = {
        {"zip", "a.zip", "zip -q -r ../a.zip sub other.txt", "sub/inner.txt"},
        {"7z", "b.zip", "7z a -tzip -bd ../b.zip sub other.txt >/dev/null", "sub/inner.txt"},
        {"lha", "c.lzh", "lha c ../c.lzh sub/inner.txt other.txt </dev/null >/dev/null", "sub/inner.txt"},
        {"arj", "d.arj", "arj a -r -y ../d.arj sub/inner.txt other.txt >/dev/null", "sub/inner.txt"},
        {"tar", "e.tar", "tar -cf ../e.tar sub/inner.txt other.txt", "sub/inner.txt"},
        {"gzip", "f.gz", "gzip -c sub/inner.txt > ../f.gz", "inner.txt"},
        {"7z", "g.tar", "7z a -ttar -bd ../g.tar sub/inner.txt other.txt >/dev/null", "sub/inner.txt"},
    };
    int searched = 0;
    for (const auto& m : makers) {
        if (!mvtest::RequireTool(m.tool)) continue;
        const std::string archive = (t / m.archive).string();
        ASSERT_EQ(mvtest::Run(m.command, t / "src").exitCode, 0) << m.command;
        TArcType type = TArcType::atNA;
        if (!NewReaderFor(archive, &type)) continue; // no reader of that type yet
        ++searched;
        SearchRun r = DoSearch(archive, "\"elephants dance\"");
        ASSERT_TRUE(r.result) << m.archive;
        ASSERT_EQ(r.hits.size(), 1u) << m.archive;
        EXPECT_EQ(r.hits[0].offset, 3217) << m.archive;
        ASSERT_EQ(r.found.size(), 1u) << m.archive;
        EXPECT_NE(r.found[0].find("inner.txt"), std::string::npos) << m.archive;
        EXPECT_EQ(r.finishMatches, 1);
        // both members hold "purple"; only one holds "dance"
        EXPECT_EQ(DoSearch(archive, "purple").found.size(), type == TArcType::atGZip ? 1u : 2u) << m.archive;
        EXPECT_EQ(DoSearch(archive, "purple NOT dance").found.size(), type == TArcType::atGZip ? 0u : 1u);
        EXPECT_EQ(DoSearch(archive, "sleep OR dance").found.size(), type == TArcType::atGZip ? 1u : 2u);
        if (type == TArcType::atGZip) continue; // one member: nothing to choose
        EXPECT_FALSE(DoSearch(archive, "Purple",
                              [](TArcSearch& s) {
                                  s.SetSearchCase(TArcSearchCase::scSensitive);
                                  s.SetFileSpec({"other.txt"});
                              })
                         .result)
            << m.archive;
    }
    EXPECT_GT(searched, 0);
}

// One corpus archive per format with a reader: bytes taken from a member are
// found there, at every offset where they occur.
TEST(ArcSearch, CorpusArchives) {
    std::set<std::string> done;
    for (const auto& e : mvtest::ReadManifest()) {
        if (done.count(e.format) || !e.password.empty() || e.extraction.rfind("ok", 0) != 0) continue;
        if (e.extraction.find("whole set") != std::string::npos) continue;
        const std::string path = (mvtest::CorpusDir() / e.path).string();
        TArcType type = TArcType::atNA;
        if (!NewReaderFor(path, &type) || !IsSearchableArcType(type)) continue;
        bool ok = false;
        const auto members = Members(path, ok);
        if (!ok) {
            std::cout << e.path << ": not decoded cleanly by our reader\n";
            continue;
        }
        const std::pair<const std::string, std::vector<uint8_t>>* pick = nullptr;
        for (const auto& m : members)
            if (m.second.size() >= 64) pick = &m;
        if (!pick) continue;
        const auto& bytes = pick->second;
        const std::string phrase(bytes.begin() + static_cast<long>(bytes.size() / 2),
                                 bytes.begin() + static_cast<long>(bytes.size() / 2 + 12));
        SearchRun r = DoSearch(path, Hex(phrase), [](TArcSearch& s) {
            s.SetSearchMode(TArcSearchMode::smHex);
            s.SetSearchCase(TArcSearchCase::scSensitive);
        });
        ASSERT_TRUE(r.result) << e.path;
        std::vector<int64_t> got;
        for (const auto& h : r.hits)
            if (h.member == pick->first) got.push_back(h.offset);
        EXPECT_EQ(got, NaiveOffsets(bytes, phrase)) << e.path << " " << pick->first;
        done.insert(e.format);
    }
    EXPECT_GE(done.size(), 3u);
    for (const auto& f : done) std::cout << "searched corpus format " << f << "\n";
}

TEST(ArcSearch, CancelEndsASearchInsideALargeMember) {
    MV_REQUIRE_TOOL("zip");
    mvtest::TempDir t;
    mvtest::WriteFileBytes(t / "big.txt", mvtest::TextBytes(3000000, 3));
    ASSERT_EQ(mvtest::Run("zip -q -1 a.zip big.txt", t.Path()).exitCode, 0);
    for (const std::string& path : {(t / "a.zip").string(), (t / "big.txt").string()}) {
        TArcSearch s;
        s.SetArchiveFile(path);
        s.SetSearchText("e"); // hits everywhere
        int hits = 0;
        int errors = 0;
        s.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int) {
            ++errors;
        };
        s.OnHit = [&](TObject*, const std::string&, int64_t, const std::string&) {
            if (++hits == 3) s.SetCancel(true);
        };
        s.Search();
        EXPECT_TRUE(s.Cancel()) << path;
        EXPECT_LT(s.BytesSearched(), 300000) << path;
        EXPECT_LE(hits, 3 + 200000) << path;
    }
}

TEST(ArcSearch, CancelEndsASearchInsideRarAndCabMembers) {
    int checked = 0;
    for (const char* name :
         {"rar/rar2x_sc.rar", "rar/rar3_solid.rar", "cab/makecab_mszip.cab", "cab/split-1.cab"}) {
        const std::string path = (mvtest::CorpusDir() / name).string();
        if (!fs::exists(path) || !NewReaderFor(path)) continue;
        TArcSearch s;
        s.SetArchiveFile(path);
        s.SetSearchText("00"); // byte 0: found in nearly every member
        s.SetSearchMode(TArcSearchMode::smHex);
        int hits = 0;
        s.OnHit = [&](TObject*, const std::string&, int64_t, const std::string&) {
            if (++hits == 1) s.SetCancel(true);
        };
        s.Search();
        if (hits == 0) continue;
        ++checked;
        EXPECT_TRUE(s.Cancel()) << name;
        // makecab_mszip.cab holds an empty member before the one of zeros.
        EXPECT_LE(s.FilesSearched(), 2) << name;
    }
    if (checked == 0) GTEST_SKIP() << "no RAR or CAB reader found a zero byte";
}

TEST(ArcSearch, MvarcPrintsOneLinePerHit) {
    MV_REQUIRE_TOOL("zip");
    mvtest::TempDir t;
    mvtest::WriteFileText(t / "a.txt", "one two three two");
    mvtest::WriteFileText(t / "b.txt", "nothing here");
    ASSERT_EQ(mvtest::Run("zip -q x.zip a.txt b.txt", t.Path()).exitCode, 0);
    const std::string arc = (t / "x.zip").string();
    auto r = mvtest::Run(mvtest::MvarcPath() + " search " + mvtest::Quote(arc) + " two 2>/dev/null");
    EXPECT_EQ(r.exitCode, 0);
    const std::string expected = arc + "\ta.txt\t4\n" + arc + "\ta.txt\t14\nmatch\ta.txt\n";
    EXPECT_EQ(r.output.substr(0, expected.size()), expected);
    r = mvtest::Run(mvtest::MvarcPath() + " search " + mvtest::Quote(arc) + " '\"two' 2>&1");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("error 25280"), std::string::npos);
}
