// String tables: the three language bases, texts loaded by their own number, missing
// numbers, completeness of the tables, and every number the code uses.
#include "app/common/LangStr.h"
#include "resources/StringTable.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace mv {
namespace {

class LanguageBaseScope {
public:
    explicit LanguageBaseScope(int32_t base) : FSaved(LanguageBase()) { SetLanguageBase(base); }
    ~LanguageBaseScope() { SetLanguageBase(FSaved); }

private:
    int32_t FSaved;
};

TEST(LangStr, LoadsByNumberPlusTheLanguageBase) {
    const struct {
        int32_t base;
        const char* warning;
        const char* yes;
    } rows[] = {{lbPortuguese, "Atenção !", "&Sim"},
                {lbEnglish, "Warning !", "&Yes"},
                {lbSpanish, "¡ Atención !", "&Sí"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.base);
        LanguageBaseScope scope(row.base);
        EXPECT_EQ(LoadLangStr(289), row.warning);
        EXPECT_EQ(LoadLangStr(232), row.yes);
        EXPECT_EQ(LoadStr(row.base + 232), row.yes);
    }
}

TEST(LangStr, MissingNumbersGiveAnEmptyText) {
    LanguageBaseScope scope(lbPortuguese);
    EXPECT_EQ(LoadLangStr(0), "");
    EXPECT_EQ(LoadLangStr(9999), "");
    EXPECT_EQ(LoadLangStr(-10000), "");
    EXPECT_FALSE(HasStr(10000));
    EXPECT_EQ(LoadStr(99999999), "");
}

const TStringEntry RawTexts[] = {
    {26898, "raw error text"},
    {176, "raw zip writer text"},
    {10289, "must not replace a language text"},
};

TEST(LangStr, RegisteredTablesAreFoundByTheirOwnNumber) {
    RegisterRawStrings(RawTexts);
    RegisterRawStrings(RawTexts); // twice: no harm
    LanguageBaseScope scope(lbSpanish);
    // The archive components' errors are not moved by the language base.
    EXPECT_EQ(LoadLangStr(26898), "raw error text");
    EXPECT_EQ(LoadStr(26898), "raw error text");
    // The zip writer's texts share numbers with the forms' texts: the raw number
    // reaches the raw text, the language number the form's text.
    EXPECT_EQ(LoadStr(176), "raw zip writer text");
    EXPECT_EQ(LoadLangStr(176), "Iniciando la búsqueda....");
    EXPECT_EQ(LoadStr(10289), "Atenção !");
}

const char* LookupRaw(int number) {
    return number == 26897 ? "looked-up error text" : nullptr;
}

TEST(LangStr, RegisteredLookupsAreAskedLast) {
    RegisterRawStringLookup(&LookupRaw);
    RegisterRawStringLookup(&LookupRaw);
    RegisterRawStringLookup(nullptr);
    LanguageBaseScope scope(lbEnglish);
    EXPECT_EQ(LoadLangStr(26897), "looked-up error text");
    EXPECT_EQ(LoadStr(26896), "");
}

TEST(LangStr, LanguageBaseFollowsTheLocale) {
    EXPECT_EQ(LanguageBaseForLocale("pt_BR.UTF-8"), lbPortuguese);
    EXPECT_EQ(LanguageBaseForLocale("pt_PT"), lbPortuguese);
    EXPECT_EQ(LanguageBaseForLocale("es_AR.UTF-8"), lbSpanish);
    EXPECT_EQ(LanguageBaseForLocale("en_US.UTF-8"), lbEnglish);
    EXPECT_EQ(LanguageBaseForLocale("de_DE"), lbEnglish);
    EXPECT_EQ(LanguageBaseForLocale("C.UTF-8"), lbEnglish);
}

TEST(LangStr, EveryNumberHasATextInEachLanguage) {
    std::map<int32_t, int> languages;
    for (const auto& e : LanguageStrings()) {
        const int32_t number = e.Number % 10000;
        const int32_t base = e.Number - number;
        ASSERT_TRUE(base == lbPortuguese || base == lbEnglish || base == lbSpanish) << e.Number;
        EXPECT_FALSE(std::string(e.Text).empty()) << e.Number;
        // English numbers must stay clear of the archive components' raw range.
        EXPECT_FALSE(e.Number >= FirstUnshiftedNumber && e.Number <= LastUnshiftedNumber) << e.Number;
        ++languages[number];
    }
    EXPECT_GT(languages.size(), 250u);
    for (const auto& [number, count] : languages) EXPECT_EQ(count, 3) << number;
    for (size_t i = 1; i < LanguageStrings().size(); ++i)
        EXPECT_LT(LanguageStrings()[i - 1].Number, LanguageStrings()[i].Number);
}

TEST(LangStr, GeneratedTableMatchesItsSource) {
    if (!mvtest::RequireTool("python3")) return;
    const auto script = std::filesystem::path(MV_SOURCE_DIR) / "resources/strings/MakeStringTables.py";
    const auto result = mvtest::Run("python3 " + mvtest::Quote(script.string()) + " --check");
    EXPECT_EQ(result.exitCode, 0) << result.output;
}

// Every string number the desktop code asks for has its text in all three tables.
TEST(LangStr, EveryNumberTheCodeUsesHasTexts) {
    const std::regex loadCall(R"(LoadLangStr\((\d+)\))");
    const std::regex buttonRow(R"(\{"\w+", (\d+), mr)");
    std::set<int32_t> used{289, 290, 291, 292}; // the message kinds' captions, 289 + kind
    for (const char* folder : {"app", "controls"}) {
        const auto root = std::filesystem::path(MV_SOURCE_DIR) / folder;
        if (!std::filesystem::exists(root)) continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            const auto ext = entry.path().extension();
            if (ext != ".cpp" && ext != ".h") continue;
            std::ifstream in(entry.path());
            std::stringstream text;
            text << in.rdbuf();
            const std::string source = text.str();
            for (const auto* re : {&loadCall, &buttonRow})
                for (std::sregex_iterator it(source.begin(), source.end(), *re), end; it != end; ++it)
                    used.insert(std::stoi((*it)[1]));
        }
    }
    EXPECT_GE(used.size(), 13u);
    for (int32_t number : used) {
        if (number >= FirstUnshiftedNumber && number <= LastUnshiftedNumber) continue;
        for (int32_t base : {lbPortuguese, lbEnglish, lbSpanish})
            EXPECT_TRUE(HasStr(number + base)) << "number " << number << " base " << base;
    }
}

} // namespace
} // namespace mv
