#include "archive/framework/SharedRoutines.h"

#include "archive/framework/Crc.h"
#include "archive/framework/TextUtils.h"
#include "platform/CodePage.h"
#include "platform/LocalTime.h"
#include "resources/ArcErrorTexts.h"

#include <cerrno>
#include <cmath>
#include <cstring>

namespace mv {

using namespace platform;

ERoutineError::ERoutineError(int errorCode, const std::string& message, const std::string& path)
    : std::runtime_error(message), FErrorCode(errorCode), FPath(path) {}

// --- Names and paths ---

std::string AppendBackslash(const std::string& Path) {
    if (Path.empty() || Path.back() == '/') return Path;
    return Path + "/";
}

std::string RemoveTrailingBackslash(const std::string& Path) {
    if (Path.size() > 1 && (Path.back() == '/' || Path.back() == '\\'))
        return Path.substr(0, Path.size() - 1);
    return Path;
}

std::string SlashToBackslash(std::string Name) {
    for (char& c : Name)
        if (c == '/') c = '\\';
    return Name;
}

std::string BackslashToSlash(std::string Name) {
    for (char& c : Name)
        if (c == '\\') c = '/';
    return Name;
}

std::string OemToAnsiPath(const std::string& Name) {
    return SlashToBackslash(OemToUtf8(Name));
}

std::string AnsiToOemPath(const std::string& Name, bool* isUtf8) {
    std::string oem;
    bool all = Utf8ToOem(Name, oem);
    if (isUtf8) *isUtf8 = !all;
    return SlashToBackslash(all ? oem : Name);
}

std::string Utf8ToAnsiPath(const std::string& Name) {
    return SlashToBackslash(Name);
}

std::string HostNameToAnsiPath(const std::string& Name, bool unixHost) {
    return unixHost && IsValidUtf8(Name) ? Utf8ToAnsiPath(Name) : OemToAnsiPath(Name);
}

namespace {
bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}
} // namespace

std::string StripDrive(const std::string& Path) {
    if (Path.empty()) return Path;
    if (IsSeparator(Path[0])) return Path.substr(1);
    size_t colon = Path.find(':');
    if (colon == std::string::npos) return Path;
    if (colon + 1 < Path.size() && IsSeparator(Path[colon + 1])) return Path.substr(colon + 2);
    return Path.substr(colon + 1);
}

bool IsUNCPath(const std::string& Path) {
    return Path.size() >= 2 && IsSeparator(Path[0]) && IsSeparator(Path[1]) && Path[0] == Path[1];
}

size_t ExtPos(const std::string& Name) {
    size_t p = Name.find('.');
    return p == std::string::npos ? Name.size() : p;
}

std::string ExtractEntryFileName(const std::string& Name) {
    size_t p = Name.find_last_of("\\/");
    return p == std::string::npos ? Name : Name.substr(p + 1);
}

void NormalizeSpecList(std::vector<std::string>& List) {
    std::vector<std::string> out;
    out.reserve(List.size());
    for (const auto& line : List)
        if (!line.empty()) out.push_back(ExtractEntryFileName(SlashToBackslash(line)));
    List = std::move(out);
}

void SplitAtToken(std::string& S, const std::string& Token, std::string& Head) {
    size_t p = Token.empty() ? std::string::npos : S.find(Token);
    if (p == std::string::npos) {
        Head = S;
        S.clear();
    } else {
        Head = S.substr(0, p);
        S.erase(0, p + Token.size());
    }
}

bool IsAllDigits(const std::string& S) {
    for (char c : S)
        if (c < '0' || c > '9') return false;
    return true;
}

uint32_t SwapWords(uint32_t Value) {
    return (Value << 16) | (Value >> 16);
}

bool IsGZipMagic(uint16_t Word) {
    return Word == 0x1E1F || Word == 0x8B1F || Word == 0x9D1F || Word == 0x9E1F || Word == 0xA01F;
}

// --- Wildcard matching ---

namespace {

// One character of a name: its code point (a broken UTF-8 byte stands alone as
// 0x110000 + byte so that it only equals itself).
std::vector<uint32_t> CodePoints(const std::string& s) {
    std::vector<uint32_t> out;
    out.reserve(s.size());
    size_t pos = 0;
    while (pos < s.size()) {
        size_t start = pos;
        uint32_t cp;
        if (DecodeUtf8(s, pos, cp))
            out.push_back(cp);
        else
            out.push_back(0x110000u + static_cast<unsigned char>(s[start]));
    }
    return out;
}

uint32_t Fold(uint32_t c) {
    return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

bool AllStars(const std::vector<uint32_t>& v, size_t from) {
    for (size_t i = from; i < v.size(); ++i)
        if (v[i] != '*') return false;
    return true;
}

// Both sides may hold "*" and "?". f(i, j) tells whether mask[i..] matches
// name[j..]; computed from the ends backwards over two rows, so the time is
// |mask| x |name| and the memory |name|, whatever the wildcards.
bool MatchBothWays(const std::vector<uint32_t>& m, const std::vector<uint32_t>& n) {
    const size_t M = m.size(), N = n.size();
    std::vector<uint8_t> below(N + 1), row(N + 1);
    // Row i = M: the mask is used up, so the rest of the name must be only "*".
    for (size_t j = 0; j <= N; ++j) below[j] = AllStars(n, j);
    for (size_t i = M; i-- > 0;) {
        // Column j = N: the name is used up, so the rest of the mask must be only "*".
        row[N] = AllStars(m, i);
        for (size_t j = N; j-- > 0;) {
            bool r;
            if (m[i] == '*')
                r = below[j] || row[j + 1]; // the star takes nothing, or one more character
            else if (n[j] == '*')
                r = row[j + 1] || below[j];
            else if (m[i] == '?' || n[j] == '?' || Fold(m[i]) == Fold(n[j]))
                r = below[j + 1];
            else
                r = false;
            row[j] = r;
        }
        std::swap(below, row);
    }
    return below[0];
}

bool HasDot(const std::string& s) {
    return s.find('.') != std::string::npos;
}

} // namespace

bool WildcardMatch(const std::string& MaskIn, const std::string& NameIn, bool NamesOnly) {
    std::string mask = NamesOnly ? ExtractEntryFileName(MaskIn) : MaskIn;
    std::string name = NamesOnly ? ExtractEntryFileName(NameIn) : NameIn;
    // A mask ending in "." asks for a name without extension; a mask without "."
    // meets a name with ".*" by gaining ".*". The same for the name against the mask.
    if (!mask.empty() && mask.back() == '.')
        mask.pop_back();
    else if (!HasDot(mask) && name.find(".*") != std::string::npos)
        mask += ".*";
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    else if (!HasDot(name) && mask.find(".*") != std::string::npos)
        name += ".*";

    if (mask.empty() && name.empty()) return true;
    if (!((!mask.empty() && (!name.empty() || mask[0] == '*')) || (mask.empty() && name[0] == '*')))
        return false;
    return MatchBothWays(CodePoints(mask), CodePoints(name));
}

// --- Files and folders ---

uint32_t StreamCRC32(File& Stream) {
    uint32_t reg = CrcSeed;
    std::vector<uint8_t> buf(100000);
    Stream.Seek(0);
    for (;;) {
        size_t n = Stream.Read(buf.data(), buf.size());
        UpdateCRC32(buf.data(), n, reg);
        if (n < buf.size()) break;
    }
    Stream.Seek(0);
    return reg;
}

bool ReadFixedField(File& file, int64_t& Offset, size_t Length, std::string& S) {
    S.assign(Length, '\0');
    size_t got = file.ReadAt(Offset, S.data(), Length);
    S.resize(got);
    for (char& c : S)
        if (c == '\0') c = ' ';
    Offset += static_cast<int64_t>(Length);
    return got == Length;
}

bool ReadCString(File& file, int64_t& Offset, std::string& S) {
    char buf[256];
    size_t got = file.ReadAt(Offset, buf, sizeof buf);
    size_t len = 0;
    while (len < got && buf[len] != '\0') ++len;
    S.assign(buf, len);
    Offset += static_cast<int64_t>(len) + 1;
    return got > 0;
}

bool DirExists(const std::string& Path) {
    return IsDirectory(Path);
}

bool FileExistsFind(const std::string& Mask) {
    TArcSearchRec rec;
    int r = ArcFindFirst(Mask, faReadOnly | faHidden | faSysFile | faVolumeID | faDirectory | faArchive, rec);
    ArcFindClose(rec);
    return r == 0;
}

bool IsPlainFile(const std::string& Name) {
    FileInfo info;
    if (!Fs().Stat(Name, info)) return false;
    return (info.Attributes & (faReadOnly | faHidden | faSysFile | faDirectory | faVolumeID)) == 0;
}

void ForceDirs(const std::string& Path) {
    static const char* const text = "Não foi possível criar o diretório";
    if (Path.empty()) throw ERoutineError(arcerr::CannotCreateFolder, text, Path);
    std::string p = RemoveTrailingBackslash(Path);
    if (p == "/" || DirExists(p)) return;
    std::string parent = DirectoryOf(p);
    if (!parent.empty() && parent != p) ForceDirs(parent);
    try {
        Fs().CreateDirectory(p);
    } catch (const FileError& e) {
        // Someone else may have made it meanwhile; anything else is a failure.
        if (!(e.Code() == EEXIST && DirExists(p))) throw ERoutineError(arcerr::CannotCreateFolder, text, p);
    }
}

std::string GetTempDirectory() {
    std::string t = Fs().TempDirectory();
    return DirExists(t) ? t : std::string();
}

namespace {

void FillSearchRec(TArcSearchRec& Rec) {
    const DirEntry& e = Rec.Found[Rec.Next++];
    uint32_t dos = DosDateTimeOf(e.Info.ModTime);
    Rec.Date = static_cast<uint16_t>(dos >> 16);
    Rec.Time = static_cast<uint16_t>(dos & 0xFFFF);
    Rec.Size = e.Info.Size;
    Rec.Attr = e.Info.Attributes;
    Rec.Name = e.Name;
}

} // namespace

int ArcFindFirst(const std::string& Mask, uint8_t Attr, TArcSearchRec& Rec) {
    Rec = TArcSearchRec{};
    Rec.ExcludeAttr = static_cast<uint8_t>(~Attr & (faHidden | faSysFile | faVolumeID | faDirectory));
    std::string dir = DirectoryOf(Mask);
    std::string pattern = NameOf(Mask);
    // No folder: the current one. Appended to the empty string: assigning a literal
    // makes an optimised GCC 12 build warn of a false overlap.
    if (dir.empty()) dir.push_back('.');
    std::vector<DirEntry> all;
    try {
        all = ListMatching(dir, pattern);
    } catch (const FileError& e) {
        return e.Code();
    }
    for (auto& e : all)
        if ((e.Info.Attributes & Rec.ExcludeAttr) == 0) Rec.Found.push_back(std::move(e));
    if (Rec.Found.empty()) return ENOENT;
    FillSearchRec(Rec);
    return 0;
}

int ArcFindNext(TArcSearchRec& Rec) {
    if (Rec.Next >= Rec.Found.size()) return ENOENT;
    FillSearchRec(Rec);
    return 0;
}

void ArcFindClose(TArcSearchRec& Rec) {
    Rec.Found.clear();
    Rec.Next = 0;
}

// --- Dates ---

const uint16_t kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
const uint8_t kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool IsLeapYear(int Year) {
    return (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0;
}

namespace {

using platform::CivilFromDays;
using platform::DaysFromCivil;

// TDateTime day 0 is 1899-12-30.
const int64_t kDateTimeDayOfUnixEpoch = 25569;

LocalDateTime ToLocal(TDateTime v) {
    LocalDateTime l;
    DecodeDateTime(v, l.Year, l.Month, l.Day, l.Hour, l.Minute, l.Second);
    return l;
}

TDateTime FromLocal(const LocalDateTime& l) {
    return EncodeDateTime(l.Year, l.Month, l.Day, l.Hour, l.Minute, l.Second);
}

} // namespace

TDateTime EncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second) {
    double days = static_cast<double>(DaysFromCivil(Year, Month, Day) + kDateTimeDayOfUnixEpoch);
    return days + (Hour * 3600.0 + Minute * 60.0 + Second) / 86400.0;
}

void DecodeDateTime(TDateTime Value, int& Year, int& Month, int& Day, int& Hour, int& Minute, int& Second) {
    // Round to the nearest second first, so that 0.99999... of a day is the next midnight.
    double total = std::floor(Value * 86400.0 + 0.5);
    int64_t secs = static_cast<int64_t>(total);
    int64_t days = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
    int64_t rest = secs - days * 86400;
    CivilFromDays(days - kDateTimeDayOfUnixEpoch, Year, Month, Day);
    Hour = static_cast<int>(rest / 3600);
    Minute = static_cast<int>(rest / 60 % 60);
    Second = static_cast<int>(rest % 60);
}

uint32_t FileDosDateTime(int64_t FileTime) {
    return DosDateTimeOf(FileTime);
}

TDateTime DosDateTimeToDateTime(uint32_t Value) {
    LocalDateTime l;
    if (Value == 0 || !SplitDosDateTime(Value, l)) return kDosEpochDateTime;
    return FromLocal(l);
}

uint32_t DateTimeToDosDateTime(TDateTime Value) {
    return PackDosDateTime(ToLocal(Value));
}

int64_t DateTimeToUnixTime(TDateTime Value) {
    return UnixTimeOf(ToLocal(Value));
}

TDateTime UnixTimeToDateTime(int64_t Seconds) {
    if (Seconds == 0) return EncodeDateTime(1980, 1, 1, 0, 1, 0);
    return FromLocal(LocalTimeOf(Seconds));
}

// --- Tar octal fields ---

bool IntToOctalField(uint64_t Value, size_t Width, bool Terminate, uint8_t* Buffer) {
    if (Width == 0) return false;
    std::memset(Buffer, ' ', Width);
    char digits[24];
    size_t n = 0;
    uint64_t v = Value;
    do {
        digits[n++] = static_cast<char>('0' + (v & 7));
        v >>= 3;
    } while (v);
    // The usual form: digits end before the last byte (before the blank when terminated).
    size_t room = Terminate ? (Width >= 2 ? Width - 2 : 0) : Width - 1;
    if (n <= room) {
        if (Terminate) Buffer[Width - 1] = 0;
        for (size_t i = 0; i < n; ++i) Buffer[room - 1 - i] = static_cast<uint8_t>(digits[i]);
        return true;
    }
    // A terminated field gives up its blank for one more digit.
    if (Terminate && n <= Width - 1) {
        Buffer[Width - 1] = 0;
        for (size_t i = 0; i < n; ++i) Buffer[Width - 2 - i] = static_cast<uint8_t>(digits[i]);
        return true;
    }
    // Base 256: 0x80, then the value big-endian in Width - 1 bytes.
    if (Width >= 2 && (Width - 1 >= 8 || Value >> (8 * (Width - 1)) == 0)) {
        Buffer[0] = 0x80;
        uint64_t b = Value;
        for (size_t i = Width - 1; i >= 1; --i) {
            Buffer[i] = static_cast<uint8_t>(b & 0xFF);
            b >>= 8;
        }
        return true;
    }
    return false;
}

bool OctalStrToInt(std::string_view S, uint64_t& Value) {
    Value = 0;
    if (!S.empty() && static_cast<unsigned char>(S[0]) == 0x80) {
        uint64_t v = 0;
        for (size_t i = 1; i < S.size(); ++i) {
            if (v >> 55) return false; // would pass 2^63 - 1
            v = v << 8 | static_cast<unsigned char>(S[i]);
        }
        if (v >> 63) return false;
        Value = v;
        return true;
    }
    size_t i = 0;
    while (i < S.size() && (S[i] == ' ' || S[i] == '\0')) ++i;
    uint64_t v = 0;
    while (i < S.size() && S[i] >= '0' && S[i] <= '7') {
        if (v >> 60) return false; // another digit would pass 2^63 - 1
        v = v << 3 | static_cast<uint64_t>(S[i] - '0');
        ++i;
    }
    while (i < S.size() && (S[i] == ' ' || S[i] == '\0')) ++i;
    if (i != S.size()) return false;
    Value = v;
    return true;
}

std::string ShiftStringBytes(bool Subtract, const std::string& S, uint8_t Delta) {
    std::string out = S;
    for (char& c : out) {
        auto b = static_cast<uint8_t>(c);
        c = static_cast<char>(static_cast<uint8_t>(Subtract ? b - Delta : b + Delta));
    }
    return out;
}

// --- Small routines ---

uint8_t ProgressPercent(int64_t Part, int64_t Total) {
    if (Total < 1) return 0;
    double p = std::round(static_cast<double>(Part) * 100.0 / static_cast<double>(Total));
    if (p < 0) return 0;
    if (p > 100) return 100;
    return static_cast<uint8_t>(p);
}

void MoveBytes(const void* Source, void* Dest, size_t Count) {
    if (Count) std::memmove(Dest, Source, Count);
}

} // namespace mv
