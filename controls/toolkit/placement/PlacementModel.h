#pragma once
// What a form placement stores and how it reads it back, apart from any window: the
// storage (an ini file or a registry key), the key names and value formats, the
// screen-size suffix, the reading fall-backs, the show-command map and the default
// names.
#include "platform/IniFile.h"
#include "platform/RegistryStore.h"
#include "platform/ui/Graphics.h"

#include <memory>
#include <string>
#include <vector>

namespace mv {

// Where placements are kept: sections of string values.
class TPlacementStorage {
public:
    virtual ~TPlacementStorage() = default;
    virtual std::string ReadString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const = 0;
    virtual void WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;
    virtual void EraseSection(const std::string& section) = 0;
    // Decimal integers; Default when missing or not a number.
    int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
    void WriteInteger(const std::string& section, const std::string& key, int value);
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;
    void WriteBool(const std::string& section, const std::string& key, bool value);
};

// An ini file. A value that begins and ends with a double quote, or with a single
// quote, is written inside one more pair of double quotes, since reading strips one.
class TIniPlacementStorage : public TPlacementStorage {
public:
    explicit TIniPlacementStorage(const std::string& fileName) : FIni(fileName) {}
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const override;
    void WriteString(const std::string& section, const std::string& key, const std::string& value) override;
    void EraseSection(const std::string& section) override;

private:
    platform::IniFile FIni;
};

// A key of the user's registry: each section is a subkey of it; values are written
// unchanged.
class TRegistryPlacementStorage : public TPlacementStorage {
public:
    // An empty store file name uses the registry's usual place.
    TRegistryPlacementStorage(const std::string& baseKey, const std::string& storeFileName);
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const override;
    void WriteString(const std::string& section, const std::string& key, const std::string& value) override;
    void EraseSection(const std::string& section) override;

private:
    std::string KeyOf(const std::string& section) const;
    std::unique_ptr<platform::RegistryStore> FStore;
    std::string FBaseKey;
};

// "(%dx%d)" of the screen size, put directly after the two position keys.
std::string ScreenSizeSuffix(int screenWidth, int screenHeight);

// What the placement keeps of a window.
struct TPlacementRecord {
    int Flags = 0;
    int ShowCmd = 1;
    int PixelsPerInch = 96;
    TPoint MinPosition{-1, -1};
    TPoint MaxPosition{-1, -1};
    TRect Normal;
};

// Writes "Flags", "ShowCmd", "PixelsPerInch", then "MinMaxPos" and "NormPos" each
// twice: under the key followed by the screen-size suffix, then under the plain key.
void WritePlacementRecord(TPlacementStorage& storage, const std::string& section,
                          const TPlacementRecord& record, int screenWidth, int screenHeight);

// What reading finds. With no data (neither position key present, or the pixels per
// inch differ from the screen's) the position is left as it is.
struct TPlacementReading {
    bool HasData = false;
    TPlacementRecord Record;
};

// Reads the position keys: the suffixed key, else the plain one; four comma-separated
// numbers, a missing or bad one taking its default (0 for the minimised and maximised
// positions; the current normal rectangle's for "NormPos"); "Flags" and
// "PixelsPerInch" default to the current ones.
TPlacementReading ReadPlacementRecord(const TPlacementStorage& storage, const std::string& section,
                                      const TPlacementRecord& current, int screenWidth, int screenHeight,
                                      int screenPixelsPerInch);

enum class TShownState { ssNormal, ssMinimized, ssMaximized };
// The state a stored show command restores: 1, 5, 9 normal; 2, 6, 7 minimised; 3
// maximised; any other the default.
TShownState ShownStateOfShowCmd(int showCmd, TShownState defaultState);

// True when the rectangle shares at least one pixel with one of the work areas.
bool RectOnAnyScreen(const TRect& rect, const std::vector<TRect>& workAreas);

// The default ini file: the program's file name with the extension ".INI", in the
// user's configuration folder ($XDG_CONFIG_HOME/morvelan, else ~/.config/morvelan),
// never in the current folder.
std::string DefaultIniFileName(const std::string& executablePath);
// The default registry key: "Software\" [company "\"] and the title (when it is to be
// used and is not empty) or the program's name without extension.
std::string DefaultRegistryKey(const std::string& title, bool useTitle, const std::string& executablePath,
                               const std::string& companyPrefix);

// What the default section of a component is made of.
struct TSectionSubject {
    enum Kind { skNone, skForm, skControl, skOther } Kind = skNone;
    std::string ClassName;           // a form's
    std::string Name;                // the component's
    std::string ParentFormClassName; // a control's parent form, or empty
    std::string ParentName;          // a control's parent when there is no parent form, or empty
    std::string OwnerFormClassName;  // another component's owner form, or empty
};
// A form: its class name. A control: its parent form's class name followed by its name
// (no parent form: its parent's name followed by its name, or its name alone). Another
// component owned by a form: "<owner class>.<name>"; else its name. Nothing: empty.
std::string DefaultSection(const TSectionSubject& subject);

} // namespace mv
