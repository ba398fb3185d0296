#include "controls/shell/dialogs/DialogNames.h"

namespace mv {

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// Cuts what follows the last character above blank.
std::string CutAfterLastVisible(const std::string& text) {
    size_t end = text.size();
    while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    return text.substr(0, end);
}

} // namespace

std::vector<TMvFilterEntry> ParseFilter(const std::string& filter) {
    std::vector<TMvFilterEntry> entries;
    std::vector<std::string> fields;
    if (filter.empty()) return entries;
    size_t start = 0;
    while (true) {
        size_t bar = filter.find('|', start);
        fields.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    for (size_t i = 0; i < fields.size(); i += 2) {
        if (fields[i].empty() && i + 1 >= fields.size()) break; // a trailing "|"
        entries.push_back({fields[i], i + 1 < fields.size() ? fields[i + 1] : std::string()});
    }
    return entries;
}

std::string CombinePath(const std::string& dir, const std::string& name) {
    if (name.empty()) return std::string();
    // The folders below the root, walked like a stack.
    std::vector<std::string> parts;
    auto walk = [&parts](const std::string& path, bool dots) {
        size_t start = 0;
        while (start <= path.size()) {
            size_t slash = path.find('/', start);
            if (slash == std::string::npos) slash = path.size();
            std::string component = path.substr(start, slash - start);
            start = slash + 1;
            if (component.empty()) continue;
            if (dots && component.find_first_not_of('.') == std::string::npos) {
                for (size_t up = component.size() - 1; up > 0 && !parts.empty(); --up) parts.pop_back();
                continue;
            }
            parts.push_back(std::move(component));
        }
    };
    // The folder's own components are names as they stand; a folder without a path (the
    // Desktop, Computer) puts relative names under the root.
    if (name[0] != '/') walk(dir, false);
    walk(name, true);
    if (parts.empty()) return "/";
    std::string result;
    for (const std::string& p : parts) result += "/" + p;
    return result;
}

std::vector<std::string> SplitFileNames(const std::string& text) {
    std::vector<std::string> names;
    if (text.find('"') == std::string::npos) {
        std::string one = CutAfterLastVisible(text);
        if (!one.empty()) names.push_back(one);
        return names;
    }
    enum class State { between, plain, quoted } state = State::between;
    std::string current;
    auto finish = [&] {
        std::string name = CutAfterLastVisible(current);
        if (!name.empty()) names.push_back(name);
        current.clear();
    };
    for (char c : text) {
        switch (state) {
        case State::between:
            if (c == ' ' || c == '\t') break;
            if (c == '"') state = State::quoted;
            else {
                current += c;
                state = State::plain;
            }
            break;
        case State::plain:
            if (c == '"') {
                finish();
                state = State::quoted;
            } else current += c;
            break;
        case State::quoted:
            if (c == '"') {
                finish();
                state = State::between;
            } else current += c;
            break;
        }
    }
    finish();
    return names;
}

bool IsValidFileNameText(const std::string& text) {
    if (text.find('\0') != std::string::npos) return false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t slash = text.find('/', start);
        if (slash == std::string::npos) slash = text.size();
        if (slash - start > 255) return false;
        start = slash + 1;
    }
    return true;
}

std::string NamePart(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderPart(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool HasWildcard(const std::string& path) { return NamePart(path).find_first_of("*?") != std::string::npos; }

std::string ExtensionOf(const std::string& path) {
    std::string name = NamePart(path);
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return std::string();
    return name.substr(dot + 1);
}

std::string ApplyDefaultExt(const std::string& full, const std::string& defaultExt,
                            const TMvRegisteredExt& registered, bool& extensionDifferent) {
    if (defaultExt.empty()) return full;
    std::string ext = ExtensionOf(full);
    if (ext.empty()) {
        extensionDifferent = false;
        return full + (!full.empty() && full.back() == '.' ? "" : ".") + defaultExt;
    }
    if (registered && registered(ext)) {
        extensionDifferent = true;
        return full;
    }
    extensionDifferent = false;
    if (EqualNoCase(ext, defaultExt)) return full;
    return full + "." + defaultExt;
}

TMvFileCheck CheckFileCase(TMvOpenOptions options, bool exists, bool readOnly, bool folderExists) {
    if (exists) {
        if (readOnly && (options & ptofNoReadOnlyReturn)) return TMvFileCheck::fcReadOnly;
        if (options & ptofOverwritePrompt) return TMvFileCheck::fcOverwrite;
        return TMvFileCheck::fcPass;
    }
    if (!folderExists && (options & ptofPathMustExist)) return TMvFileCheck::fcPathMissing;
    if (options & ptofFileMustExist) return TMvFileCheck::fcFileMissing;
    if (options & ptofCreatePrompt) return TMvFileCheck::fcCreate;
    return TMvFileCheck::fcPass;
}

} // namespace mv
