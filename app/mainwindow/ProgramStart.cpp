#include "app/mainwindow/ProgramStart.h"

#include "app/common/LangStr.h"
#include "app/common/StrUtils.h"

#include <cctype>
#include <cstdlib>

namespace mv {

namespace {

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The number of arguments after each verb.
int VerbArgumentCount(const std::string& verb) {
    if (verb == "/INST" || verb == "/DEINST") return 0;
    if (verb == "/S" || verb == "/W" || verb == "ES" || verb == "AS" || verb == "SFX") return 1;
    if (verb == "E" || verb == "A" || verb == "ASQ") return 2;
    return -1;
}

} // namespace

TStartDecision DecideStart(const std::vector<std::string>& args, const std::string& associacao,
                           const std::function<bool(const std::string&)>& fileExists) {
    TStartDecision d;
    if (args.empty()) {
        d.CheckAssociations = Upper(associacao) != "NAO";
        return d;
    }
    const std::string verb = Upper(args[0]);
    const int wanted = VerbArgumentCount(verb);
    // "/INST" and "/DEINST" stand alone; any other single argument is an archive.
    const bool isVerb = args.size() <= 50 &&
                        ((args.size() == 1 && wanted == 0) ||
                         (args.size() >= 2 && wanted >= 1 && static_cast<int>(args.size()) - 1 >= wanted) ||
                         (args.size() >= 2 && wanted == 0));
    if (isVerb) {
        d.Kind = TStartKind::Verb;
        d.Hidden = true;
        d.PlayStartSound = false;
        d.Verb = verb;
        d.Arguments.assign(args.begin() + 1, args.end());
        d.SoundsAllowed = verb == "/INST" || verb == "/DEINST" || verb == "/S" || verb == "/W";
        return d;
    }
    if (args.size() == 1 || (fileExists && fileExists(args[0]))) {
        d.Kind = TStartKind::OpenArchive;
        d.Archive = args[0];
    }
    return d;
}

int32_t StartLanguageBase(const std::function<const char*(const char*)>& getenv) {
    if (const char* forced = getenv("MORVELAN_LANG"); forced && *forced) {
        const std::string v = TrimText(forced);
        if (v == "10000") return lbPortuguese;
        if (v == "20000") return lbEnglish;
        if (v == "50000") return lbSpanish;
        return LanguageBaseForLocale(v);
    }
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(name);
        if (!value || !*value) continue;
        std::string first = value;
        if (const size_t colon = first.find(':'); colon != std::string::npos) first.resize(colon);
        if (!first.empty()) return LanguageBaseForLocale(first);
    }
    return lbEnglish;
}

std::array<std::string, ArcTypeCount> ArchiveTypeNames() {
    std::array<std::string, ArcTypeCount> names = {
        "",           "",           "",           "",           "ACE       ", "ARC       ",
        "ARC SFX   ", "ARJ       ", "ARJ SFX   ", "BH        ", "BH  SFX   ", "CAB       ",
        "GZip      ", "HA        ", "Java JAR  ", "LHA       ", "LHA SFX   ", "LZH       ",
        "LZH SFX   ", "MsGZ      ", "PAK       ", "PAK SFX   ", "RAR       ", "RAR SFX   ",
        "TAR       ", "UUE       ", "ZIP       ", "ZIP SFX   ", "ZIP MVol  ", "ZOO       "};
    for (int i = 0; i < 4; ++i) names[static_cast<size_t>(i)] = LoadLangStr(419 + i);
    return names;
}

} // namespace mv
