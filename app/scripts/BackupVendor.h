#pragma once
// The backup runner's hold on one instance of the vendor zip library: it resets
// the instance before each operation, lists the archive it wrote, tests it and
// builds a self-extracting one, and turns the library's events into the runner's
// hooks. The calls keep the library's result codes (vzr:: in VendorZip.h).
//
// The operations are virtual so that a test can script a result the real
// library gives only in rare conditions; the class itself always drives the
// library.
#include "archive/libraries/vendorzip/VendorZip.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

// The texts a self-extracting backup carries, by the library's slots.
struct TSfxTexts {
    std::string BinaryModule;
    std::string Strings[5];
    std::string Messages[13];
    std::string Buttons[13];
    std::string DefaultUnzipToFolder;
    int ExistingFileBehavior = 0;
    std::string IconFilename;
};

class TBackupVendor {
public:
    // One entry of a listing (event 1).
    struct TListedEntry {
        std::string Name;
        uint64_t Size = 0;
        uint64_t PackedSize = 0;
        bool NotShown = false; // folder entries
    };

    // Makes an instance of its own, bound to this object's receiver.
    TBackupVendor();
    virtual ~TBackupVendor();
    TBackupVendor(const TBackupVendor&) = delete;
    TBackupVendor& operator=(const TBackupVendor&) = delete;

    uint32_t Handle() const { return FHandle; }

    // Puts the instance back to the program's defaults for the named archive:
    // level 6, paths kept, subfolders on, spanning on, temporary file on, no
    // stub module, no lists, abort off. The self-extractor texts stay.
    virtual void ResetVendorZip(const std::string& zipName);
    virtual int16_t VzListZipContents(const std::function<void(const TListedEntry&)>& onEntry);
    // Tests every entry (all = 1).
    virtual int16_t VzTestZipFile(int16_t all);
    // Adds the files (full paths, paths kept, no subfolders, opened files too) to a
    // self-extracting archive with the texts given.
    virtual int16_t VzZipSelfExtracting(const std::vector<std::string>& files, bool spanDisks,
                                        const TSfxTexts& texts);
    void VzSetAbort(int16_t value);

    // A skip or warning for one file (events 6 and 17): its name and reason code.
    std::function<void(const std::string& name, int code)> OnWarning;
    // A file is being added (event 9): its source path and the percent done so far.
    std::function<void(const std::string& file, int percent)> OnFileBegin;
    // Lets the caller's interface breathe during long operations (every event).
    std::function<void()> ProcessMessages;

private:
    void Receive(uint32_t event, void* block);

    uint32_t FHandle = 0;
    std::function<void(const TListedEntry&)> FOnEntry;
};

} // namespace mv
