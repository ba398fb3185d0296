// Search without case beyond ASCII: the Latin letters of Portuguese and Spanish
// in UTF-8 and in the DOS code pages, and terms found in members written in
// the DOS code page.
#include "archive/search/ArcSearch.h"
#include "archive/search/PatternSearch.h"
#include "platform/CodePage.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace mv;
namespace fs = std::filesystem;

namespace {

std::string Oem(const std::string& utf8, platform::OemCodePage page) {
    std::string out;
    EXPECT_TRUE(platform::Utf8ToOem(utf8, out, page)) << utf8;
    return out;
}

// Restores the default code page a test changed.
struct CodePageScope {
    explicit CodePageScope(platform::OemCodePage page) : old(platform::DefaultOemCodePage()) {
        platform::SetDefaultOemCodePage(page);
    }
    ~CodePageScope() { platform::SetDefaultOemCodePage(old); }
    platform::OemCodePage old;
};

} // namespace

TEST(AccentedSearch, LatinLettersFoldInUtf8AndTheDosCodePages) {
    struct Case {
        std::string pattern, text; // UTF-8; the text is converted for the DOS cases
        bool exact;                // case-sensitive
        bool found;
    };
    const std::vector<Case> cases = {
        {"ação", "RELATÓRIO DE AÇÃO FINAL", false, true},
        {"AÇÃO", "relatório de ação final", false, true},
        {"Año", "el AÑO pasado", false, true},
        {"canción", "UNA CANCIÓN", false, true},
        {"ÉXITO", "éxito", false, true},
        {"pingüino", "PINGÜINO", false, true},
        {"ação", "RELATÓRIO DE AÇÃO", true, false},
        {"ação", "relatório de ação", true, true},
        {"ação", "acao", false, false}, // no accent folding, only case
        {"1×2", "1÷2", false, false},   // signs are not letters
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern + " in " + c.text + (c.exact ? " (exact)" : ""));
        ArcSearchObj utf8;
        utf8.Prepare(c.pattern, 0, c.exact ? 1 : 0);
        EXPECT_EQ(utf8.SearchBuffer(reinterpret_cast<const uint8_t*>(c.text.data()),
                                    static_cast<int64_t>(c.text.size())),
                  c.found);
        if (c.pattern.find("×") != std::string::npos) continue; // "÷" has no form in CP437
        for (auto page : {platform::OemCodePage::cp850, platform::OemCodePage::cp437}) {
            if (!platform::HasOemForm(c.pattern + c.text, page)) continue;
            SCOPED_TRACE(page == platform::OemCodePage::cp850 ? "CP850" : "CP437");
            CodePageScope scope(page);
            const std::string text = Oem(c.text, page);
            ArcSearchObj oem;
            oem.Prepare(c.pattern, 1, c.exact ? 1 : 0);
            EXPECT_EQ(oem.SearchBuffer(reinterpret_cast<const uint8_t*>(text.data()),
                                       static_cast<int64_t>(text.size())),
                      c.found);
        }
    }
}

// A zip with one member in UTF-8 and one in CP850: an accented term in either
// case finds both.
TEST(AccentedSearch, TermsFindUtf8AndDosMembersInAZip) {
    MV_REQUIRE_TOOL("zip");
    CodePageScope scope(platform::OemCodePage::cp850);
    mvtest::TempDir t;
    mvtest::WriteFileText(t / "utf8.txt", "Relatório de ação, año 2024\n");
    mvtest::WriteFileText(t / "dos.txt",
                          Oem("RELATÓRIO DE AÇÃO, AÑO 2024\r\n", platform::OemCodePage::cp850));
    mvtest::WriteFileText(t / "other.txt", "nothing to see here\n");
    ASSERT_EQ(mvtest::Run("zip -q -X z.zip utf8.txt dos.txt other.txt", t.Path()).exitCode, 0);
    struct Case {
        std::string term;
        bool exact;
        std::set<std::string> found;
    };
    const std::vector<Case> cases = {
        {"ação", false, {"utf8.txt", "dos.txt"}},
        {"AÇÃO", false, {"utf8.txt", "dos.txt"}},
        {"AÑO", false, {"utf8.txt", "dos.txt"}},
        {"ação", true, {"utf8.txt"}},
        {"AÇÃO", true, {"dos.txt"}},
        {"relatório", false, {"utf8.txt", "dos.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.term + (c.exact ? " (exact)" : ""));
        TArcSearch s;
        s.SetArchiveFile((t / "z.zip").string());
        s.SetSearchText(c.term);
        s.SetSearchCase(c.exact ? TArcSearchCase::scSensitive : TArcSearchCase::scInsensitive);
        EXPECT_TRUE(s.Search());
        EXPECT_EQ(std::set<std::string>(s.FoundFiles().begin(), s.FoundFiles().end()), c.found);
    }
}
