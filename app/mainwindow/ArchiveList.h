#pragma once
// The data behind the main window's archive list. The list view runs in virtual
// mode and holds no items: it asks for every cell it draws, and this class answers
// from one record per entry (`RowList`), nine key lists (one per column, pairs of
// sort key and row index), and a small cache of the rows of the visible window.
//
// Sorting a column sorts only that column's key list; the direction only reverses
// the lookup (item i is key count-1-i when descending), so clicking the same
// header twice shows the rows in reverse order while the key list stays as it is.
//
// Rows are records, not ";"-separated lines, so that a ";" in a name or folder
// cannot shift the fields, and an encrypted entry keeps its flag (the "+" after
// its name is for display only: "notes+" that is not encrypted stays "notes+").
// Sizes are 64-bit, their keys 20 digits wide, so that sizes of a billion bytes
// and more sort after the smaller ones and totals do not wrap.
//
// While a listing fills the list, the rows received so far can be shown: in the
// archive's order, unsorted, with a hook that lets the window publish them as they
// grow. The sort is applied when the filling ends.
#include "archive/framework/EntryInfo.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace mv {

constexpr int ArchiveColumnCount = 9;
// Columns in display order; their captions are strings 30 to 38.
enum TArchiveColumn : int {
    colNome = 0,
    colTipo,
    colModificado,
    colTamanho,
    colCompactado,
    colTaxa,
    colCaminho,
    colAtrib,
    colCrc,
};

// One entry of the open archive.
struct TArchiveRow {
    int32_t IconIndex = 0;
    std::string FileName; // the name without its folder (and without the "+" of an encrypted entry)
    bool Encrypted = false;
    std::string TypeName;
    TDateTime Modified = 0; // local time
    int64_t Size = 0;
    int64_t Packed = 0;
    int32_t Ratio = 0;      // percent
    std::string Path;       // the folder as stored, with its trailing "\"; empty at the root
    std::string Attributes; // attribute letters
    uint32_t Crc = 0;

    // The name as the list shows it: "+" after an encrypted entry's name.
    std::string ShownName() const { return Encrypted ? FileName + "+" : FileName; }
    // The stored name of the entry (folder and name, "\" between them).
    std::string StoredName() const { return Path + FileName; }
};

struct TSortKey {
    std::string Key;
    int32_t Row = 0;
};

// The sort key of a row in a column: the name (with "+"), the type, the time as
// "yyyymmddhhmm", sizes as 20 digits, the ratio as at least two digits, the
// folder, the attributes, the CRC as eight hexadecimal digits.
std::string SortKeyOf(const TArchiveRow& row, int column);
// Key order: the keys compared without regard to case, then the row indexes.
bool SortKeyLess(const TSortKey& a, const TSortKey& b);

// Texts of the rows in the user's language: date and time in the form of string
// 84 ("dd/mm/yy hh:mm"), sizes grouped by thousands as "#,###,###" (the language's
// separator; a zero gives an empty text).
// The date pattern of the Modified column in the current language (string 84).
std::string RowDatePattern();
std::string RowDateText(TDateTime value);
std::string FormatDateTimePattern(const std::string& pattern, TDateTime value);
std::string FormatThousands(int64_t value);
std::string CrcText(uint32_t crc);

// The rows of the list in the archive's order, kept in blocks of a fixed count: a
// million rows grow without being moved to larger storage again and again (nor
// allocated one by one), and a row keeps its place in memory.
class TRowStore {
public:
    static constexpr size_t BlockRows = 4096;

    size_t size() const { return FCount; }
    bool empty() const { return FCount == 0; }
    const TArchiveRow& operator[](size_t i) const { return FBlocks[i / BlockRows][i % BlockRows]; }
    void push_back(TArchiveRow row);
    // Drops the rows and gives their memory back.
    void clear();

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = TArchiveRow;
        using difference_type = std::ptrdiff_t;
        using pointer = const TArchiveRow*;
        using reference = const TArchiveRow&;
        const_iterator() = default;
        const_iterator(const TRowStore* store, size_t index) : FStore(store), FIndex(index) {}
        reference operator*() const { return (*FStore)[FIndex]; }
        pointer operator->() const { return &(*FStore)[FIndex]; }
        const_iterator& operator++() {
            ++FIndex;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++FIndex;
            return before;
        }
        bool operator==(const const_iterator& other) const { return FIndex == other.FIndex; }

    private:
        const TRowStore* FStore = nullptr;
        size_t FIndex = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, FCount}; }

private:
    std::vector<std::vector<TArchiveRow>> FBlocks;
    size_t FCount = 0;
};

// Totals over all rows or over a selection, for the status bar.
struct TListTotals {
    bool SelectedOnly = false;
    int Count = 0;
    int64_t Size = 0;
    int64_t Packed = 0;
    uint8_t Ratio = 0;
};

class TArchiveList {
public:
    // ---- filling (one row per entry, in the archive's order)
    // Empties the rows, the key lists and the cache.
    void ClearList();
    // Appends the row; its index is its position. A column's key list is made from
    // the rows when it is first needed (a sort by it, or Keys) and then grows with
    // each row; sorting by one column lets the others go, so a list of a million
    // entries keeps one key list, not nine.
    void AddRow(TArchiveRow row);
    int RowCount() const { return static_cast<int>(FRows.size()); }
    // The rows in the archive's order.
    const TRowStore& Rows() const { return FRows; }

    // ---- filling by a listing
    // From BeginFill to EndFill the items are the rows in the archive's order, and
    // SortFinished only takes the column and direction (the caller sorts when the
    // filling ends). `grown`, when set, is called from AddRow once the row count
    // reaches the count it last answered (first: `firstCall`); it answers the count
    // of its next call. EndFill lets the hook go.
    void BeginFill(std::function<int(int rowCount)> grown = {}, int firstCall = 1);
    void EndFill();
    bool Filling() const { return FFilling; }
    // The key list of a column in its present order (the rows' order until sorted).
    const std::vector<TSortKey>& Keys(int column) const;

    // ---- sorting (the list view's "sort finished": a header was clicked, or a
    // listing ended and the current sort is applied again)
    // Stores the column and direction, drops the cache and sorts that column's key
    // list. A column outside 0..8 keeps the rows in the archive's order. Returns the
    // row count, the virtual item count to give the list view.
    int SortFinished(int column, bool ascending);
    int SortColumn() const { return FSortColumn; }
    bool SortAscending() const { return FSortAscending; }
    // The row shown as item i: through the key list of the sort column, forwards
    // or backwards; -1 outside the list.
    int RowIndexOf(int item) const;

    // ---- the row cache of the visible window
    // The copy of the row shown as item i; an empty record (icon 0) when i is outside the list.
    TArchiveRow DecodeRow(int item) const;
    // The list view is about to draw items first..last: a range inside the cached
    // one changes nothing; any other range replaces the cache with those rows.
    void FillRowCache(int first, int last);
    // The cached row of item i, or a row decoded on the spot and not kept.
    TArchiveRow GetCachedRow(int item) const;
    void DropCache();
    int CacheFirst() const { return FCacheFirst; }
    int CacheLast() const { return FCacheLast; }
    // How many rows have been decoded since the list was made (for tests of the cache).
    int64_t DecodeCount() const { return FDecodeCount; }

    // ---- what the list view asks for
    // Text of column subItem of item i (empty when there are no rows): the name,
    // type, date, sizes as "#,###,###", ratio + "%", folder, attributes and CRC;
    // packed size and ratio show "?" for a cabinet, whose entries share packed data.
    std::string CellText(int item, int subItem, bool cabinet) const;
    int32_t ImageIndex(int item) const;

    // ---- totals: of the items given (the selected ones), or of every row when
    // none is given.
    TListTotals Totals(const std::vector<int>& selectedItems) const;

    // Column widths from the row texts: the widest text of each column plus its
    // margin; a column whose texts are all empty gets 0 (the name column always
    // its margin); without rows 200 for the names and 50 for the others.
    std::array<int, ArchiveColumnCount>
    AutoColumnWidths(const std::function<int(const std::string&)>& textWidth) const;

private:
    TRowStore FRows;
    bool FFilling = false;
    std::function<int(int)> FGrown;
    int FNextGrown = 0;
    void ReleaseKeys(int column) const;
    mutable std::array<std::vector<TSortKey>, ArchiveColumnCount> FKeys;
    mutable std::array<bool, ArchiveColumnCount> FKeysMade{};
    int FSortColumn = 0;
    bool FSortAscending = true;
    std::vector<TArchiveRow> FCache;
    int FCacheFirst = -1;
    int FCacheLast = -1;
    mutable int64_t FDecodeCount = 0;
};

// The five status-bar panels for the totals: the archive type's name (empty when
// nothing is counted), "Arquivos: n" or "Selec.: n", the size, the packed size and
// the ratio.
std::array<std::string, 5> TotalsPanels(const TListTotals& totals, const std::string& typeName);

} // namespace mv
