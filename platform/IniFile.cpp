#include "platform/IniFile.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <charconv>
#include <optional>

namespace mv::platform {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The file as lines without their line ends.
struct IniText {
    std::vector<std::string> lines;
    bool crlf = false;
};

// A line as the rules read it.
struct IniLine {
    enum Kind { Other, Section, Key } kind = Other;
    std::string name;  // section or key name, trimmed
    std::string value; // key value, trimmed, quotes removed
};

IniLine Classify(const std::string& raw) {
    IniLine line;
    std::string t = Trim(raw);
    if (t.empty() || t[0] == ';') return line;
    if (t[0] == '[') {
        size_t close = t.find(']');
        line.kind = IniLine::Section;
        line.name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        return line;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos) return line;
    line.kind = IniLine::Key;
    line.name = Trim(t.substr(0, eq));
    std::string v = Trim(t.substr(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    line.value = v;
    return line;
}

IniText Load(const std::string& fileName) {
    IniText text;
    FileInfo info;
    if (!Fs().Stat(fileName, info) || !info.IsRegular) return text;
    std::string data;
    try {
        auto file = Fs().Open(fileName, OpenMode::Read);
        char buffer[16384];
        for (;;) {
            size_t n = file->Read(buffer, sizeof buffer);
            if (n == 0) break;
            data.append(buffer, n);
        }
    } catch (const FileError&) {
        // An unreadable file reads as an empty one, as the profile functions did.
        return text;
    }
    if (data.size() >= 3 && static_cast<unsigned char>(data[0]) == 0xEF &&
        static_cast<unsigned char>(data[1]) == 0xBB && static_cast<unsigned char>(data[2]) == 0xBF)
        data.erase(0, 3);
    size_t start = 0;
    bool first = true;
    while (start < data.size()) {
        size_t end = data.find('\n', start);
        std::string line = data.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            if (first) text.crlf = true;
        }
        first = false;
        text.lines.push_back(std::move(line));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return text;
}

void Save(const std::string& fileName, const IniText& text) {
    try {
        std::string dir = DirectoryOf(fileName);
        if (!dir.empty() && !IsDirectory(dir)) {
            // Make the missing folders on the way (the per-user configuration
            // folder does not exist before the first run).
            std::string path;
            size_t pos = 0;
            if (dir[0] == '/') path = "/", pos = 1;
            while (pos <= dir.size()) {
                size_t slash = dir.find('/', pos);
                std::string part = dir.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
                if (!part.empty()) {
                    path = (path.empty() || path == "/") ? path + part : path + "/" + part;
                    if (!IsDirectory(path)) Fs().CreateDirectory(path);
                }
                if (slash == std::string::npos) break;
                pos = slash + 1;
            }
        }
        std::string out;
        const char* eol = text.crlf ? "\r\n" : "\n";
        for (const auto& line : text.lines) {
            out += line;
            out += eol;
        }
        AtomicWriter writer(fileName);
        writer.Output().Write(out.data(), out.size());
        writer.Commit();
    } catch (const FileError&) {
        throw EIniFileException("Unable to write to " + fileName);
    }
}

// The lines [first, end) of the first section called name; first is the
// section line itself. nullopt when there is no such section.
std::optional<std::pair<size_t, size_t>> FindSection(const IniText& text, const std::string& name) {
    for (size_t i = 0; i < text.lines.size(); ++i) {
        IniLine l = Classify(text.lines[i]);
        if (l.kind != IniLine::Section || !SameIniName(l.name, name)) continue;
        size_t j = i + 1;
        while (j < text.lines.size() && Classify(text.lines[j]).kind != IniLine::Section) ++j;
        return std::make_pair(i, j);
    }
    return std::nullopt;
}

std::optional<size_t> FindKey(const IniText& text, std::pair<size_t, size_t> range, const std::string& key) {
    for (size_t i = range.first + 1; i < range.second; ++i) {
        IniLine l = Classify(text.lines[i]);
        if (l.kind == IniLine::Key && SameIniName(l.name, key)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> Lookup(const std::string& fileName, const std::string& section, const std::string& key) {
    IniText text = Load(fileName);
    auto range = FindSection(text, section);
    if (!range) return std::nullopt;
    auto at = FindKey(text, *range, key);
    if (!at) return std::nullopt;
    return Classify(text.lines[*at]).value;
}

std::optional<int64_t> ParseInteger(const std::string& s) {
    std::string t = Trim(s);
    bool negative = false;
    size_t pos = 0;
    if (pos < t.size() && (t[pos] == '-' || t[pos] == '+')) negative = t[pos++] == '-';
    int base = 10;
    if (t.size() > pos + 1 && t[pos] == '0' && (t[pos + 1] == 'x' || t[pos + 1] == 'X')) base = 16, pos += 2;
    if (pos >= t.size()) return std::nullopt;
    uint64_t v = 0;
    auto [end, ec] = std::from_chars(t.data() + pos, t.data() + t.size(), v, base);
    if (ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
    if (v > static_cast<uint64_t>(INT64_MAX) + (negative ? 1 : 0)) return std::nullopt;
    return negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
}

void CheckName(const std::string& what, const std::string& name, const std::string& fileName) {
    for (char c : name)
        if (c == '\n' || c == '\r')
            throw EIniFileException("Unable to write to " + fileName + ": a line break in the " + what);
}

} // namespace

bool SameIniName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

IniFile::IniFile(std::string fileName) : FFileName(std::move(fileName)) {}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
    auto v = Lookup(FFileName, section, key);
    return v ? *v : defaultValue;
}

int64_t IniFile::ReadInteger(const std::string& section, const std::string& key, int64_t defaultValue) const {
    auto v = Lookup(FFileName, section, key);
    if (!v) return defaultValue;
    auto n = ParseInteger(*v);
    return n ? *n : defaultValue;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    CheckName("section name", section, FFileName);
    CheckName("key name", key, FFileName);
    CheckName("value", value, FFileName);
    if (Trim(key).empty() || key.find('=') != std::string::npos || section.find(']') != std::string::npos)
        throw EIniFileException("Unable to write to " + FFileName + ": invalid name");
    IniText text = Load(FFileName);
    std::string line = key + "=" + value;
    auto range = FindSection(text, section);
    if (!range) {
        if (!text.lines.empty() && !Trim(text.lines.back()).empty()) text.lines.emplace_back();
        text.lines.push_back("[" + section + "]");
        text.lines.push_back(line);
    } else if (auto at = FindKey(text, *range, key)) {
        text.lines[*at] = line;
    } else {
        // After the section's last non-blank line, so a blank line before the
        // next section stays where it was.
        size_t insert = range->second;
        while (insert > range->first + 1 && Trim(text.lines[insert - 1]).empty()) --insert;
        text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(insert), line);
    }
    Save(FFileName, text);
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int64_t value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

bool IniFile::SectionExists(const std::string& section) const {
    return FindSection(Load(FFileName), section).has_value();
}

bool IniFile::ValueExists(const std::string& section, const std::string& key) const {
    return Lookup(FFileName, section, key).has_value();
}

std::vector<std::string> IniFile::ReadSection(const std::string& section) const {
    std::vector<std::string> names;
    IniText text = Load(FFileName);
    auto range = FindSection(text, section);
    if (!range) return names;
    for (size_t i = range->first + 1; i < range->second; ++i) {
        IniLine l = Classify(text.lines[i]);
        if (l.kind != IniLine::Key) continue;
        bool seen = false;
        for (const auto& n : names) seen = seen || SameIniName(n, l.name);
        if (!seen) names.push_back(l.name);
    }
    return names;
}

std::vector<std::string> IniFile::ReadSections() const {
    std::vector<std::string> names;
    for (const auto& raw : Load(FFileName).lines) {
        IniLine l = Classify(raw);
        if (l.kind != IniLine::Section) continue;
        bool seen = false;
        for (const auto& n : names) seen = seen || SameIniName(n, l.name);
        if (!seen) names.push_back(l.name);
    }
    return names;
}

std::vector<std::string> IniFile::ReadSectionValues(const std::string& section) const {
    std::vector<std::string> pairs;
    for (const auto& key : ReadSection(section)) pairs.push_back(key + "=" + ReadString(section, key, ""));
    return pairs;
}

void IniFile::AddSection(const std::string& section) {
    CheckName("section name", section, FFileName);
    if (section.find(']') != std::string::npos)
        throw EIniFileException("Unable to write to " + FFileName + ": invalid name");
    IniText text = Load(FFileName);
    if (FindSection(text, section)) return;
    if (!text.lines.empty() && !Trim(text.lines.back()).empty()) text.lines.emplace_back();
    text.lines.push_back("[" + section + "]");
    Save(FFileName, text);
}

void IniFile::EraseSection(const std::string& section) {
    IniText text = Load(FFileName);
    bool changed = false;
    while (auto range = FindSection(text, section)) {
        text.lines.erase(text.lines.begin() + static_cast<std::ptrdiff_t>(range->first),
                         text.lines.begin() + static_cast<std::ptrdiff_t>(range->second));
        changed = true;
    }
    if (changed) Save(FFileName, text);
}

void IniFile::DeleteKey(const std::string& section, const std::string& key) {
    IniText text = Load(FFileName);
    auto range = FindSection(text, section);
    if (!range) return;
    auto at = FindKey(text, *range, key);
    if (!at) return;
    text.lines.erase(text.lines.begin() + static_cast<std::ptrdiff_t>(*at));
    Save(FFileName, text);
}

} // namespace mv::platform
