// What the command line asks of the start, the association check, the
// language of the run and the archive types' display names.
#include "app/mainwindow/ProgramStart.h"

#include "app/common/LangStr.h"

#include <gtest/gtest.h>

#include <map>

namespace mv {
namespace {

TEST(ProgramStart, CommandLineDecisions) {
    auto exists = [](const std::string& p) { return p == "/a/b.zip"; };
    struct Case {
        std::vector<std::string> args;
        std::string associacao;
        TStartKind kind;
        bool hidden, sound, check;
        std::string archive, verb;
    } cases[] = {
        {{}, "", TStartKind::Normal, false, true, true, "", ""},
        {{}, "SIM", TStartKind::Normal, false, true, true, "", ""},
        {{}, "x", TStartKind::Normal, false, true, true, "", ""},
        {{}, "nao", TStartKind::Normal, false, true, false, "", ""},
        {{}, "Nao", TStartKind::Normal, false, true, false, "", ""},
        {{"/a/b.zip"}, "", TStartKind::OpenArchive, false, true, false, "/a/b.zip", ""},
        {{"/INST"}, "", TStartKind::Verb, true, false, false, "", "/INST"},
        {{"e", "/a/b.zip", "/t"}, "", TStartKind::Verb, true, false, false, "", "E"},
        {{"/w", "daily"}, "", TStartKind::Verb, true, false, false, "", "/W"},
        {{"ASQ", "/l.tmp", "/f/x"}, "", TStartKind::Verb, true, false, false, "", "ASQ"},
        // Unknown verbs, missing arguments and too many: a visible start, never a hidden process.
        {{"/a/b.zip", "/c/d.zip"}, "", TStartKind::OpenArchive, false, true, false, "/a/b.zip", ""},
        {{"BOGUS", "x"}, "", TStartKind::Normal, false, true, false, "", ""},
        {{"E", "/a/b.zip"}, "", TStartKind::Normal, false, true, false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args[0]);
        const TStartDecision d = DecideStart(c.args, c.associacao, exists);
        EXPECT_EQ(d.Kind, c.kind);
        EXPECT_EQ(d.Hidden, c.hidden);
        EXPECT_EQ(d.PlayStartSound, c.sound);
        EXPECT_EQ(d.CheckAssociations, c.check);
        EXPECT_EQ(d.Archive, c.archive);
        EXPECT_EQ(d.Verb, c.verb);
    }
    std::vector<std::string> many(51, "E");
    EXPECT_EQ(DecideStart(many, "", exists).Kind, TStartKind::Normal);
    EXPECT_FALSE(DecideStart({"E", "/a", "/b"}, "", exists).SoundsAllowed);
    EXPECT_TRUE(DecideStart({"/S", "x"}, "", exists).SoundsAllowed);
    EXPECT_EQ(DecideStart({"ES", "/a/b.zip"}, "", exists).Arguments, std::vector<std::string>{"/a/b.zip"});
}

TEST(ProgramStart, LanguageOfTheRun) {
    struct Case {
        std::map<std::string, std::string> env;
        int32_t base;
    } cases[] = {
        {{}, lbEnglish},
        {{{"LANG", "pt_BR.UTF-8"}}, lbPortuguese},
        {{{"LANG", "es_ES.UTF-8"}}, lbSpanish},
        {{{"LANG", "de_DE.UTF-8"}}, lbEnglish},
        {{{"LANG", "C"}}, lbEnglish},
        {{{"LANGUAGE", "es:pt"}, {"LANG", "pt_BR"}}, lbSpanish},
        {{{"LC_ALL", "pt_PT"}, {"LANG", "en_US"}}, lbPortuguese},
        {{{"MORVELAN_LANG", "50000"}, {"LANG", "pt_BR"}}, lbSpanish},
        {{{"MORVELAN_LANG", "pt"}}, lbPortuguese},
    };
    for (const Case& c : cases) {
        auto getenv = [&](const char* name) -> const char* {
            auto it = c.env.find(name);
            return it == c.env.end() ? nullptr : it->second.c_str();
        };
        EXPECT_EQ(StartLanguageBase(getenv), c.base);
    }
}

TEST(ProgramStart, ArchiveTypeNames) {
    const int32_t old = LanguageBase();
    for (int32_t base : {lbPortuguese, lbEnglish, lbSpanish}) {
        SetLanguageBase(base);
        const auto names = ArchiveTypeNames();
        for (int i = 0; i < 4; ++i) EXPECT_EQ(names[static_cast<size_t>(i)], LoadLangStr(419 + i));
        for (int i = 4; i < ArcTypeCount; ++i) EXPECT_EQ(names[static_cast<size_t>(i)].size(), 10u) << i;
        EXPECT_EQ(names[static_cast<int>(TArcType::atBhExe)], "BH  SFX   ");
        EXPECT_EQ(names[static_cast<int>(TArcType::atZipMV)], "ZIP MVol  ");
    }
    SetLanguageBase(lbPortuguese);
    EXPECT_EQ(ArchiveTypeNames()[0], "Não disponível");
    SetLanguageBase(old);
}

} // namespace
} // namespace mv
