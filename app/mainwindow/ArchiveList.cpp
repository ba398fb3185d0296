#include "app/mainwindow/ArchiveList.h"

#include "app/common/LangStr.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipCommon.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cctype>
#include <cstdio>

namespace mv {

namespace {

std::string Digits(int64_t value, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(value < 0 ? 0 : value));
    return buf;
}

// Letters A-Z fold to a-z; other bytes (UTF-8 sequences among them) compare as
// they are, as the C library's tolower does in a UTF-8 locale, without its call
// per byte (a million-row sort makes tens of millions of comparisons).
constexpr std::array<uint8_t, 256> kFoldCase = [] {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = static_cast<uint8_t>(i >= 'A' && i <= 'Z' ? i + 32 : i);
    return t;
}();

int CompareNoCase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    const auto* pa = reinterpret_cast<const unsigned char*>(a.data());
    const auto* pb = reinterpret_cast<const unsigned char*>(b.data());
    for (size_t i = 0; i < n; ++i) {
        if (pa[i] == pb[i]) continue;
        const int ca = kFoldCase[pa[i]];
        const int cb = kFoldCase[pb[i]];
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The raw field texts of a row, as the width of its columns is measured.
std::array<std::string, ArchiveColumnCount> FieldTexts(const TArchiveRow& r, const std::string& datePattern) {
    return {r.ShownName(),
            r.TypeName,
            FormatDateTimePattern(datePattern, r.Modified),
            std::to_string(r.Size),
            std::to_string(r.Packed),
            std::to_string(r.Ratio),
            r.Path,
            r.Attributes,
            CrcText(r.Crc)};
}

} // namespace

// ---- texts ------------------------------------------------------------------------

// The month names (January first) and weekday names (Sunday first) in the string tables.
constexpr int MonthNameStrings = 2970;
constexpr int DayNameStrings = 2982;

std::string FormatDateTimePattern(const std::string& pattern, TDateTime value) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    DecodeDateTime(value, year, month, day, hour, minute, second);
    std::string out;
    bool afterHour = false; // "mm" right after an hour means minutes
    size_t i = 0;
    auto run = [&](char c) {
        size_t n = 0;
        while (i + n < pattern.size() && std::tolower(static_cast<unsigned char>(pattern[i + n])) == c) ++n;
        return n;
    };
    // "dddd"/"mmmm" give the weekday's and month's names in the current language,
    // "ddd"/"mmm" their first three letters.
    auto named = [](int number, size_t letters) {
        std::string name = LoadLangStr(number);
        if (letters >= 4) return name;
        size_t end = 0;
        for (int k = 0; k < 3 && end < name.size(); ++k)
            do ++end;
            while (end < name.size() && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80);
        return name.substr(0, end);
    };
    while (i < pattern.size()) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(pattern[i])));
        size_t n = 0;
        switch (c) {
        case '\'':
        case '"': {
            // A quoted text is copied as it stands.
            const size_t close = pattern.find(pattern[i], i + 1);
            const size_t end = close == std::string::npos ? pattern.size() : close;
            out.append(pattern, i + 1, end - i - 1);
            n = end - i + (close == std::string::npos ? 0 : 1);
            break;
        }
        case 'd':
            n = run('d');
            if (n >= 3) {
                const int64_t days = platform::DaysFromCivil(year, month, day);
                const int weekday = static_cast<int>(((days + 4) % 7 + 7) % 7); // 1970-01-01 was a Thursday
                out += named(DayNameStrings + weekday, n);
            } else {
                out += n >= 2 ? Digits(day, 2) : std::to_string(day);
            }
            break;
        case 'm':
            n = run('m');
            if (afterHour)
                out += n >= 2 ? Digits(minute, 2) : std::to_string(minute);
            else if (n >= 3)
                out += named(MonthNameStrings + month - 1, n);
            else
                out += n >= 2 ? Digits(month, 2) : std::to_string(month);
            afterHour = false;
            break;
        case 'y':
            n = run('y');
            out += n >= 3 ? Digits(year, 4) : Digits(year % 100, 2);
            break;
        case 'h':
            n = run('h');
            out += n >= 2 ? Digits(hour, 2) : std::to_string(hour);
            afterHour = true;
            break;
        case 'n':
            n = run('n');
            out += n >= 2 ? Digits(minute, 2) : std::to_string(minute);
            afterHour = false;
            break;
        case 's':
            n = run('s');
            out += n >= 2 ? Digits(second, 2) : std::to_string(second);
            break;
        default:
            n = 1;
            out += pattern[i];
            break;
        }
        i += n;
    }
    return out;
}

std::string RowDatePattern() {
    std::string pattern = LoadLangStr(84);
    if (pattern.empty()) pattern = "dd/mm/yy hh:mm";
    return pattern;
}

std::string RowDateText(TDateTime value) {
    return FormatDateTimePattern(RowDatePattern(), value);
}

std::string FormatThousands(int64_t value) {
    if (value == 0) return {};
    const char separator = LanguageBase() == lbEnglish ? ',' : '.';
    const bool negative = value < 0;
    std::string digits = std::to_string(negative ? -value : value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

std::string CrcText(uint32_t crc) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", crc);
    return buf;
}

std::string SortKeyOf(const TArchiveRow& row, int column) {
    switch (column) {
    case colNome:
        return row.ShownName();
    case colTipo:
        return row.TypeName;
    case colModificado:
        return FormatDateTimePattern("yyyymmddhhnn", row.Modified);
    case colTamanho:
        return Digits(row.Size, 20);
    case colCompactado:
        return Digits(row.Packed, 20);
    case colTaxa:
        return Digits(row.Ratio, 2);
    case colCaminho:
        return row.Path;
    case colAtrib:
        return row.Attributes;
    case colCrc:
        return CrcText(row.Crc);
    default:
        return {};
    }
}

bool SortKeyLess(const TSortKey& a, const TSortKey& b) {
    const int c = CompareNoCase(a.Key, b.Key);
    return c != 0 ? c < 0 : a.Row < b.Row;
}

// ---- rows and keys ------------------------------------------------------------------

void TRowStore::push_back(TArchiveRow row) {
    if (FCount % BlockRows == 0) {
        FBlocks.emplace_back();
        FBlocks.back().reserve(BlockRows);
    }
    FBlocks.back().push_back(std::move(row));
    ++FCount;
}

void TRowStore::clear() {
    std::vector<std::vector<TArchiveRow>>().swap(FBlocks);
    FCount = 0;
}

void TArchiveList::ClearList() {
    FRows.clear();
    for (int c = 0; c < ArchiveColumnCount; ++c) ReleaseKeys(c);
    DropCache();
}

void TArchiveList::ReleaseKeys(int column) const {
    const auto c = static_cast<size_t>(column);
    std::vector<TSortKey>().swap(FKeys[c]);
    FKeysMade[c] = false;
}

const std::vector<TSortKey>& TArchiveList::Keys(int column) const {
    const auto c = static_cast<size_t>(column);
    auto& keys = FKeys.at(c);
    if (!FKeysMade[c]) {
        keys.clear();
        keys.reserve(FRows.size());
        for (size_t i = 0; i < FRows.size(); ++i)
            keys.push_back({SortKeyOf(FRows[i], column), static_cast<int32_t>(i)});
        FKeysMade[c] = true;
    }
    return keys;
}

void TArchiveList::AddRow(TArchiveRow row) {
    const auto index = static_cast<int32_t>(FRows.size());
    for (int c = 0; c < ArchiveColumnCount; ++c)
        if (FKeysMade[static_cast<size_t>(c)]) FKeys[static_cast<size_t>(c)].push_back({SortKeyOf(row, c), index});
    FRows.push_back(std::move(row));
    if (FGrown && index + 1 >= FNextGrown) {
        // the hook may run the window's events: it is held while it runs
        const auto grown = FGrown;
        FNextGrown = grown(index + 1);
    }
}

void TArchiveList::BeginFill(std::function<int(int)> grown, int firstCall) {
    FFilling = true;
    FGrown = std::move(grown);
    FNextGrown = firstCall;
    DropCache();
}

void TArchiveList::EndFill() {
    FFilling = false;
    FGrown = nullptr;
    DropCache();
}

int TArchiveList::SortFinished(int column, bool ascending) {
    FSortColumn = column;
    FSortAscending = ascending;
    DropCache();
    if (FFilling) return RowCount(); // sorted when the filling ends
    if (column >= 0 && column < ArchiveColumnCount) {
        for (int c = 0; c < ArchiveColumnCount; ++c)
            if (c != column) ReleaseKeys(c);
        Keys(column);
        auto& keys = FKeys[static_cast<size_t>(column)];
        std::sort(keys.begin(), keys.end(), SortKeyLess);
    }
    return RowCount();
}

int TArchiveList::RowIndexOf(int item) const {
    const int count = RowCount();
    if (item < 0 || item >= count) return -1;
    if (FFilling) return item;
    if (FSortColumn < 0 || FSortColumn >= ArchiveColumnCount) return FSortAscending ? item : count - 1 - item;
    const auto& keys = Keys(FSortColumn);
    if (keys.size() != FRows.size()) return -1;
    return keys[static_cast<size_t>(FSortAscending ? item : count - 1 - item)].Row;
}

// ---- cache ----------------------------------------------------------------------------

TArchiveRow TArchiveList::DecodeRow(int item) const {
    ++FDecodeCount;
    const int row = RowIndexOf(item);
    if (row < 0 || row >= RowCount()) return {};
    return FRows[static_cast<size_t>(row)];
}

void TArchiveList::FillRowCache(int first, int last) {
    if (FRows.empty()) return;
    if (FCacheFirst >= 0 && first >= FCacheFirst && last <= FCacheLast) return;
    FCache.clear();
    FCacheFirst = first;
    FCacheLast = last;
    for (int i = first; i <= last; ++i) FCache.push_back(DecodeRow(i));
}

TArchiveRow TArchiveList::GetCachedRow(int item) const {
    if (FCacheFirst >= 0 && item >= FCacheFirst && item <= FCacheLast)
        return FCache[static_cast<size_t>(item - FCacheFirst)];
    return DecodeRow(item);
}

void TArchiveList::DropCache() {
    FCache.clear();
    FCacheFirst = FCacheLast = -1;
}

// ---- cells ---------------------------------------------------------------------------

std::string TArchiveList::CellText(int item, int subItem, bool cabinet) const {
    if (FRows.empty()) return {};
    const TArchiveRow r = GetCachedRow(item);
    switch (subItem) {
    case colNome:
        return r.ShownName();
    case colTipo:
        return r.TypeName;
    case colModificado:
        return r.FileName.empty() ? std::string() : RowDateText(r.Modified);
    case colTamanho:
        return FormatThousands(r.Size);
    case colCompactado:
        return cabinet ? "?" : FormatThousands(r.Packed);
    case colTaxa:
        return cabinet ? "?" : (r.FileName.empty() ? std::string() : std::to_string(r.Ratio) + "%");
    case colCaminho:
        return r.Path;
    case colAtrib:
        return r.Attributes;
    case colCrc:
        return r.FileName.empty() ? std::string() : CrcText(r.Crc);
    default:
        return {};
    }
}

int32_t TArchiveList::ImageIndex(int item) const {
    if (FRows.empty()) return 0;
    return GetCachedRow(item).IconIndex;
}

// ---- totals and widths ---------------------------------------------------------------

TListTotals TArchiveList::Totals(const std::vector<int>& selectedItems) const {
    TListTotals t;
    t.SelectedOnly = !selectedItems.empty();
    auto add = [&](int item) {
        const TArchiveRow r = GetCachedRow(item);
        t.Size += r.Size;
        t.Packed += r.Packed;
    };
    if (t.SelectedOnly) {
        for (int item : selectedItems) add(item);
        t.Count = static_cast<int>(selectedItems.size());
    } else {
        // The sum does not depend on the order shown: the rows are added in place.
        for (const TArchiveRow& r : FRows) {
            t.Size += r.Size;
            t.Packed += r.Packed;
        }
        t.Count = RowCount();
    }
    t.Ratio = TZipCommon::CompressRatio(t.Packed, t.Size);
    return t;
}

std::array<std::string, 5> TotalsPanels(const TListTotals& totals, const std::string& typeName) {
    std::array<std::string, 5> p;
    p[0] = totals.Count < 1 ? std::string() : typeName;
    p[1] = totals.SelectedOnly ? LoadLangStr(46) + std::to_string(totals.Count)
                               : LoadLangStr(47) + ": " + std::to_string(totals.Count);
    p[2] = LoadLangStr(33) + ": " + FormatThousands(totals.Size);
    p[3] = LoadLangStr(34) + ": " + FormatThousands(totals.Packed);
    p[4] = LoadLangStr(35) + ": " + std::to_string(totals.Ratio) + "%";
    return p;
}

std::array<int, ArchiveColumnCount>
TArchiveList::AutoColumnWidths(const std::function<int(const std::string&)>& textWidth) const {
    std::array<int, ArchiveColumnCount> widths{};
    if (FRows.empty()) {
        widths.fill(50);
        widths[0] = 200;
        return widths;
    }
    std::array<int, ArchiveColumnCount> widest{};
    const std::string datePattern = RowDatePattern();
    for (const TArchiveRow& r : FRows) {
        const auto texts = FieldTexts(r, datePattern);
        for (int c = 0; c < ArchiveColumnCount; ++c)
            widest[static_cast<size_t>(c)] =
                std::max(widest[static_cast<size_t>(c)], textWidth(texts[static_cast<size_t>(c)]));
    }
    static constexpr int margins[ArchiveColumnCount] = {35, 15, 15, 23, 23, 23, 15, 30, 15};
    for (int c = 0; c < ArchiveColumnCount; ++c) {
        const auto i = static_cast<size_t>(c);
        widths[i] = (c > 0 && widest[i] == 0) ? 0 : widest[i] + margins[c];
    }
    return widths;
}

} // namespace mv
