#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ArcFileAttr.h"
#include "archive/framework/ArcFileList.h"
#include "archive/framework/ArcTimer.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace mv;
using mvtest::TempDir;

namespace {
struct ZoneGuard {
    explicit ZoneGuard(const char* tz) {
        const char* old = getenv("TZ");
        had = old != nullptr;
        if (had) saved = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (had)
            setenv("TZ", saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    bool had;
    std::string saved;
};
} // namespace

TEST(SharedRoutines, WildcardTable) {
    struct Row {
        const char* mask;
        const char* name;
        bool namesOnly;
        bool match;
    } rows[] = {
        {"*.txt", "a.TXT", false, true},
        {"readme", "readme.", false, true},
        {"*.*", "noext", false, true},
        {"*.*", "a.b.c", false, true},
        {"a?c", "abc", false, true},
        {"a*", "", false, false},
        {"", "", false, true},
        {"", "*", false, true},
        {"*", "", false, true},
        {"*.txt", "abc", false, false},
        {"a*b*c", "axxbyyc", false, true},
        {"a*b*c", "axxbyy", false, false},
        {"?", "\xC3\xA9", false, true}, // one UTF-8 letter is one character
        {"??", "\xC3\xA9", false, false},
        {"\xC3\xA9*", "\xC3\x89t\xC3\xA9", false, false}, // only ASCII letters fold
        {"abc.", "abc.txt", false, false},
        {"dir\\*.txt", "other\\a.txt", true, true},
        {"dir\\*.txt", "other\\a.txt", false, false},
        {"a.txt", "a*", false, true}, // wildcards in the name too
        {"DATA?.ZIP", "data1.zip", false, true},
        {"*a", "bab", false, false},
        {"*b", "bab", false, true},
        {"a**", "a", false, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.mask) + " | " + r.name);
        EXPECT_EQ(WildcardMatch(r.mask, r.name, r.namesOnly), r.match);
    }
}

TEST(SharedRoutines, WildcardBoundedTime) {
    std::string name(3000, 'a');
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*b", name, false));
    EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b", std::string(300, 'a'), false));
    EXPECT_TRUE(WildcardMatch(name, "*a*a*a*a*a*a*", false));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST(SharedRoutines, NamesAndPaths) {
    EXPECT_EQ(AppendBackslash(""), "");
    EXPECT_EQ(AppendBackslash("/tmp"), "/tmp/");
    EXPECT_EQ(AppendBackslash("/tmp/"), "/tmp/");
    EXPECT_EQ(RemoveTrailingBackslash("/tmp/"), "/tmp");
    EXPECT_EQ(RemoveTrailingBackslash("/"), "/");
    EXPECT_EQ(SlashToBackslash("a/b/c"), "a\\b\\c");
    EXPECT_EQ(BackslashToSlash("a\\b\\c"), "a/b/c");
    EXPECT_EQ(StripDrive(""), "");
    EXPECT_EQ(StripDrive("\\\\server\\share\\x"), "\\server\\share\\x");
    EXPECT_EQ(StripDrive("C:\\dir\\f.txt"), "dir\\f.txt");
    EXPECT_EQ(StripDrive("C:f.txt"), "f.txt");
    EXPECT_EQ(StripDrive("/abs/f"), "abs/f");
    EXPECT_EQ(StripDrive("rel\\f"), "rel\\f");
    EXPECT_TRUE(IsUNCPath("\\\\srv\\x"));
    EXPECT_FALSE(IsUNCPath("\\x"));
    EXPECT_EQ(ExtPos("a.tar.gz"), 1u);
    EXPECT_EQ(ExtPos("abc"), 3u);
    std::vector<std::string> specs = {"dir/*.txt", "", "x\\y\\z.c", "plain"};
    NormalizeSpecList(specs);
    EXPECT_EQ(specs, (std::vector<std::string>{"*.txt", "z.c", "plain"}));
    std::string s = "key=value=x", head;
    SplitAtToken(s, "=", head);
    EXPECT_EQ(head, "key");
    EXPECT_EQ(s, "value=x");
    SplitAtToken(s, ";", head);
    EXPECT_EQ(head, "value=x");
    EXPECT_EQ(s, "");
    EXPECT_TRUE(IsAllDigits(""));
    EXPECT_TRUE(IsAllDigits("007"));
    EXPECT_FALSE(IsAllDigits("12a"));
    EXPECT_EQ(SwapWords(0x12345678u), 0x56781234u);
    for (uint16_t w : {0x1E1F, 0x8B1F, 0x9D1F, 0x9E1F, 0xA01F}) EXPECT_TRUE(IsGZipMagic(w));
    EXPECT_FALSE(IsGZipMagic(0x4B50));
    EXPECT_EQ(ShiftStringBytes(false,
                               "\xFF"
                               "a",
                               2),
              std::string("\x01"
                          "c"));
    EXPECT_EQ(ShiftStringBytes(true,
                               "\x01"
                               "c",
                               2),
              std::string("\xFF"
                          "a"));
    EXPECT_EQ(ProgressPercent(1, 3), 33);
    EXPECT_EQ(ProgressPercent(2, 3), 67);
    EXPECT_EQ(ProgressPercent(5, 0), 0);
    EXPECT_EQ(ProgressPercent(int64_t(6) << 32, int64_t(5) << 32), 100);
    EXPECT_EQ(ProgressPercent(int64_t(1) << 40, int64_t(4) << 40), 25);
}

TEST(SharedRoutines, EntryNameConversions) {
    // CP437 "ÇÁ" is not all there: 0x80 = Ç; a stored "/" comes out as "\".
    EXPECT_EQ(OemToAnsiPath("dir/\x80.txt"), "dir\\\xC3\x87.txt");
    bool utf8 = true;
    EXPECT_EQ(AnsiToOemPath("dir/\xC3\x87.txt", &utf8), "dir\\\x80.txt");
    EXPECT_FALSE(utf8);
    // A name without an OEM form stays UTF-8 and says so; never "?".
    EXPECT_EQ(AnsiToOemPath("dir/\xE4\xB8\xAD.txt", &utf8), "dir\\\xE4\xB8\xAD.txt");
    EXPECT_TRUE(utf8);
    EXPECT_EQ(Utf8ToAnsiPath("a/\xE4\xB8\xAD"), "a\\\xE4\xB8\xAD");
}

TEST(SharedRoutines, DatesInTwoZones) {
    for (const char* tz : {"UTC", "America/Sao_Paulo"}) {
        SCOPED_TRACE(tz);
        ZoneGuard g(tz);
        EXPECT_DOUBLE_EQ(DosDateTimeToDateTime(0), 29221.0);
        EXPECT_DOUBLE_EQ(DosDateTimeToDateTime(0x00000001), 29221.0); // month 0
        EXPECT_DOUBLE_EQ(UnixTimeToDateTime(0), EncodeDateTime(1980, 1, 1, 0, 1, 0));
        // DOS <-> TDateTime <-> unix round trips.
        uint32_t dos = ((2000 - 1980) << 25) | (3u << 21) | (1u << 16) | (12u << 11) | (34u << 5) | 28u;
        TDateTime d = DosDateTimeToDateTime(dos);
        EXPECT_EQ(DateTimeToDosDateTime(d), dos);
        int64_t unix = DateTimeToUnixTime(d);
        EXPECT_DOUBLE_EQ(UnixTimeToDateTime(unix), d);
        EXPECT_EQ(FileDosDateTime(unix), dos);
        for (int64_t t : {int64_t(1234567890), int64_t(1700000000), int64_t(951868800)}) {
            EXPECT_EQ(DateTimeToUnixTime(UnixTimeToDateTime(t)), t);
        }
    }
    ZoneGuard g("UTC");
    // 2000-03-01 00:00 UTC: 2000 counts as a leap year.
    EXPECT_EQ(DateTimeToUnixTime(EncodeDateTime(2000, 3, 1, 0, 0, 0)), 951868800);
    EXPECT_EQ(DateTimeToUnixTime(EncodeDateTime(2000, 2, 29, 0, 0, 0)), 951782400);
    EXPECT_DOUBLE_EQ(EncodeDateTime(1980, 1, 1, 0, 0, 0), 29221.0);
    int y, mo, dd, h, mi, s;
    DecodeDateTime(EncodeDateTime(2024, 2, 29, 23, 59, 59), y, mo, dd, h, mi, s);
    EXPECT_EQ(std::vector<int>({y, mo, dd, h, mi, s}), std::vector<int>({2024, 2, 29, 23, 59, 59}));
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_EQ(kDaysBeforeMonth[2], 59);
}

TEST(SharedRoutines, DatesFollowTheZoneOfTheDate) {
    // Berlin: +1 h in January, +2 h in July (summer time).
    if (access("/usr/share/zoneinfo/Europe/Berlin", R_OK) != 0) GTEST_SKIP() << "no time-zone data (tzdata)";
    ZoneGuard g("Europe/Berlin");
    EXPECT_EQ(DateTimeToUnixTime(EncodeDateTime(2021, 1, 15, 12, 0, 0)), 1610708400);
    EXPECT_EQ(DateTimeToUnixTime(EncodeDateTime(2021, 7, 15, 12, 0, 0)), 1626343200);
}

TEST(SharedRoutines, OctalFieldTable) {
    struct Row {
        uint64_t value;
        size_t width;
        bool terminate;
        const char* bytes; // expected field, NUL written as '@'
    } rows[] = {
        {420, 8, true, "   644 @"},
        {0, 8, true, "     0 @"},
        {420, 12, false, "        644 "},
        {0777777, 8, true, "777777 @"},
        {07777777, 8, true, "7777777@"},              // gives up its blank
        {077777777777ull, 12, false, "77777777777 "}, // 8 GiB - 1 in the long form
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.bytes);
        std::vector<uint8_t> buf(r.width + 2, 0xEE);
        ASSERT_TRUE(IntToOctalField(r.value, r.width, r.terminate, buf.data() + 1));
        std::string got;
        for (size_t i = 0; i < r.width; ++i) got += buf[i + 1] == 0 ? '@' : static_cast<char>(buf[i + 1]);
        EXPECT_EQ(got, r.bytes);
        EXPECT_EQ(buf[0], 0xEE); // nothing written outside the field
        EXPECT_EQ(buf[r.width + 1], 0xEE);
        uint64_t back;
        ASSERT_TRUE(OctalStrToInt(std::string_view(reinterpret_cast<char*>(buf.data() + 1), r.width), back));
        EXPECT_EQ(back, r.value);
    }
    // Too big for 11 octal digits: base-256, read back the same.
    uint8_t field[14];
    memset(field, 0xEE, sizeof field);
    uint64_t big = uint64_t(10) << 30;
    ASSERT_TRUE(IntToOctalField(big, 12, false, field + 1));
    EXPECT_EQ(field[1], 0x80);
    EXPECT_EQ(field[13], 0xEE);
    uint64_t back;
    ASSERT_TRUE(OctalStrToInt(std::string_view(reinterpret_cast<char*>(field + 1), 12), back));
    EXPECT_EQ(back, big);
    // Nothing at all fits: false, and the field is left blank.
    uint8_t tiny[3];
    EXPECT_FALSE(IntToOctalField(70000, 3, true, tiny));
}

TEST(SharedRoutines, OctalParsingIsStrict) {
    struct Row {
        std::string text;
        bool ok;
        uint64_t value;
    } rows[] = {
        {"0000644\0", true, 0644},
        {std::string("   644 \0", 8), true, 0644},
        {"", true, 0},
        {"        ", true, 0},
        {"1 2", false, 0},
        {"12x", false, 0},
        {"-12", false, 0},
        {"8", false, 0},
        {"777777777777777777777", true, 0777777777777777777777ull},
        {"1777777777777777777777", false, 0},                                            // above 2^63 - 1
        {std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 12), false, 0}, // negative base-256
        {std::string("\x80\0\0\0\0\0\0\0\0\0\x01\x00", 12), true, 256},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        uint64_t v = 99;
        EXPECT_EQ(OctalStrToInt(r.text, v), r.ok);
        if (r.ok) {
            EXPECT_EQ(v, r.value);
        }
    }
}

TEST(SharedRoutines, FilesAndFolders) {
    TempDir t;
    std::string base = t.Path().string();
    EXPECT_THROW(ForceDirs(""), ERoutineError);
    ForceDirs(base + "/a/b/c/");
    EXPECT_TRUE(DirExists(base + "/a/b/c"));
    ForceDirs(base + "/a/b/c"); // exists: nothing to do
    mvtest::WriteFileText(t / "file", "x");
    try {
        ForceDirs(base + "/file/sub");
        FAIL();
    } catch (const ERoutineError& e) {
        EXPECT_EQ(e.ErrorCode(), 25156);
    }
    EXPECT_TRUE(IsPlainFile(base + "/file"));
    EXPECT_FALSE(IsPlainFile(base + "/a"));
    EXPECT_FALSE(IsPlainFile(base + "/none"));
    mvtest::WriteFileText(t / ".hid", "x");
    EXPECT_FALSE(IsPlainFile(base + "/.hid"));
    EXPECT_TRUE(FileExistsFind(base + "/fi*"));
    EXPECT_FALSE(FileExistsFind(base + "/zz*"));
    EXPECT_FALSE(GetTempDirectory().empty());

    // The search passes over hidden files and folders unless asked for.
    mvtest::WriteFileText(t / "B.TXT", "12345");
    TArcSearchRec rec;
    std::vector<std::string> names;
    for (int r = ArcFindFirst(base + "/*.*", platform::faArchive, rec); r == 0; r = ArcFindNext(rec))
        names.push_back(rec.Name);
    ArcFindClose(rec);
    EXPECT_EQ(names, (std::vector<std::string>{"B.TXT", "file"}));
    ASSERT_EQ(ArcFindFirst(base + "/b.txt", 0, rec), 0);
    EXPECT_EQ(rec.Size, 5u);
    EXPECT_EQ(rec.Attr, platform::faArchive);
    EXPECT_GE(rec.Date >> 9, 40); // 2020 or later
    names.clear();
    for (int r = ArcFindFirst(base + "/*", platform::faHidden | platform::faDirectory, rec); r == 0;
         r = ArcFindNext(rec))
        names.push_back(rec.Name);
    EXPECT_EQ(names, (std::vector<std::string>{".hid", "B.TXT", "a", "file"}));
    EXPECT_EQ(ArcFindFirst(base + "/nothing*", 0, rec), ENOENT);
    EXPECT_EQ(ArcFindFirst(base + "/nofolder/*", 0, rec), ENOENT);
}

TEST(SharedRoutines, FixedFieldAndCString) {
    TempDir t;
    mvtest::WriteFileBytes(t / "h", {'a', 0, 'b', 'c', 'd', 0, 'e'});
    auto f = platform::Fs().Open((t / "h").string(), platform::OpenMode::Read);
    int64_t off = 0;
    std::string s;
    EXPECT_TRUE(ReadFixedField(*f, off, 3, s));
    EXPECT_EQ(s, "a b");
    EXPECT_EQ(off, 3);
    EXPECT_TRUE(ReadCString(*f, off, s));
    EXPECT_EQ(s, "cd");
    EXPECT_EQ(off, 6);
    EXPECT_FALSE(ReadFixedField(*f, off, 4, s));
    EXPECT_EQ(s, "e");
}

TEST(SharedRoutines, StreamCrc32OverAWholeFile) {
    TempDir t;
    auto data = mvtest::RandomBytes(250001, 3); // more than two pieces
    mvtest::WriteFileBytes(t / "d", data);
    auto f = platform::Fs().Open((t / "d").string(), platform::OpenMode::Read);
    f->Seek(77);
    EXPECT_EQ(~StreamCRC32(*f), mvtest::ReferenceCrc32(data.data(), data.size()));
    EXPECT_EQ(f->Position(), 0);
    mvtest::WriteFileBytes(t / "e", {});
    auto e = platform::Fs().Open((t / "e").string(), platform::OpenMode::Read);
    EXPECT_EQ(StreamCRC32(*e), 0xFFFFFFFFu);
}

TEST(ArcFileAttr, SetterSequences) {
    TArcFileAttr a;
    EXPECT_TRUE(a.ftAnyFile());
    EXPECT_EQ(a.ftFileAttr(), 63);
    EXPECT_TRUE(a.ftCompressed());
    EXPECT_FALSE(a.ftTemporary());

    a.SetftHidden(false); // not all equal and the value is false: no longer any file
    EXPECT_FALSE(a.ftAnyFile());
    EXPECT_EQ(a.ftFileAttr(), 63 & ~0x02);
    EXPECT_FALSE(a.ftHidden());
    a.SetftHidden(true); // all true again: any file
    EXPECT_TRUE(a.ftAnyFile());
    EXPECT_EQ(a.ftFileAttr(), 63);

    a.SetftFileAttr(0x21); // archive + read-only
    EXPECT_FALSE(a.ftAnyFile());
    EXPECT_EQ(a.ftFileAttr(), 0x21);
    EXPECT_TRUE(a.ftArchive());
    EXPECT_TRUE(a.ftReadOnly());
    EXPECT_FALSE(a.ftDirectory());
    for (int anyValue : {0, 63, 0x80, 0xBF}) {
        a.SetftFileAttr(0x21);
        a.SetftFileAttr(anyValue);
        EXPECT_TRUE(a.ftAnyFile()) << anyValue;
        EXPECT_EQ(a.ftFileAttr(), 63);
        EXPECT_TRUE(a.ftZeroAttr());
    }
    a.SetftAnyFile(false);
    EXPECT_EQ(a.ftFileAttr(), 63); // the Booleans are all still set
    a.SetftTemporary(true);
    a.SetftCompressed(false);
    EXPECT_FALSE(a.ftTemporary());
    EXPECT_TRUE(a.ftCompressed());

    TArcFileAttr b;
    b.SetftFileAttr(0x10);
    TArcFileAttr c;
    c.Assign(b);
    EXPECT_TRUE(c.ftDirectory());
    EXPECT_FALSE(c.ftArchive());
    EXPECT_EQ(c.ftFileAttr(), 0x10);
}

TEST(ArcTimer, StartPauseResumeStop) {
    TArcTimer t;
    t.Stop(); // not started: nothing
    EXPECT_EQ(t.Elapsed(), 0.0f);
    t.Start();
    t.Pause();
    t.Resume();
    t.Stop();
    EXPECT_GE(t.Elapsed(), 0.0f);
    EXPECT_LT(t.Elapsed(), 5.0f);
    EXPECT_FALSE(t.Started());
}

TEST(ArcFileList, Records) {
    TArcFileList l;
    l.Init();
    EXPECT_EQ(l.RecordSize(), 28u);
    uint8_t rec[28];
    for (int i = 0; i < 3; ++i) {
        memset(rec, i, sizeof rec);
        l.Add(rec);
    }
    EXPECT_EQ(l.Count(), 3u);
    EXPECT_EQ(l.Items(2)[27], 2);
    EXPECT_EQ(l.Items(3), nullptr);
    l.Clear();
    EXPECT_EQ(l.Count(), 0u);
    l.Done();
    EXPECT_EQ(l.RecordSize(), 0u);
}

// Local times agree with date(1) in three zones, across summer-time changes.
TEST(SharedRoutines, LocalTimesAgreeWithDateCommand) {
    MV_REQUIRE_TOOL("date");
    const int64_t instants[] = {1616893200, 1616896800, 1635642000, 1635645600,
                                1635649200, 951868800,  1700000000};
    for (const char* tz : {"UTC", "Europe/Berlin", "America/Sao_Paulo", "America/New_York"}) {
        ZoneGuard g(tz);
        for (int64_t t : instants) {
            SCOPED_TRACE(std::string(tz) + " " + std::to_string(t));
            auto r = mvtest::Run(std::string("TZ=") + tz + " date -d @" + std::to_string(t) +
                                 " '+%Y %m %d %H %M %S'");
            ASSERT_EQ(r.exitCode, 0);
            int y, mo, d, h, mi, s;
            ASSERT_EQ(sscanf(r.output.c_str(), "%d %d %d %d %d %d", &y, &mo, &d, &h, &mi, &s), 6);
            TDateTime v = UnixTimeToDateTime(t);
            EXPECT_DOUBLE_EQ(v, EncodeDateTime(y, mo, d, h, mi, s));
            // A local time in the repeated hour of autumn has two instants; either is right.
            int64_t back = DateTimeToUnixTime(v);
            EXPECT_TRUE(back == t || back == t - 3600) << back;
            EXPECT_DOUBLE_EQ(UnixTimeToDateTime(back), v);
        }
    }
}
