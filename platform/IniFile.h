#pragma once
// Ini files with the private-profile rules the program's settings files were
// always written under: section and key names compare without case, a value is
// the text after the first "=", trimmed, with one pair of surrounding quotes
// removed; lines starting with ";" are comments. Every write goes straight to
// the file through an atomic replace (the old file stays whole when a write
// fails), and every line the program does not know is kept. Each read looks at
// the file as it is now, so two instances of the program see each other's
// writes.
//
// Files are UTF-8. LF is written; CR LF is read, and a file that already uses
// CR LF keeps it.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace mv::platform {

// A write that could not be done: "Unable to write to <file>".
class EIniFileException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class IniFile {
public:
    explicit IniFile(std::string fileName);

    const std::string& FileName() const { return FFileName; }

    // The value of Key in Section, or Default when the file, the section or the
    // key is missing.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // Decimal or "0x" hexadecimal, with an optional sign; Default when missing or
    // not a number.
    int64_t ReadInteger(const std::string& section, const std::string& key, int64_t defaultValue) const;
    // A number other than 0 is true; Default when missing or not a number.
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int64_t value);
    // "1" or "0".
    void WriteBool(const std::string& section, const std::string& key, bool value);

    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;
    // The key names of a section, in file order (each name once).
    std::vector<std::string> ReadSection(const std::string& section) const;
    // Every section name, in file order (each name once).
    std::vector<std::string> ReadSections() const;
    // "key=value" for every key of a section, in file order.
    std::vector<std::string> ReadSectionValues(const std::string& section) const;

    // Adds an empty section when there is none of that name.
    void AddSection(const std::string& section);
    // Removes a section with all its lines; a missing section is no error.
    void EraseSection(const std::string& section);
    // Removes a key; a missing key is no error.
    void DeleteKey(const std::string& section, const std::string& key);

private:
    std::string FFileName;
};

// ASCII case-insensitive equality, as section and key names compare.
bool SameIniName(const std::string& a, const std::string& b);

} // namespace mv::platform
