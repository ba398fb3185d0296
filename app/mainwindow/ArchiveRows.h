#pragma once
// The two writers of the archive list's rows: the lister's current entry (every
// type but ZIP, and the writers' reports of new entries) and the vendor zip
// library's listing event (ZIP types). Both give the same fields in the same
// forms; only the attribute letters differ (the lister's four-position text,
// the vendor library's letters of the attributes present).
#include "app/mainwindow/ArchiveList.h"
#include "archive/framework/EntryInfo.h"

#include <cstdint>
#include <functional>
#include <string>

namespace mv {

struct TVzListingBlock;

// The index of a file type's icon in the shared image list, by the name's
// extension (the file need not exist); 0 until the desktop layer sets a lookup.
void SetFileIconIndexHook(std::function<int32_t(const std::string& fileName)> lookup);
int32_t FileIconIndex(const std::string& fileName);

// Splits a stored name at its last "\" or "/": the folder keeps its trailing
// "\" ("/" becomes "\"), the name is what follows.
void SplitStoredName(const std::string& stored, std::string& folder, std::string& name);

// A row from the lister's current entry and its attribute text (the component's
// four-character text, upper-cased here).
TArchiveRow RowFromEntry(const TArcEntryInfo& entry, const std::string& attributeText);
// A row from the vendor library's listing block.
TArchiveRow RowFromVendorListing(const TVzListingBlock& block);
// The vendor library's attribute bits as letters, in the order A D V S H R.
std::string VendorAttributeLetters(int32_t attributes);

} // namespace mv
