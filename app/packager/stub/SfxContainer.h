#pragma once
// The self-extracting installer as the stub reads it: its own file is
//
//   [stub program] [settings block] [zip: local entries, central directory, end record]
//
// The zip's end record carries the comment "MVSFX1 <offset> <length> <crc32>"
// that locates the settings block; the block is "MVSFX1" and a NUL, then one
// field per setting, "key=<decimal length>:<that many bytes>\n". The zip's
// offsets count from the start of the file. Standard library and the archive
// engines' record, CRC, encryption and inflate code only: the stub is linked
// statically and runs where none of the program is installed.
#include "platform/FileSystem.h"

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace mv::sfx {

// A container that cannot be read (damaged, or not one of ours).
class EContainerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TSfxEntry {
    std::string Name; // as stored ("/" or "\" separators)
    uint16_t MadeBy = 0;
    uint16_t Flags = 0;
    uint16_t Method = 0;
    uint32_t DosDateTime = 0;
    uint32_t Crc32 = 0;
    uint32_t PackedSize = 0;
    uint32_t Size = 0;
    uint32_t ExternalAttributes = 0;
    uint32_t Offset = 0;
    bool Encrypted() const { return Flags & 1; }
    bool IsFolder() const { return !Name.empty() && (Name.back() == '/' || Name.back() == '\\'); }
    // The unix permission bits stored by a unix maker, else 0.
    uint32_t UnixMode() const { return (MadeBy >> 8) == 3 ? (ExternalAttributes >> 16) & 07777 : 0; }
};

// The stored name made safe: "\" becomes "/", "." and empty components go;
// an absolute name, a drive prefix or a ".." component gives "" (refused).
std::string SafeEntryName(const std::string& stored);

class TSfxContainer {
public:
    // Reads the settings and the central directory; raises EContainerError.
    explicit TSfxContainer(const std::string& path);

    // A setting's value; "" when it is missing.
    std::string Setting(const std::string& key) const;
    const std::vector<TSfxEntry>& Entries() const { return FEntries; }
    bool AnyEncrypted() const;

    // True when the password opens the entry (its encryption header checks and its data match its CRC).
    bool PasswordOpens(const TSfxEntry& entry, const std::string& password);

    // Writes the entry's data to out. Raises EContainerError for damaged data, a
    // wrong password (a failed check or CRC) or a method the stub does not decode.
    void Extract(const TSfxEntry& entry, const std::string& password, platform::File& out);

private:
    std::unique_ptr<platform::File> FFile;
    std::map<std::string, std::string> FSettings;
    std::vector<TSfxEntry> FEntries;
};

} // namespace mv::sfx
