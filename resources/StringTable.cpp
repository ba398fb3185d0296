#include "resources/StringTable.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace mv {
namespace {

std::mutex rawTablesLock;

std::vector<std::span<const TStringEntry>>& RawTables() {
    static std::vector<std::span<const TStringEntry>> tables;
    return tables;
}

std::vector<TRawStringLookup>& RawLookups() {
    static std::vector<TRawStringLookup> lookups;
    return lookups;
}

const char* FindText(int32_t number) {
    const auto language = LanguageStrings();
    const auto it = std::lower_bound(language.begin(), language.end(), number,
                                     [](const TStringEntry& e, int32_t n) { return e.Number < n; });
    if (it != language.end() && it->Number == number) return it->Text;
    std::lock_guard<std::mutex> guard(rawTablesLock);
    for (const auto& table : RawTables())
        for (const auto& entry : table)
            if (entry.Number == number) return entry.Text ? entry.Text : "";
    for (TRawStringLookup lookup : RawLookups())
        if (const char* text = lookup(number)) return text;
    return nullptr;
}

} // namespace

void RegisterRawStrings(std::span<const TStringEntry> table) {
    std::lock_guard<std::mutex> guard(rawTablesLock);
    auto& tables = RawTables();
    for (const auto& known : tables)
        if (known.data() == table.data() && known.size() == table.size()) return;
    tables.push_back(table);
}

void RegisterRawStringLookup(TRawStringLookup lookup) {
    if (!lookup) return;
    std::lock_guard<std::mutex> guard(rawTablesLock);
    auto& lookups = RawLookups();
    for (TRawStringLookup known : lookups)
        if (known == lookup) return;
    lookups.push_back(lookup);
}

std::string LoadStr(int32_t number) {
    const char* text = FindText(number);
    return text ? std::string(text) : std::string();
}

bool HasStr(int32_t number) {
    return FindText(number) != nullptr;
}

} // namespace mv
