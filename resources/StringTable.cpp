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

const char* FindText(int32_t number) {
    const auto language = LanguageStrings();
    const auto it = std::lower_bound(language.begin(), language.end(), number,
                                     [](const TStringEntry& e, int32_t n) { return e.Number < n; });
    if (it != language.end() && it->Number == number) return it->Text;
    std::lock_guard<std::mutex> guard(rawTablesLock);
    for (const auto& table : RawTables())
        for (const auto& entry : table)
            if (entry.Number == number) return entry.Text ? entry.Text : "";
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

std::string LoadStr(int32_t number) {
    const char* text = FindText(number);
    return text ? std::string(text) : std::string();
}

bool HasStr(int32_t number) {
    return FindText(number) != nullptr;
}

} // namespace mv
