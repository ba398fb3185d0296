#pragma once
// Building the self-extracting installer from the wizard's settings: the
// archive is extracted into a new temporary folder, zipped again by the vendor
// zip library behind a stub into a second temporary folder, and the result is
// copied to the destination (or zipped straight onto it over several disks
// when the destination lacks room). Both temporary folders are removed on
// every road, and only those this build made.
#include "app/packager/SfxWizard.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

// What the build hands to the self-extractor: the settings of the vendor
// library's self-extractor calls, in the form they are passed.
struct TSfxSetup {
    std::string Stub;                    // stub file
    std::array<std::string, 5> Strings;  // string slots 0..4
    std::array<std::string, 13> Messages;
    std::array<std::string, 13> Buttons;
    std::string Folder;     // default folder, "%e" when none
    int32_t Existing = 0;   // 0 ask, 1 never overwrite, 2 always
    bool HasGroup = false;  // a program group is set
    std::string Group;
    std::string GroupItems; // "app|description" CR LF ...
    bool HasAssociations = false;
    std::string Associations; // "app|ext|description" CR LF ...
    std::string Readme;
    std::vector<std::string> ExecuteAfter; // every value passed, in order (the last one stands)
    bool InstallMode = false;
    std::string Icon;
    std::string DefaultPassword;    // the installer opens its entries with it without asking
    std::string EncryptionPassword; // the entries are encrypted with it
};

// The setup for a wizard state. exclusivePassword is the generated password the
// exclusive protection uses.
TSfxSetup MakeSfxSetup(const TSfxSettings& s, const std::string& stubFolder, const std::string& exclusivePassword);

// The generated password of the exclusive protection: the program folder, a
// two-letter constant and the minutes and seconds of now.
std::string ExclusivePassword(const std::string& programFolder);

// The destination as the build takes it: the archive's name when empty, and
// always with the installer's extension.
std::string SfxDestination(const std::string& typed, const std::string& archive);

// The text of a vendor library result: empty for success; otherwise the
// unexpected-error text with the code, followed by the context in parentheses.
std::string VendorResultText(int code, const std::string& context);

class TSfxBuilder {
public:
    // Where the stubs are (the resource folder) and the temporary-folder option.
    std::string StubFolder;
    std::string TempFolder;
    // Message boxes: (text, kind, buttons) -> modal result, as ShowMessageBox.
    std::function<int(const std::string& text, uint8_t kind, uint16_t buttons)> MessageBox;
    std::function<void(const std::string&)> OnStatus;  // "" hides the status
    std::function<void(int percent)> OnProgress;       // -1 hides the bar
    std::function<void()> ProcessMessages;
    // Free bytes at a folder; the file system's answer unless a test sets it.
    std::function<bool(const std::string& folder, uint64_t& freeBytes)> FreeSpace;

    // The whole build; true when it reached its end (the success box shown).
    // The destination field is normalised in the wizard's settings.
    bool Build(TSfxWizard& wizard, const std::string& archive);

    // The folders of the last build (removed at its end).
    const std::string& ExtractionFolder() const { return FExtractionFolder; }
    const std::string& OutputFolder() const { return FOutputFolder; }

private:
    int Box(const std::string& text, uint8_t kind, uint16_t buttons);
    void Status(const std::string& text);
    void Progress(int percent);
    std::string FExtractionFolder;
    std::string FOutputFolder;
};

} // namespace mv
