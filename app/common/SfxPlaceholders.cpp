#include "app/common/SfxPlaceholders.h"

#include "app/common/LangStr.h"
#include "app/common/StrUtils.h"

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

void ReplaceFirst(std::string& text, const std::string& tag, const std::string& code) {
    size_t at = FindNoCase(text, tag);
    if (at != std::string::npos) text.replace(at, tag.size(), code);
}

} // namespace

std::string PlaceholdersToSfxCodes(const std::string& text) {
    // The order matters: a replacement may complete a later tag, exactly as the
    // self-extractor's settings have always been converted.
    const std::pair<std::string, std::string> rows[] = {
        {"<Windows>", "%w"},
        {"<WindowsSystem>", "%s"},
        {LoadLangStr(500), "%d"},
        {"<Temp>", "%t"},
        {LoadLangStr(501), "%e"},
        {LoadLangStr(502), "%e"},
        {LoadLangStr(503), LoadLangStr(504)},
        {"<HD>", "%v"},
        {LoadLangStr(505), "%r"},
        {LoadLangStr(506), "%n"},
        {LoadLangStr(507), "%f"},
        {LoadLangStr(508), "%s"},
        {LoadLangStr(509), "%c"},
    };
    std::string result = text;
    for (const auto& [tag, code] : rows) ReplaceFirst(result, tag, code);
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
