#include "app/common/SfxPlaceholders.h"

#include "app/common/LangStr.h"
#include "app/common/StrUtils.h"
#include "resources/StringTable.h"

#include <algorithm>
#include <cctype>

namespace mv {

namespace {

// Position of the first occurrence of Tag in Text, ASCII letters compared
// without case (every placeholder is plain ASCII), or npos.
size_t FindNoCase(const std::string& text, const std::string& tag) {
    if (tag.empty() || tag.size() > text.size()) return std::string::npos;
    auto eq = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    auto it = std::search(text.begin(), text.end(), tag.begin(), tag.end(), eq);
    return it == text.end() ? std::string::npos : static_cast<size_t>(it - text.begin());
}

// Replaces every occurrence of Tag (letters compared without case) by Code.
void ReplaceEvery(std::string& text, const std::string& tag, const std::string& code) {
    size_t from = 0;
    for (;;) {
        const size_t at = FindNoCase(text.substr(from), tag);
        if (at == std::string::npos) return;
        text.replace(from + at, tag.size(), code);
        from += at + code.size();
    }
}

} // namespace

std::string PlaceholdersToSfxCodes(const std::string& text) {
    // Every occurrence is converted, and the tags of all three languages are taken: a
    // settings file saved in one language and built in another, or a tag typed twice,
    // must never reach the installer as a literal folder name. The programs folder gets
    // a code of its own ("%p"), which the installer resolves, instead of a Portuguese
    // folder name written relative to wherever it runs.
    static const std::pair<const char*, const char*> fixed[] = {
        {"<WindowsSystem>", "%s"}, {"<Windows>", "%w"}, {"<Temp>", "%t"}, {"<HD>", "%v"}};
    static const std::pair<int32_t, const char*> translated[] = {{500, "%d"}, {501, "%e"}, {502, "%e"},
                                                                 {503, "%p"}, {505, "%r"}, {506, "%n"},
                                                                 {507, "%f"}, {508, "%s"}, {509, "%c"}};
    std::string result = text;
    for (const auto& [tag, code] : fixed) ReplaceEvery(result, tag, code);
    for (const int32_t base : {lbPortuguese, lbEnglish, lbSpanish})
        for (const auto& [number, code] : translated) ReplaceEvery(result, LoadStr(base + number), code);
    return result;
}

std::string ReplaceExt(const std::string& name, const std::string& newExt) {
    const size_t slash = name.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = name.find_last_of('.');
    std::string result = name;
    if (dot != std::string::npos && dot >= nameStart) {
        // The extension is the trimmed text from the last "."; it goes from the
        // end of the name.
        const std::string ext = TrimText(name.substr(dot));
        if (!ext.empty() && result.size() >= ext.size() &&
            result.compare(result.size() - ext.size(), ext.size(), ext) == 0)
            result.erase(result.size() - ext.size());
        else
            result.erase(dot);
    }
    return result + newExt;
}

} // namespace mv
