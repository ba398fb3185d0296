#pragma once
// What the backup runner asks of the vendor zip library: list the archive it wrote,
// test it, and build a self-extracting one. The calls keep the library's names and
// result codes (0 success; 500 nothing to add, 502 corrupt, 512 stub missing,
// 517 aborted, 519 not a zip, 527 some files skipped...), so that the runner stands
// on the library's own layer through one adapter.
//
// TArchiveCheckVendor is the stand-in used until that layer is in place: it lists
// through the zip writer's directory reader and tests with the ZIP reader, and it
// builds no self-extractors (512).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

// Result codes of the library that the runner reads.
constexpr int16_t vzOk = 0, vzZipEmpty = 500, vzCorrupt = 502, vzStubMissing = 512, vzAborted = 517,
                  vzNotAZip = 519, vzSomeSkipped = 527, vzNoTextA = 118, vzNoTextB = 526, vzCannotOpen = 103,
                  vzCrcError = 107;

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
    virtual ~TBackupVendor() = default;

    // A fresh set of settings for the named archive.
    virtual void ResetVendorZip(const std::string& zipName) = 0;
    virtual int16_t VzListZipContents(const std::function<void(const TListedEntry&)>& onEntry) = 0;
    // Tests every entry (all = 1).
    virtual int16_t VzTestZipFile(int16_t all) = 0;
    // Adds the files (full paths, paths kept, no subfolders) to a self-extracting archive.
    virtual int16_t VzZipSelfExtracting(const std::vector<std::string>& files, bool spanDisks,
                                        const TSfxTexts& texts) = 0;
    virtual void VzSetAbort(int16_t value) = 0;

    // A warning for one file (events 6 and 17): stored name and reason code.
    std::function<void(const std::string& name, int code)> OnWarning;
    // Lets the caller's interface breathe during long operations.
    std::function<void()> ProcessMessages;
};

class TArchiveCheckVendor : public TBackupVendor {
public:
    void ResetVendorZip(const std::string& zipName) override;
    int16_t VzListZipContents(const std::function<void(const TListedEntry&)>& onEntry) override;
    int16_t VzTestZipFile(int16_t all) override;
    int16_t VzZipSelfExtracting(const std::vector<std::string>& files, bool spanDisks,
                                const TSfxTexts& texts) override;
    void VzSetAbort(int16_t value) override { FAbort = value != 0; }

private:
    std::string FZipName;
    bool FAbort = false;
};

} // namespace mv
