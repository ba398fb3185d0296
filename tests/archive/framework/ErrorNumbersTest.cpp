// The error numbers of the archive components have one home, the arcerr table
// (resources/ArcErrorNumbers.h) beside their texts: every name there has a text,
// and no source of the archive components writes an error number anywhere else.
#include "resources/ArcErrorTexts.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

fs::path SourceRoot() {
    return fs::path(mvtest::FixtureDir()).parent_path().parent_path();
}

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The code of a line without its // comment and without string literals.
std::string CodeOf(const std::string& line) {
    std::string out;
    bool inString = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
            continue;
        }
        if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') break;
        out += c;
    }
    return out;
}

// Every "file:line: number" of the sources under `folders` that writes an
// error number (a number the text table knows) as a bare literal.
std::vector<std::string> StrayNumbers(const fs::path& root, const std::vector<std::string>& folders,
                                      const std::set<std::string>& allowed) {
    const std::regex number(R"((^|[^\w.])(2[56]\d\d\d)(?![\w.]))");
    std::vector<std::string> found;
    for (const auto& folder : folders) {
        for (const auto& e : fs::recursive_directory_iterator(root / folder)) {
            const auto ext = e.path().extension();
            if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h" && ext != ".inc")) continue;
            const std::string rel = fs::relative(e.path(), root).generic_string();
            if (allowed.count(rel)) continue;
            std::stringstream lines(ReadText(e.path()));
            std::string line;
            for (int n = 1; std::getline(lines, line); ++n) {
                const std::string code = CodeOf(line);
                for (std::sregex_iterator it(code.begin(), code.end(), number), end; it != end; ++it)
                    if (mv::ArcErrorText(std::stoi((*it)[2])))
                        found.push_back(rel + ":" + std::to_string(n) + ": " + (*it)[2].str());
            }
        }
    }
    return found;
}

// The named numbers of the table, read from its header.
std::map<std::string, int> NamedNumbers() {
    const std::string text = ReadText(SourceRoot() / "resources/ArcErrorNumbers.h");
    const std::regex constant(R"(constexpr int (\w+) = (\d+);)");
    std::map<std::string, int> named;
    for (std::sregex_iterator it(text.begin(), text.end(), constant), end; it != end; ++it)
        named[(*it)[1]] = std::stoi((*it)[2]);
    return named;
}

} // namespace

TEST(ErrorNumbers, EveryNamedNumberHasOneNameAndAText) {
    const auto named = NamedNumbers();
    ASSERT_GT(named.size(), 40u);
    std::set<int> seen;
    for (const auto& [name, number] : named) {
        SCOPED_TRACE(name);
        EXPECT_NE(mv::ArcErrorText(number), nullptr);
        EXPECT_TRUE(seen.insert(number).second) << "a second name for " << number;
    }
    EXPECT_EQ(mv::arcerr::HeaderError, 25108);
    EXPECT_EQ(mv::arcerr::NothingToDo, 26859);
}

// The codecs name the numbers through the table's header, the one file of the
// resources they may include.
TEST(ErrorNumbers, NoSourceWritesAnErrorNumberOutsideTheTable) {
    const auto stray =
        StrayNumbers(SourceRoot(),
                     {"archive/codecs", "archive/framework", "archive/formats", "archive/lister",
                      "archive/readers", "archive/writers", "archive/search", "zipwriter", "resources"},
                     {"resources/ArcErrorNumbers.h", "resources/ArcErrorTexts.cpp"});
    std::string list;
    for (const auto& s : stray) list += s + "\n";
    EXPECT_TRUE(stray.empty()) << list;
}

// The scan itself finds a number written outside the table.
TEST(ErrorNumbers, TheScanFindsAStrayNumber) {
    mvtest::TempDir dir;
    fs::create_directories(dir / "src");
    mvtest::WriteFileText(dir / "src/Probe.cpp", "void F() { DoError(\"\", \"\", \"0\", 25108); } // 25151\n"
                                                 "const char* t = \"25236\";\nint limit = 25000;\n");
    const auto stray = StrayNumbers(dir.Path(), {"src"}, {});
    ASSERT_EQ(stray.size(), 1u);
    EXPECT_EQ(stray[0], "src/Probe.cpp:1: 25108");
}
