#pragma once
// Routines that every archive component shares: name matching, entry-name
// conversions between the OEM code page and UTF-8 and between "/" and "\", path
// and folder routines, the file search with attribute filters, DOS and unix date
// conversions, tar octal fields, and a few small helpers. File-system access goes
// through platform/FileSystem.h, so the tests' fake drives apply here too.
//
// File-system paths use "/". Entry names inside the system use "\" (as stored
// names are converted by OemToAnsiPath); the readers and writers turn them into
// file-system paths at the edge.
#include "platform/FileSystem.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mv {

// Days since 1899-12-30 (the fraction is the time of day), in local time.
using TDateTime = double;

// 1980-01-01 00:00:00, the date given for a missing or invalid DOS date.
constexpr TDateTime kDosEpochDateTime = 29221.0;

// Raised by the routines here with a string-table number (ForceDirs: 25156).
class ERoutineError : public std::runtime_error {
public:
    ERoutineError(int errorCode, const std::string& message, const std::string& path);
    int ErrorCode() const { return FErrorCode; }
    const std::string& Path() const { return FPath; }

private:
    int FErrorCode;
    std::string FPath;
};

// --- Names and paths ---

// An empty path stays empty; otherwise "/" is added unless it already ends in one.
std::string AppendBackslash(const std::string& Path);
// Removes one trailing "/" (file-system paths) or "\" (entry names); the root "/" stays.
std::string RemoveTrailingBackslash(const std::string& Path);
std::string SlashToBackslash(std::string Name);
std::string BackslashToSlash(std::string Name);

// A stored entry name in the OEM code page to the system's form: UTF-8, "/" turned to "\".
std::string OemToAnsiPath(const std::string& Name);
// The system's name to its stored form with "/" turned to "\": the OEM bytes when
// every character has an OEM form; otherwise the UTF-8 text unchanged and *isUtf8
// set, so that the writer marks the name as UTF-8 (ZIP flag bit 11) or refuses it
// where its format has no such mark. An unrepresentable character never becomes "?".
std::string AnsiToOemPath(const std::string& Name, bool* isUtf8 = nullptr);
// The same for an entry name already known to be UTF-8 (ZIP flag bit 11): only "/" to "\".
std::string Utf8ToAnsiPath(const std::string& Name);
// A stored name whose writer's host is known: a Unix host stores its own bytes,
// UTF-8 on every current system, so a valid UTF-8 name from one is taken as it
// stands; other names (and other hosts') go through the OEM table.
std::string HostNameToAnsiPath(const std::string& Name, bool unixHost);

// Removes a leading separator ("\" or "/") or a drive part ("C:\", "C:"):
// "\\server\x" keeps one "\" of the two; "" stays "".
std::string StripDrive(const std::string& Path);
// True when the path begins with "\\" (or "//").
bool IsUNCPath(const std::string& Path);
// The 0-based index of the first "." of Name, else its length.
size_t ExtPos(const std::string& Name);
// The part after the last "\" or "/".
std::string ExtractEntryFileName(const std::string& Name);
// Removes every empty line; every other line becomes its file-name part with "/"
// turned to "\". Changes the list it is given.
void NormalizeSpecList(std::vector<std::string>& List);
// When Token occurs in S: Head := text before its first occurrence, S loses that
// text and the token. Otherwise Head := S and S := "".
void SplitAtToken(std::string& S, const std::string& Token, std::string& Head);
// Every character is a decimal digit ("" counts as all digits).
bool IsAllDigits(const std::string& S);
// Exchanges the upper and lower 16 bits.
uint32_t SwapWords(uint32_t Value);
// True for the first two bytes (as a little-endian word) of GZip and compress files:
// 0x1E1F, 0x8B1F, 0x9D1F, 0x9E1F, 0xA01F.
bool IsGZipMagic(uint16_t Word);

// Wildcard matching of entry names: "*" any run, "?" one character (a whole UTF-8
// character); wildcards may stand on both sides; ASCII letters compare without
// case. A mask ending in "." asks for a name without extension; "*.*" matches
// every name. With NamesOnly both are reduced to their file-name parts. Takes time
// proportional to mask length x name length at worst, whatever the mask.
bool WildcardMatch(const std::string& Mask, const std::string& Name, bool NamesOnly);

// --- Files and folders ---

// The CRC-32 register over the whole file, read from position 0 in pieces of
// 100000 bytes, started from CrcSeed, without the final inversion; the end of the
// file ends it (a read error raises). The file is at position 0 afterwards.
uint32_t StreamCRC32(platform::File& Stream);

// Reads Length bytes at Offset into S with every NUL byte turned into a blank;
// Offset += Length. False (S holding what could be read) on a short read.
bool ReadFixedField(platform::File& File, int64_t& Offset, size_t Length, std::string& S);
// Reads up to 256 bytes at Offset; S := the text up to the first NUL;
// Offset += length of S + 1. False when nothing could be read.
bool ReadCString(platform::File& File, int64_t& Offset, std::string& S);

bool DirExists(const std::string& Path);
// A search for the name or mask (any attributes) finds something.
bool FileExistsFind(const std::string& Mask);
// The file exists and has none of read-only, hidden, system, folder, volume.
bool IsPlainFile(const std::string& Name);
// Creates a folder and the folders above it. Raises ERoutineError 25156
// "Não foi possível criar o diretório" for an empty path or when a folder cannot be made.
void ForceDirs(const std::string& Path);
// The system's temporary folder ($TMPDIR, else /tmp), or "" when it does not exist.
std::string GetTempDirectory();

// The search record of ArcFindFirst/ArcFindNext.
struct TArcSearchRec {
    uint16_t Time = 0; // DOS time of the last write, local
    uint16_t Date = 0; // DOS date of the last write, local
    uint64_t Size = 0;
    uint8_t Attr = 0; // DOS attributes
    std::string Name;
    uint8_t ExcludeAttr = 0; // hidden, system, volume and folder bits not asked for
    // The search itself: the matching entries of the folder and the next one.
    std::vector<platform::DirEntry> Found;
    size_t Next = 0;
};
// Starts a search for Mask ("folder/*.txt"; DOS mask meaning); entries with a
// hidden, system, volume or folder attribute that Attr does not ask for are passed
// over. Answers 0, or the system error number (ENOENT when nothing matches).
int ArcFindFirst(const std::string& Mask, uint8_t Attr, TArcSearchRec& Rec);
int ArcFindNext(TArcSearchRec& Rec);
void ArcFindClose(TArcSearchRec& Rec);

// --- Dates ---

// The local DOS date and time (date in the high word) of a file time (unix seconds).
uint32_t FileDosDateTime(int64_t FileTime);
// TDateTime of a DOS date and time; 0 or an invalid value gives 29221 (1980-01-01 00:00).
TDateTime DosDateTimeToDateTime(uint32_t Value);
// DOS date and time of a TDateTime (clamped to 1980..2107).
uint32_t DateTimeToDosDateTime(TDateTime Value);
// Unix seconds of a local TDateTime, by the zone rules in force at that date.
int64_t DateTimeToUnixTime(TDateTime Value);
// Local TDateTime of unix seconds; 0 gives 1980-01-01 00:01:00.
TDateTime UnixTimeToDateTime(int64_t Seconds);
// Calendar helpers.
TDateTime EncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second);
void DecodeDateTime(TDateTime Value, int& Year, int& Month, int& Day, int& Hour, int& Minute, int& Second);
bool IsLeapYear(int Year);
// Cumulative days before each month, and month lengths (February of a common year).
extern const uint16_t kDaysBeforeMonth[12];
extern const uint8_t kMonthDays[12];

// --- Tar octal fields ---

// Fills Width bytes of Buffer: blanks, the octal digits of Value right-aligned
// before the last byte (with Terminate: the last byte is NUL and the one before it
// a blank, the digits stand before that blank). When the digits do not fit: a
// terminated field gives up its blank; then the field takes the base-256 form (first
// byte 0x80, the value big-endian in the rest). False, with the field all blanks,
// when even that cannot hold the value. Never writes outside the Width bytes.
bool IntToOctalField(uint64_t Value, size_t Width, bool Terminate, uint8_t* Buffer);
// Reads an octal field: leading blanks and NULs, the digits 0 to 7, then the end or
// blanks and NULs only. The base-256 form (first byte 0x80) is read too. False for
// any other character, a negative base-256 value or a value above 2^63 - 1. An
// empty or all-blank field is 0.
bool OctalStrToInt(std::string_view S, uint64_t& Value);

// Every byte of S minus Delta (Subtract) or plus Delta, modulo 256.
std::string ShiftStringBytes(bool Subtract, const std::string& S, uint8_t Delta);

// --- Small routines ---

inline int64_t MinInt(int64_t A, int64_t B) {
    return A < B ? A : B;
}
// Percent of Part in Total, rounded: 0 when Total is below 1; clamped to 0..100.
uint8_t ProgressPercent(int64_t Part, int64_t Total);
// Copies Count bytes between possibly overlapping blocks.
void MoveBytes(const void* Source, void* Dest, size_t Count);

} // namespace mv
