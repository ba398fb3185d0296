// Names in BH archives: the format has no mark for UTF-8, so a name is stored
// in OEM bytes where that form exists and cannot be taken for UTF-8, and in
// UTF-8 otherwise; our writer, reader and lister give every name back exactly.
#include "archive/writers/BhWriter.h"
#include "platform/CodePage.h"
#include "tests/archive/lister/ListerTestSupport.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace mv;
namespace fs = std::filesystem;

namespace {

struct NameCase {
    std::string name;   // UTF-8
    bool storedAsUtf8;  // the bytes in the archive are the UTF-8 ones
};

const std::vector<NameCase>& Cases() {
    static const std::vector<NameCase> cases = {
        {"plain.txt", false},         // ASCII: the same either way
        {"caf\xC3\xA9.txt", false},   // "café": OEM 0x82, which is no UTF-8
        {"a\xC3\xA7\xC3\xA3o.txt", true}, // "ação": CP437 has no "ã"
        {"\xE6\x97\xA5\xE6\x9C\xAC.txt", true}, // Japanese: no OEM form
        // "├º": its OEM bytes C3 A7 would read back as "ç", so UTF-8 it is.
        {"\xE2\x94\x9C\xC2\xBA.txt", true},
    };
    return cases;
}

// Where bytes occur in a file.
bool Holds(const std::vector<uint8_t>& data, const std::string& text) {
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    return std::search(data.begin(), data.end(), bytes.begin(), bytes.end()) != data.end();
}

} // namespace

TEST(BhNames, EveryNameReadsBackAsWritten) {
    mvtest::TempDir t;
    std::set<std::string> expected;
    for (const auto& c : Cases()) {
        mvtest::WriteFileBytes(t / "src" / c.name, mvtest::TextBytes(100 + c.name.size(), 3));
        expected.insert(c.name);
    }
    TBlakHole bh;
    bh.SetArchiveFile((t / "n.bh").string());
    bh.FileSpecList().push_back((t / "src" / "*").string());
    std::vector<int> errors;
    bh.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        errors.push_back(code);
    };
    bh.Compress();
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(bh.CompressedCount(), int(Cases().size()));

    const auto bytes = mvtest::ReadFileBytes(t / "n.bh");
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.name);
        std::string oem;
        const bool hasOem = platform::Utf8ToOem(c.name, oem);
        EXPECT_EQ(Holds(bytes, c.name), c.storedAsUtf8 || oem == c.name);
        if (hasOem && !c.storedAsUtf8) {
            EXPECT_TRUE(Holds(bytes, oem));
        }
    }

    auto listed = mvtest::ListArchive((t / "n.bh").string());
    EXPECT_TRUE(listed.errors.empty());
    std::set<std::string> names;
    for (const auto& e : listed.entries) names.insert(e.name);
    EXPECT_EQ(names, expected);

    readertest::Outcome o = readertest::ExtractAll(t / "n.bh", t / "out");
    EXPECT_TRUE(o.errors.empty());
    std::set<std::string> extracted;
    for (const auto& [name, data] : readertest::Tree(t / "out")) extracted.insert(name);
    EXPECT_EQ(extracted, expected);

    // Updating the archive keeps the old entries under the same names.
    mvtest::WriteFileBytes(t / "src2" / "more.txt", mvtest::TextBytes(50, 4));
    TBlakHole again;
    again.SetArchiveFile((t / "n.bh").string());
    again.FileSpecList().push_back((t / "src2" / "*").string());
    again.Compress();
    EXPECT_EQ(again.LastError(), 0);
    expected.insert("more.txt");
    names.clear();
    for (const auto& e : mvtest::ListArchive((t / "n.bh").string()).entries) names.insert(e.name);
    EXPECT_EQ(names, expected);
}
