#include "controls/toolkit/placement/PlacementModel.h"

#include "controls/toolkit/files/SmallUtils.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace mv {
namespace {

bool ParseInt(const std::string& text, int& out) {
    size_t start = 0, end = text.size();
    while (start < end && (text[start] == ' ' || text[start] == '\t')) ++start;
    while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    if (start == end) return false;
    const char* first = text.data() + start;
    if (*first == '+') ++first;
    const auto [ptr, ec] = std::from_chars(first, text.data() + end, out);
    return ec == std::errc() && ptr == text.data() + end;
}

// Four comma-separated integers; a missing or bad one keeps its default.
void ReadFour(const std::string& text, int values[4]) {
    for (int i = 0; i < 4; ++i) {
        int v;
        if (ParseInt(WordAt(i + 1, text, ","), v)) values[i] = v;
    }
}

std::string Four(int a, int b, int c, int d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d,%d,%d,%d", a, b, c, d);
    return buffer;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithoutExtension(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

} // namespace

// ---- Storage ----

int TPlacementStorage::ReadInteger(const std::string& section, const std::string& key,
                                   int defaultValue) const {
    int v;
    return ParseInt(ReadString(section, key, ""), v) ? v : defaultValue;
}

void TPlacementStorage::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

bool TPlacementStorage::ReadBool(const std::string& section, const std::string& key,
                                 bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TPlacementStorage::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteInteger(section, key, value ? 1 : 0);
}

std::string TIniPlacementStorage::ReadString(const std::string& section, const std::string& key,
                                             const std::string& defaultValue) const {
    return FIni.ReadString(section, key, defaultValue);
}

void TIniPlacementStorage::WriteString(const std::string& section, const std::string& key,
                                       const std::string& value) {
    const bool quoted = value.size() >= 2 && ((value.front() == '"' && value.back() == '"') ||
                                              (value.front() == '\'' && value.back() == '\''));
    FIni.WriteString(section, key, quoted ? "\"" + value + "\"" : value);
}

void TIniPlacementStorage::EraseSection(const std::string& section) {
    FIni.EraseSection(section);
}

TRegistryPlacementStorage::TRegistryPlacementStorage(const std::string& baseKey,
                                                     const std::string& storeFileName)
    : FStore(storeFileName.empty() ? std::make_unique<platform::RegistryStore>()
                                   : std::make_unique<platform::RegistryStore>(storeFileName)),
      FBaseKey(baseKey) {}

std::string TRegistryPlacementStorage::KeyOf(const std::string& section) const {
    std::string key = "\\" + FBaseKey;
    if (!section.empty()) key += "\\" + section;
    return key;
}

std::string TRegistryPlacementStorage::ReadString(const std::string& section, const std::string& key,
                                                  const std::string& defaultValue) const {
    if (!FStore->OpenKeyReadOnly(KeyOf(section))) return defaultValue;
    if (!FStore->ValueExists(key)) return defaultValue;
    try {
        if (FStore->GetDataType(key) == platform::TRegDataType::rdInteger)
            return std::to_string(FStore->ReadInteger(key));
        return FStore->ReadString(key);
    } catch (const platform::ERegistryException&) {
        return defaultValue;
    }
}

void TRegistryPlacementStorage::WriteString(const std::string& section, const std::string& key,
                                            const std::string& value) {
    if (FStore->OpenKey(KeyOf(section), true)) FStore->WriteString(key, value);
}

void TRegistryPlacementStorage::EraseSection(const std::string& section) {
    FStore->DeleteKey(KeyOf(section));
}

// ---- Keys and values ----

std::string ScreenSizeSuffix(int screenWidth, int screenHeight) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "(%dx%d)", screenWidth, screenHeight);
    return buffer;
}

void WritePlacementRecord(TPlacementStorage& storage, const std::string& section,
                          const TPlacementRecord& record, int screenWidth, int screenHeight) {
    const std::string suffix = ScreenSizeSuffix(screenWidth, screenHeight);
    storage.WriteInteger(section, "Flags", record.Flags);
    storage.WriteInteger(section, "ShowCmd", record.ShowCmd);
    storage.WriteInteger(section, "PixelsPerInch", record.PixelsPerInch);
    const std::string minMax =
        Four(record.MinPosition.X, record.MinPosition.Y, record.MaxPosition.X, record.MaxPosition.Y);
    const std::string normal =
        Four(record.Normal.Left, record.Normal.Top, record.Normal.Right, record.Normal.Bottom);
    storage.WriteString(section, "MinMaxPos" + suffix, minMax);
    storage.WriteString(section, "MinMaxPos", minMax);
    storage.WriteString(section, "NormPos" + suffix, normal);
    storage.WriteString(section, "NormPos", normal);
}

TPlacementReading ReadPlacementRecord(const TPlacementStorage& storage, const std::string& section,
                                      const TPlacementRecord& current, int screenWidth, int screenHeight,
                                      int screenPixelsPerInch) {
    TPlacementReading reading;
    reading.Record = current;
    const std::string suffix = ScreenSizeSuffix(screenWidth, screenHeight);
    auto value = [&](const std::string& key) {
        std::string text = storage.ReadString(section, key + suffix, "");
        if (text.empty()) text = storage.ReadString(section, key, "");
        return text;
    };
    reading.Record.Flags = storage.ReadInteger(section, "Flags", current.Flags);
    const std::string minMax = value("MinMaxPos");
    if (!minMax.empty()) {
        int v[4] = {0, 0, 0, 0};
        ReadFour(minMax, v);
        reading.Record.MinPosition = {v[0], v[1]};
        reading.Record.MaxPosition = {v[2], v[3]};
        reading.HasData = true;
    }
    const std::string normal = value("NormPos");
    if (!normal.empty()) {
        int v[4] = {current.Normal.Left, current.Normal.Top, current.Normal.Right, current.Normal.Bottom};
        ReadFour(normal, v);
        reading.Record.Normal = TRect{v[0], v[1], v[2], v[3]};
        reading.HasData = true;
    }
    reading.Record.PixelsPerInch = storage.ReadInteger(section, "PixelsPerInch", screenPixelsPerInch);
    if (reading.Record.PixelsPerInch != screenPixelsPerInch) reading.HasData = false;
    reading.Record.ShowCmd = storage.ReadInteger(section, "ShowCmd", 0);
    return reading;
}

TShownState ShownStateOfShowCmd(int showCmd, TShownState defaultState) {
    switch (showCmd) {
    case 1:
    case 5:
    case 9:
        return TShownState::ssNormal;
    case 2:
    case 6:
    case 7:
        return TShownState::ssMinimized;
    case 3:
        return TShownState::ssMaximized;
    default:
        return defaultState;
    }
}

bool RectOnAnyScreen(const TRect& rect, const std::vector<TRect>& workAreas) {
    for (const TRect& area : workAreas) {
        const int left = std::max(rect.Left, area.Left), right = std::min(rect.Right, area.Right);
        const int top = std::max(rect.Top, area.Top), bottom = std::min(rect.Bottom, area.Bottom);
        if (left < right && top < bottom) return true;
    }
    return false;
}

std::string DefaultIniFileName(const std::string& executablePath) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && *config == '/')
        folder = config;
    else {
        const char* home = std::getenv("HOME");
        folder = std::string(home && *home == '/' ? home : "/tmp") + "/.config";
    }
    std::string name = WithoutExtension(BaseName(executablePath));
    if (name.empty()) name = "morvelan";
    return folder + "/morvelan/" + name + ".INI";
}

std::string DefaultRegistryKey(const std::string& title, bool useTitle, const std::string& executablePath,
                               const std::string& companyPrefix) {
    const std::string name = useTitle && !title.empty() ? title : WithoutExtension(BaseName(executablePath));
    return "Software\\" + (companyPrefix.empty() ? std::string() : companyPrefix + "\\") + name;
}

std::string DefaultSection(const TSectionSubject& s) {
    switch (s.Kind) {
    case TSectionSubject::skForm:
        return s.ClassName;
    case TSectionSubject::skControl:
        if (!s.ParentFormClassName.empty()) return s.ParentFormClassName + s.Name;
        if (!s.ParentName.empty()) return s.ParentName + s.Name;
        return s.Name;
    case TSectionSubject::skOther:
        if (!s.OwnerFormClassName.empty()) return s.OwnerFormClassName + "." + s.Name;
        return s.Name;
    default:
        return {};
    }
}

} // namespace mv
