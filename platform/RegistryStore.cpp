#include "platform/RegistryStore.h"

#include <charconv>
#include <cstdlib>

namespace mv::platform {

namespace {

// "a\\b\c\" -> "a\b\c": empty components dropped.
std::string NormalisePath(const std::string& path) {
    std::string out;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t sep = path.find('\\', pos);
        std::string part = path.substr(pos, sep == std::string::npos ? std::string::npos : sep - pos);
        if (!part.empty()) {
            if (!out.empty()) out += '\\';
            out += part;
        }
        if (sep == std::string::npos) break;
        pos = sep + 1;
    }
    return out;
}

const char* RootName(TRootKey root) {
    switch (root) {
    case TRootKey::HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
    case TRootKey::HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
    case TRootKey::HKEY_CURRENT_USER: break;
    }
    return "HKEY_CURRENT_USER";
}

bool StartsWithName(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && SameIniName(text.substr(0, prefix.size()), prefix);
}

std::string StoredName(const std::string& name) {
    return name.empty() ? "@" : name;
}

struct Typed {
    TRegDataType type = TRegDataType::rdUnknown;
    std::string data;
};

Typed Split(const std::string& raw) {
    if (raw.rfind("sz:", 0) == 0) return {TRegDataType::rdString, raw.substr(3)};
    if (raw.rfind("dword:", 0) == 0) return {TRegDataType::rdInteger, raw.substr(6)};
    if (raw.rfind("hex:", 0) == 0) return {TRegDataType::rdBinary, raw.substr(4)};
    // A value edited by hand without a type reads as text.
    return {TRegDataType::rdString, raw};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

RegistryStore::RegistryStore() : RegistryStore(DefaultFileName()) {}

RegistryStore::RegistryStore(std::string fileName) : FIni(std::move(fileName)) {}

std::string RegistryStore::DefaultFileName() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/.config";
    }
    return base + "/morvelan/registry.ini";
}

void RegistryStore::SetRootKey(TRootKey root) {
    FRootKey = root;
    CloseKey();
}

std::string RegistryStore::Resolve(const std::string& key) const {
    if (!key.empty() && key[0] == '\\') return NormalisePath(key);
    if (FOpen && !FCurrentPath.empty()) return NormalisePath(FCurrentPath + "\\" + key);
    return NormalisePath(key);
}

std::string RegistryStore::SectionOf(const std::string& path) const {
    if (FRootKey == TRootKey::HKEY_CURRENT_USER)
        return path.empty() ? std::string(RootName(FRootKey)) : path;
    return path.empty() ? std::string(RootName(FRootKey)) : std::string(RootName(FRootKey)) + "\\" + path;
}

std::string RegistryStore::CurrentSection() const {
    return SectionOf(FCurrentPath);
}

void RegistryStore::RequireOpen() const {
    if (!FOpen) throw ERegistryException("No registry key is open");
}

bool RegistryStore::KeyExists(const std::string& key) const {
    std::string section = SectionOf(Resolve(key));
    for (const auto& s : FIni.ReadSections())
        if (SameIniName(s, section) || StartsWithName(s, section + "\\")) return true;
    return false;
}

bool RegistryStore::OpenKey(const std::string& key, bool canCreate) {
    std::string path = Resolve(key);
    if (!KeyExists("\\" + path)) {
        if (!canCreate) return false;
        FIni.AddSection(SectionOf(path));
    }
    FCurrentPath = path;
    FOpen = true;
    return true;
}

bool RegistryStore::OpenKeyReadOnly(const std::string& key) {
    return OpenKey(key, false);
}

void RegistryStore::CloseKey() {
    FCurrentPath.clear();
    FOpen = false;
}

bool RegistryStore::DeleteKey(const std::string& key) {
    std::string section = SectionOf(Resolve(key));
    bool found = false;
    for (const auto& s : FIni.ReadSections()) {
        if (SameIniName(s, section) || StartsWithName(s, section + "\\")) {
            FIni.EraseSection(s);
            found = true;
        }
    }
    return found;
}

std::vector<std::string> RegistryStore::GetKeyNames() const {
    RequireOpen();
    std::string prefix = CurrentSection() + "\\";
    std::vector<std::string> names;
    for (const auto& s : FIni.ReadSections()) {
        if (!StartsWithName(s, prefix)) continue;
        std::string rest = s.substr(prefix.size());
        std::string child = rest.substr(0, rest.find('\\'));
        if (child.empty()) continue;
        bool seen = false;
        for (const auto& n : names) seen = seen || SameIniName(n, child);
        if (!seen) names.push_back(child);
    }
    return names;
}

std::vector<std::string> RegistryStore::GetValueNames() const {
    RequireOpen();
    std::vector<std::string> names = FIni.ReadSection(CurrentSection());
    for (auto& n : names)
        if (n == "@") n.clear();
    return names;
}

bool RegistryStore::ValueExists(const std::string& name) const {
    RequireOpen();
    return FIni.ValueExists(CurrentSection(), StoredName(name));
}

TRegDataType RegistryStore::GetDataType(const std::string& name) const {
    if (!ValueExists(name)) return TRegDataType::rdUnknown;
    return Split(FIni.ReadString(CurrentSection(), StoredName(name), "")).type;
}

bool RegistryStore::DeleteValue(const std::string& name) {
    if (!ValueExists(name)) return false;
    FIni.DeleteKey(CurrentSection(), StoredName(name));
    return true;
}

std::string RegistryStore::ReadString(const std::string& name) const {
    if (!ValueExists(name)) return "";
    Typed v = Split(FIni.ReadString(CurrentSection(), StoredName(name), ""));
    if (v.type != TRegDataType::rdString) throw ERegistryException("Invalid data type for '" + name + "'");
    return v.data;
}

int32_t RegistryStore::ReadInteger(const std::string& name) const {
    if (!ValueExists(name)) throw ERegistryException("Failed to get data for '" + name + "'");
    Typed v = Split(FIni.ReadString(CurrentSection(), StoredName(name), ""));
    if (v.type != TRegDataType::rdInteger) throw ERegistryException("Invalid data type for '" + name + "'");
    int64_t n = 0;
    auto [end, ec] = std::from_chars(v.data.data(), v.data.data() + v.data.size(), n);
    if (ec != std::errc() || end != v.data.data() + v.data.size() || n < INT32_MIN || n > UINT32_MAX)
        throw ERegistryException("Failed to get data for '" + name + "'");
    return static_cast<int32_t>(n);
}

std::vector<uint8_t> RegistryStore::ReadBinaryData(const std::string& name) const {
    if (!ValueExists(name)) throw ERegistryException("Failed to get data for '" + name + "'");
    Typed v = Split(FIni.ReadString(CurrentSection(), StoredName(name), ""));
    if (v.type != TRegDataType::rdBinary) throw ERegistryException("Invalid data type for '" + name + "'");
    std::vector<uint8_t> bytes;
    size_t i = 0;
    while (i < v.data.size()) {
        if (v.data[i] == ',' || v.data[i] == ' ') {
            ++i;
            continue;
        }
        int hi = HexDigit(v.data[i]);
        int lo = i + 1 < v.data.size() ? HexDigit(v.data[i + 1]) : -1;
        if (hi < 0 || lo < 0) throw ERegistryException("Failed to get data for '" + name + "'");
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
        i += 2;
    }
    return bytes;
}

// Values are written inside one pair of quotes, which the ini rules remove on
// reading, so blanks at either end of a text survive.
void RegistryStore::WriteString(const std::string& name, const std::string& value) {
    RequireOpen();
    FIni.WriteString(CurrentSection(), StoredName(name), "\"sz:" + value + "\"");
}

void RegistryStore::WriteInteger(const std::string& name, int32_t value) {
    RequireOpen();
    FIni.WriteString(CurrentSection(), StoredName(name), "\"dword:" + std::to_string(value) + "\"");
}

void RegistryStore::WriteBinaryData(const std::string& name, const std::vector<uint8_t>& data) {
    RequireOpen();
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < data.size(); ++i) {
        if (i) text += ',';
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    FIni.WriteString(CurrentSection(), StoredName(name), "\"hex:" + text + "\"");
}

} // namespace mv::platform
