// Placeholder conversion for the self-extractor and extension replacement.
#include "app/common/SfxPlaceholders.h"
#include "app/common/LangStr.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

struct LanguageScope {
    int32_t saved = LanguageBase();
    explicit LanguageScope(int32_t base) { SetLanguageBase(base); }
    ~LanguageScope() { SetLanguageBase(saved); }
};

TEST(SfxPlaceholders, Conversion) {
    LanguageScope pt(lbPortuguese);
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"<Destino>\\App", "%d\\App"},
        {"<temp>\\a;<TEMP>\\b", "%t\\a;%t\\b"},             // every occurrence, any case
        {"<WindowsSystem>", "%s"},                          // not taken by the "<Windows>" row
        {"<Windows>\\x", "%w\\x"},
        {"<ArquivosdeProgramas>\\Morvelan", "%p\\Morvelan"},    // the installer's programs folder
        {"<Erro>", "%e"},
        {"<PastaSFX>", "%e"},
        {"<HD><Aleatoria><Disco><Arquivo><Compartilhamento><Computador>", "%v%r%n%f%s%c"},
        {"no tags at all", "no tags at all"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(PlaceholdersToSfxCodes(c.in), c.out) << c.in;
}

TEST(SfxPlaceholders, TagsOfEveryLanguageWhateverTheCurrentOne) {
    for (int32_t base : {lbPortuguese, lbEnglish, lbSpanish}) {
        LanguageScope scope(base);
        EXPECT_EQ(PlaceholdersToSfxCodes("<Destination>/<ProgramFiles>"), "%d/%p");
        EXPECT_EQ(PlaceholdersToSfxCodes("<Destino>"), "%d");
        EXPECT_EQ(PlaceholdersToSfxCodes("<CarpetaSFX>|<Equipo>"), "%e|%c");
    }
}

TEST(SfxPlaceholders, ReplaceExt) {
    struct Case { const char* name; const char* ext; const char* out; };
    const Case cases[] = {
        {"backup.zip", ".exe", "backup.exe"},
        {"backup", ".exe", "backup.exe"},
        {"/home/u/a.zip/backup", ".run", "/home/u/a.zip/backup.run"}, // a dot in a folder is no extension
        {"/data.zip/set.zip", ".run", "/data.zip/set.run"},
        {"archive.tar.gz", "", "archive.tar"},
        {"name.", ".zip", "name.zip"},
    };
    for (const auto& c : cases) EXPECT_EQ(ReplaceExt(c.name, c.ext), c.out) << c.name;
}

} // namespace
} // namespace mv
