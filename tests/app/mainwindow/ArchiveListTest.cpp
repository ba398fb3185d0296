// The archive list's rows, keys, sort, cache, cell texts, totals and widths, on
// rows made in the test: the cases no archive of the corpus holds (a ";" in a
// name, sizes past a billion bytes, a name ending in "+" that is not encrypted).
#include "app/mainwindow/ArchiveList.h"

#include "app/common/LangStr.h"
#include "archive/framework/SharedRoutines.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

TArchiveRow Row(const std::string& name, int64_t size, int64_t packed, const std::string& path = {},
                bool encrypted = false) {
    TArchiveRow r;
    r.FileName = name;
    r.Size = size;
    r.Packed = packed;
    r.Ratio = size > 0 ? static_cast<int>((size - packed) * 100 / size) : 0;
    r.Path = path;
    r.Encrypted = encrypted;
    r.TypeName = name.substr(name.find('.') == std::string::npos ? name.size() : name.find('.'));
    r.Modified = EncodeDateTime(2020, 1, 1 + static_cast<int>(size % 27), 10, static_cast<int>(size % 60), 0);
    r.Attributes = "A   ";
    r.Crc = static_cast<uint32_t>(size * 2654435761u);
    return r;
}

std::vector<std::string> Shown(const TArchiveList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.RowCount(); ++i) out.push_back(list.CellText(i, colNome, false));
    return out;
}

struct LanguageScope {
    explicit LanguageScope(int32_t base) : old(LanguageBase()) { SetLanguageBase(base); }
    ~LanguageScope() { SetLanguageBase(old); }
    int32_t old;
};

TEST(ArchiveList, SortsEveryColumnBothWaysWithoutTouchingTheKeyOrder) {
    LanguageScope pt(lbPortuguese);
    TArchiveList list;
    list.AddRow(Row("b;semi.txt", 1'000'000'000, 10, "x;y\\"));      // ";" in name and folder
    list.AddRow(Row("A.doc", 999'999'999, 999'999'990, "", true));   // encrypted
    list.AddRow(Row("notes+", 5'000'000'000, 4'000'000'000, "z\\")); // "+" of its own, past 32 bits
    list.AddRow(Row("c.bin", 0, 0, "a\\"));
    for (int column = 0; column < ArchiveColumnCount; ++column) {
        SCOPED_TRACE(column);
        list.SortFinished(column, true);
        const auto keysBefore = list.Keys(column);
        std::vector<int> up;
        for (int i = 0; i < list.RowCount(); ++i) up.push_back(list.RowIndexOf(i));
        for (size_t i = 1; i < up.size(); ++i)
            EXPECT_FALSE(
                SortKeyLess({SortKeyOf(list.Rows()[static_cast<size_t>(up[i])], column), up[i]},
                            {SortKeyOf(list.Rows()[static_cast<size_t>(up[i - 1])], column), up[i - 1]}));
        list.SortFinished(column, false);
        std::vector<int> down;
        for (int i = 0; i < list.RowCount(); ++i) down.push_back(list.RowIndexOf(i));
        EXPECT_EQ(std::vector<int>(up.rbegin(), up.rend()), down);
        ASSERT_EQ(list.Keys(column).size(), keysBefore.size());
        for (size_t i = 0; i < keysBefore.size(); ++i) EXPECT_EQ(list.Keys(column)[i].Row, keysBefore[i].Row);
    }
    // Sizes past a billion bytes sort after the smaller ones, numerically.
    list.SortFinished(colTamanho, true);
    EXPECT_EQ(Shown(list), (std::vector<std::string>{"c.bin", "A.doc+", "b;semi.txt", "notes+"}));
    // Names: case does not count; the encrypted one shows "+", the other keeps its own.
    list.SortFinished(colNome, false);
    EXPECT_EQ(Shown(list), (std::vector<std::string>{"notes+", "c.bin", "b;semi.txt", "A.doc+"}));
    EXPECT_EQ(list.Keys(colNome)[0].Key, "A.doc+");
    // The fields stay apart whatever they hold.
    list.SortFinished(colCaminho, true);
    ASSERT_EQ(list.RowIndexOf(2), 0);
    EXPECT_EQ(list.CellText(2, colNome, false), "b;semi.txt");
    EXPECT_EQ(list.CellText(2, colCaminho, false), "x;y\\");
    EXPECT_EQ(list.CellText(2, colTamanho, false), "1.000.000.000");
    EXPECT_EQ(list.Rows()[2].StoredName(), "z\\notes+");
    EXPECT_FALSE(list.Rows()[2].Encrypted);
}

TEST(ArchiveList, WhileFillingItemsFollowTheArchiveAndTheSortWaitsForTheEnd) {
    TArchiveList list;
    list.SortFinished(colTamanho, false); // the sort the window had before the listing
    std::vector<int> calls;
    std::vector<std::vector<std::string>> seen; // what the items showed at each call
    list.BeginFill(
        [&](int rowCount) {
            calls.push_back(rowCount);
            seen.push_back(Shown(list));
            // a header click meanwhile takes the column and the direction only
            if (rowCount == 3) {
                EXPECT_EQ(list.SortFinished(colNome, true), 3);
            }
            return rowCount + 2;
        },
        3);
    const std::vector<std::string> names = {"b.txt", "a.txt", "e.txt", "c.txt", "d.txt", "f.txt"};
    for (size_t i = 0; i < names.size(); ++i) list.AddRow(Row(names[i], int64_t(i) * 10, 1));
    EXPECT_EQ(calls, (std::vector<int>{3, 5}));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (std::vector<std::string>{"b.txt", "a.txt", "e.txt"}));
    EXPECT_EQ(seen[1], (std::vector<std::string>{"b.txt", "a.txt", "e.txt", "c.txt", "d.txt"}));
    EXPECT_TRUE(list.Filling());
    EXPECT_EQ(Shown(list), names);
    EXPECT_EQ(list.SortColumn(), colNome);
    list.EndFill();
    EXPECT_FALSE(list.Filling());
    list.SortFinished(list.SortColumn(), list.SortAscending());
    EXPECT_EQ(Shown(list), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "f.txt"}));
    // no hook after the filling
    list.AddRow(Row("g.txt", 1, 1));
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_EQ(list.CellText(6, colNome, false), "g.txt");
}

TEST(ArchiveList, CellTextsInEachLanguageAndCabinets) {
    TArchiveList list;
    TArchiveRow r = Row("a.txt", 1234567, 234567, "d\\", true);
    r.Modified = EncodeDateTime(2009, 7, 31, 23, 5, 9);
    r.Crc = 0x1a2b3c;
    list.AddRow(r);
    list.SortFinished(0, true);
    struct Case {
        int32_t base;
        const char* date;
        const char* size;
    } cases[] = {{lbPortuguese, "31/07/09 23:05", "1.234.567"},
                 {lbEnglish, "07/31/09 23:05", "1,234,567"},
                 {lbSpanish, "31/07/09 23:05", "1.234.567"}};
    for (const Case& c : cases) {
        LanguageScope scope(c.base);
        SCOPED_TRACE(c.base);
        EXPECT_EQ(list.CellText(0, colNome, false), "a.txt+");
        EXPECT_EQ(list.CellText(0, colModificado, false), c.date);
        EXPECT_EQ(list.CellText(0, colTamanho, false), c.size);
        EXPECT_EQ(list.CellText(0, colTaxa, false), "81%");
        EXPECT_EQ(list.CellText(0, colCaminho, false), "d\\");
        EXPECT_EQ(list.CellText(0, colCrc, false), "001A2B3C");
        EXPECT_EQ(list.CellText(0, colCompactado, true), "?");
        EXPECT_EQ(list.CellText(0, colTaxa, true), "?");
        EXPECT_EQ(list.CellText(0, 9, false), "");
    }
    EXPECT_EQ(list.Keys(colModificado)[0].Key, "200907312305");
    EXPECT_EQ(list.Keys(colTamanho)[0].Key, "00000000000001234567");
    // Outside the list: empty cells, no failure.
    EXPECT_EQ(list.CellText(5, colNome, false), "");
    EXPECT_EQ(list.ImageIndex(-1), 0);
    TArchiveList empty;
    EXPECT_EQ(empty.CellText(0, colNome, false), "");
}

TEST(ArchiveList, CacheDecodesOnlyWhenTheWindowLeavesIt) {
    TArchiveList list;
    for (int i = 0; i < 50; ++i) list.AddRow(Row("f" + std::to_string(i), i, i));
    list.SortFinished(colNome, true);
    list.FillRowCache(10, 19);
    EXPECT_EQ(list.DecodeCount(), 10);
    list.FillRowCache(12, 18); // inside: nothing decoded
    for (int i = 10; i <= 19; ++i)
        for (int c = 0; c < ArchiveColumnCount; ++c) list.CellText(i, c, false);
    EXPECT_EQ(list.DecodeCount(), 10);
    list.CellText(30, colNome, false); // outside: decoded on the spot, not kept
    EXPECT_EQ(list.DecodeCount(), 11);
    EXPECT_EQ(list.CacheFirst(), 10);
    list.FillRowCache(15, 24); // leaves the cached range: rebuilt
    EXPECT_EQ(list.DecodeCount(), 21);
    EXPECT_EQ(list.CacheFirst(), 15);
    list.SortFinished(colTamanho, false); // a sort drops it
    EXPECT_EQ(list.CacheFirst(), -1);
}

TEST(ArchiveList, TotalsOfAllRowsAndOfASelection) {
    LanguageScope en(lbEnglish);
    TArchiveList list;
    const TListTotals none = list.Totals({});
    EXPECT_EQ(TotalsPanels(none, "ZIP       "),
              (std::array<std::string, 5>{"", "Files: 0", "Size: ", "Packed: ", "Ratio: 0%"}));
    list.AddRow(Row("a", 3'000'000'000, 1'000'000'000));
    list.AddRow(Row("b", 3'000'000'000, 1'000'000'000));
    list.AddRow(Row("c", 1000, 1000));
    list.SortFinished(colNome, true);
    const TListTotals all = list.Totals({});
    EXPECT_EQ(all.Count, 3);
    EXPECT_EQ(all.Size, 6'000'001'000); // 64-bit, no wrap
    EXPECT_EQ(TotalsPanels(all, "ZIP       "),
              (std::array<std::string, 5>{"ZIP       ", "Files: 3", "Size: 6,000,001,000",
                                          "Packed: 2,000,001,000", "Ratio: 66%"}));
    const TListTotals sel = list.Totals({2});
    EXPECT_EQ(TotalsPanels(sel, "ZIP       ")[1], "Sel.: 1");
    EXPECT_EQ(sel.Size, 1000);
}

TEST(ArchiveList, ColumnWidthsFromTheTexts) {
    TArchiveList list;
    const auto empty = list.AutoColumnWidths([](const std::string& s) { return static_cast<int>(s.size()); });
    EXPECT_EQ(empty, (std::array<int, 9>{200, 50, 50, 50, 50, 50, 50, 50, 50}));
    TArchiveRow r = Row("abcd", 12345, 100);
    r.TypeName.clear();
    r.Path.clear();
    list.AddRow(r);
    const auto w = list.AutoColumnWidths([](const std::string& s) { return static_cast<int>(s.size()) * 7; });
    EXPECT_EQ(w[0], 4 * 7 + 35);
    EXPECT_EQ(w[1], 0); // all empty
    EXPECT_EQ(w[3], 5 * 7 + 23);
    EXPECT_EQ(w[6], 0);
    EXPECT_EQ(w[8], 8 * 7 + 15);
}

} // namespace
} // namespace mv

namespace mv {
namespace {

// The long date of the overwrite question: names of the weekday and month in each
// language, quoted texts copied as they stand, short names cut to three letters.
TEST(ArchiveList, DatePatternNamesAndQuotedTexts) {
    const TDateTime when = EncodeDateTime(2026, 12, 11, 5, 32, 33); // a Friday
    const struct {
        int32_t base;
        std::string pattern, expected;
    } cases[] = {
        {lbSpanish, " dddd, d 'de' mmmm 'de' yyyy, hh:mm:ss", " viernes, 11 de diciembre de 2026, 05:32:33"},
        {lbPortuguese, " dddd, d 'de' mmmm 'de' yyyy, hh:mm:ss", " sexta-feira, 11 de dezembro de 2026, 05:32:33"},
        {lbEnglish, " dddd, mmmm d, yyyy, hh:mm:ss", " Friday, December 11, 2026, 05:32:33"},
        {lbPortuguese, "ddd dd/mmm \"h\"hh", "sex 11/dez h05"},
        {lbEnglish, "dd/mm/yy 'unclosed", "11/12/26 unclosed"},
    };
    for (const auto& c : cases) {
        LanguageScope language(c.base);
        EXPECT_EQ(FormatDateTimePattern(c.pattern, when), c.expected) << c.pattern;
    }
    LanguageScope spanish(lbSpanish);
    EXPECT_EQ(FormatDateTimePattern("ddd", EncodeDateTime(2026, 12, 9, 0, 0, 0)), "mié"); // three letters, not bytes
}

} // namespace
} // namespace mv
