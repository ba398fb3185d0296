#include "controls/listview/LVSaveSettings.h"

#include "platform/RegistryStore.h"

#include <charconv>
#include <climits>
#include <cstdint>

namespace mv {
namespace {

std::string Join(const std::vector<int>& values) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) text += ',';
        text += std::to_string(values[i]);
    }
    return text;
}

// Calls fn for each piece of text up to the next "," or the end, at most `limit`
// pieces; stops when the text is used up.
template <typename Fn>
void ForPieces(const std::string& text, size_t limit, Fn fn) {
    size_t pos = 0;
    for (size_t i = 0; i < limit && pos < text.size(); ++i) {
        size_t comma = text.find(',', pos);
        if (comma == std::string::npos) comma = text.size();
        fn(i, text.substr(pos, comma - pos));
        pos = comma + 1;
    }
}

} // namespace

bool ParseSettingsInteger(const std::string& text, int& value) {
    size_t a = 0, b = text.size();
    while (a < b && (text[a] == ' ' || text[a] == '\t')) ++a;
    while (b > a && (text[b - 1] == ' ' || text[b - 1] == '\t')) --b;
    bool negative = false;
    if (a < b && (text[a] == '-' || text[a] == '+')) negative = text[a++] == '-';
    int base = 10;
    if (b > a + 1 && text[a] == '0' && (text[a + 1] == 'x' || text[a + 1] == 'X')) base = 16, a += 2;
    if (a >= b) return false;
    uint64_t v = 0;
    auto [end, ec] = std::from_chars(text.data() + a, text.data() + b, v, base);
    if (ec != std::errc() || end != text.data() + b) return false;
    if (v > static_cast<uint64_t>(INT_MAX) + (negative ? 1 : 0)) return false;
    value = negative ? static_cast<int>(-static_cast<int64_t>(v)) : static_cast<int>(v);
    return true;
}

std::string TLVCoreSaveSettings::Read(const std::string& subkey, const std::string& name) const {
    try {
        platform::RegistryStore store;
        if (!store.OpenKeyReadOnly("\\" + FRegistryKey + "\\" + subkey)) return {};
        return store.ReadString(name);
    } catch (const std::exception&) {
        return {}; // unreadable: as missing
    }
}

void TLVCoreSaveSettings::Write(const std::string& subkey, const std::string& name,
                                const std::string& value) const {
    platform::RegistryStore store;
    if (store.OpenKey("\\" + FRegistryKey + "\\" + subkey, true)) store.WriteString(name, value);
}

void TLVCoreSaveSettings::WriteSizes(const std::vector<int>& widths) const {
    if (!widths.empty()) Write("Columns", "Sizes", Join(widths));
}

void TLVCoreSaveSettings::WriteOrder(const std::vector<int>& order) const {
    if (!order.empty()) Write("Columns", "Order", Join(order));
}

void TLVCoreSaveSettings::ReadSizes(std::vector<int>& widths) const {
    if (widths.empty()) return;
    const std::string text = Read("Columns", "Sizes");
    if (text.empty()) {
        widths[0] = -1;
        return;
    }
    ForPieces(text, widths.size(), [&](size_t i, const std::string& piece) {
        int v = 0;
        if (ParseSettingsInteger(piece, v)) widths[i] = v;
    });
}

void TLVCoreSaveSettings::ReadOrder(std::vector<int>& order) const {
    if (order.empty()) return;
    const std::string text = Read("Columns", "Order");
    if (text.empty()) {
        for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
        return;
    }
    ForPieces(text, order.size(), [&](size_t i, const std::string& piece) {
        int v = 0;
        order[i] = ParseSettingsInteger(piece, v) ? v : 0;
    });
}

void TLVCoreSaveSettings::WriteSort(bool ascending, int column) const {
    Write("Sort", "Ascending", ascending ? "1" : "0");
    Write("Sort", "SortCol", std::to_string(column));
}

void TLVCoreSaveSettings::ReadSort(bool& ascending, int& column) const {
    int v = 0;
    ascending = ParseSettingsInteger(Read("Sort", "Ascending"), v) ? v != 0 : true;
    column = ParseSettingsInteger(Read("Sort", "SortCol"), v) ? v : 0;
}

} // namespace mv
