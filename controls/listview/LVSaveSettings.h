#pragma once
// The saved column settings of the extended list views: widths, column order and the
// sort column and direction, kept under the list's own key of the per-user registry
// store ("Columns"\"Sizes", "Columns"\"Order", "Sort"\"Ascending", "Sort"\"SortCol",
// all text values). Each operation opens the key for its own duration.
#include <string>
#include <vector>

namespace mv {

class TLVCoreSaveSettings {
public:
    virtual ~TLVCoreSaveSettings() = default;

    // Load when the list is loaded, save when it goes away.
    bool AutoSave() const { return FAutoSave; }
    void SetAutoSave(bool value) { FAutoSave = value; }
    // The key below the current user's root ("Software\Morvelan\Colunas").
    const std::string& RegistryKey() const { return FRegistryKey; }
    void SetRegistryKey(const std::string& value) { FRegistryKey = value; }
    bool SaveColumnSizes() const { return FSaveColumnSizes; }
    void SetSaveColumnSizes(bool value) { FSaveColumnSizes = value; }
    bool SaveCurrentSort() const { return FSaveCurrentSort; }
    void SetSaveCurrentSort(bool value) { FSaveCurrentSort = value; }
    // Only the extended list's settings keep the column order.
    virtual bool SaveColumnOrder() const { return false; }

    // The widths (or the order) joined by ","; nothing for no columns.
    void WriteSizes(const std::vector<int>& widths) const;
    void WriteOrder(const std::vector<int>& order) const;
    // Up to widths.size() pieces from the left; a piece that is not an integer leaves
    // its entry; missing trailing pieces leave theirs. A missing or empty value sets
    // widths[0] to -1 (nothing stored) and leaves the rest.
    void ReadSizes(std::vector<int>& widths) const;
    // Like ReadSizes, but a piece that is not an integer stores 0, and a missing or
    // empty value gives 0, 1, ..., n-1. Entries without a piece keep what they hold.
    void ReadOrder(std::vector<int>& order) const;
    void WriteSort(bool ascending, int column) const;
    // Defaults: ascending and column 0.
    void ReadSort(bool& ascending, int& column) const;

private:
    std::string Read(const std::string& subkey, const std::string& name) const;
    void Write(const std::string& subkey, const std::string& name, const std::string& value) const;

    bool FAutoSave = false;
    std::string FRegistryKey;
    bool FSaveColumnSizes = true;
    bool FSaveCurrentSort = true;
};

class TExtLVSaveSettings : public TLVCoreSaveSettings {
public:
    bool SaveColumnOrder() const override { return FSaveColumnOrder; }
    void SetSaveColumnOrder(bool value) { FSaveColumnOrder = value; }

private:
    bool FSaveColumnOrder = true;
};

// An integer as ini files read it: decimal, or hexadecimal after "0x"; false when it
// is not one (or does not fit 32 bits).
bool ParseSettingsInteger(const std::string& text, int& value);

} // namespace mv
