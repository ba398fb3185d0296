#pragma once
// The per-user registry of the program: keys with typed values, kept in one ini
// file ($XDG_CONFIG_HOME/morvelan/registry.ini, shared by the program and the
// shell extension). Each key is a section named after its full path ("\"
// separators, compared without case; keys of another root than the current
// user's carry the root's name in front); "@" is the key's default value; values
// are stored typed, "sz:" text, "dword:" 32-bit integers and "hex:" bytes, so
// that reading a value as the wrong type fails as it always did.
//
// The shape is the familiar one: open (or create) a key, then read, write and
// delete its values; delete a key with everything below it.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/IniFile.h"

namespace mv::platform {

// A value that could not be read: "Failed to get data for '<name>'" when it is
// missing, "Invalid data type for '<name>'" when it has another type.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TRootKey { HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE };
enum class TRegDataType { rdUnknown, rdString, rdInteger, rdBinary };

class RegistryStore {
public:
    // The store in its usual place (DefaultFileName()).
    RegistryStore();
    explicit RegistryStore(std::string fileName);

    // $XDG_CONFIG_HOME/morvelan/registry.ini ($HOME/.config when the variable is unset).
    static std::string DefaultFileName();
    const std::string& FileName() const { return FIni.FileName(); }

    TRootKey RootKey() const { return FRootKey; }
    void SetRootKey(TRootKey root);

    // Makes key the current key. A path starting with "\" is taken from the root,
    // another from the current key. False when the key does not exist and
    // canCreate is false.
    bool OpenKey(const std::string& key, bool canCreate);
    // Opens a key only when it exists, for reading.
    bool OpenKeyReadOnly(const std::string& key);
    void CloseKey();
    const std::string& CurrentPath() const { return FCurrentPath; }

    bool KeyExists(const std::string& key) const;
    // Removes a key and every key below it. False when it did not exist.
    bool DeleteKey(const std::string& key);
    // The names of the keys right below the current key.
    std::vector<std::string> GetKeyNames() const;
    // The value names of the current key ("" stands for the default value).
    std::vector<std::string> GetValueNames() const;
    bool HasSubKeys() const { return !GetKeyNames().empty(); }

    bool ValueExists(const std::string& name) const;
    TRegDataType GetDataType(const std::string& name) const;
    bool DeleteValue(const std::string& name);

    // A missing string value reads as "" (as it always did); a value of another type raises.
    std::string ReadString(const std::string& name) const;
    // A missing value or one of another type raises.
    int32_t ReadInteger(const std::string& name) const;
    bool ReadBool(const std::string& name) const { return ReadInteger(name) != 0; }
    std::vector<uint8_t> ReadBinaryData(const std::string& name) const;

    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int32_t value);
    void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
    void WriteBinaryData(const std::string& name, const std::vector<uint8_t>& data);

private:
    std::string SectionOf(const std::string& key) const;
    std::string Resolve(const std::string& key) const;
    std::string CurrentSection() const;
    void RequireOpen() const;

    IniFile FIni;
    TRootKey FRootKey = TRootKey::HKEY_CURRENT_USER;
    std::string FCurrentPath;
    bool FOpen = false;
};

} // namespace mv::platform
