#pragma once
// What the vendor zip library's tests share: an instance with a recording
// receiver, a three-file source tree, and the peers' checks.
#include "archive/libraries/vendorzip/VendorZip.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace vztest {

namespace fs = std::filesystem;
using mvtest::Quote;

// A peer the test needs: missing, the test fails.
#define VZ_NEED_TOOL(name)                                                                                   \
    ASSERT_TRUE(::mvtest::HaveTool(name)) << "peer tool " << name << " is not installed"

inline std::string NameField(const char* field) {
    return std::string(field, strnlen(field, mv::VzNameSize));
}

inline void SetName(char* field, const std::string& text) {
    std::memset(field, 0, mv::VzNameSize);
    std::memcpy(field, text.data(), std::min(text.size(), mv::VzNameSize - 1));
}

// One line per event: its number and the fields the program reads.
inline std::string Describe(uint32_t event, const void* block) {
    std::ostringstream s;
    s << event;
    switch (event) {
    case mv::vzev::Listing: {
        auto& b = *static_cast<const mv::TVzListingBlock*>(block);
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08X", b.Crc);
        s << " " << NameField(b.Name) << " size=" << b.FileSize << " packed=" << b.PackedSize
          << " ratio=" << b.Ratio << " attr=" << b.Attributes << " crc=" << crc << " enc=" << b.Encrypted
          << " hidden=" << b.NotShown;
        break;
    }
    case mv::vzev::Processing:
    case mv::vzev::Removing:
        s << " " << NameField(static_cast<const mv::TVzNameBlock*>(block)->Name);
        break;
    case mv::vzev::InsertDisk:
        s << " disk=" << static_cast<const mv::TVzInsertDiskBlock*>(block)->DiskNumber;
        break;
    case mv::vzev::StoredName: {
        auto& b = *static_cast<const mv::TVzStoredNameBlock*>(block);
        s << " " << NameField(b.Name) << " from=" << NameField(b.SourcePath);
        break;
    }
    case mv::vzev::Skipping: {
        auto& b = *static_cast<const mv::TVzSkippingBlock*>(block);
        s << " " << NameField(b.Name) << " reason=" << b.Reason;
        break;
    }
    case mv::vzev::FileBegin: {
        auto& b = *static_cast<const mv::TVzFileBeginBlock*>(block);
        s << " " << NameField(b.Name) << " size=" << b.FileSize << " cont=" << b.Continuing;
        break;
    }
    case mv::vzev::Progress: {
        auto& b = *static_cast<const mv::TVzProgressBlock*>(block);
        s << " done=" << b.SourceBytesDone << " pct=" << b.Percent << " out=" << b.OutputBytes;
        break;
    }
    case mv::vzev::Totals: {
        auto& b = *static_cast<const mv::TVzTotalsBlock*>(block);
        s << " total=" << b.TotalBytes << " out=" << b.TotalOutputBytes;
        break;
    }
    case mv::vzev::Warning: {
        auto& b = *static_cast<const mv::TVzWarningBlock*>(block);
        s << " " << NameField(b.Name) << " code=" << b.Code;
        break;
    }
    case mv::vzev::BadPassword:
        s << " " << NameField(static_cast<const mv::TVzBadPasswordBlock*>(block)->Name);
        break;
    case mv::vzev::Replacing: {
        auto& b = *static_cast<const mv::TVzReplacingBlock*>(block);
        s << " " << NameField(b.Name) << " old=" << b.ExistingSize << " new=" << b.NewSize;
        break;
    }
    default:
        break;
    }
    return s.str();
}

// One instance bound to a recording receiver. `Answer` runs after the event is
// recorded, with the block, to answer it or to act (abort, call again...).
struct Vz {
    uint32_t h = 0;
    std::vector<std::string> trace;
    std::vector<uint32_t> events;
    std::function<void(uint32_t event, void* block)> Answer;

    Vz() {
        mv::VendorZipInitDLL();
        h = mv::VzCreateVendorZipA();
        mv::VzSetVendorZipWindow(h, [this](uint32_t event, void* block) {
            EXPECT_EQ(static_cast<uint32_t*>(block)[1], h) << "instance handle at offset 4";
            events.push_back(event);
            trace.push_back(Describe(event, block));
            if (Answer) Answer(event, block);
        });
    }
    ~Vz() { EXPECT_EQ(mv::VzDestroyVendorZip(h), 0); }
    Vz(const Vz&) = delete;
    Vz& operator=(const Vz&) = delete;

    void Clear() {
        trace.clear();
        events.clear();
    }
    // The trace lines of one event number.
    std::vector<std::string> Of(uint32_t event) const {
        std::vector<std::string> out;
        for (size_t i = 0; i < events.size(); ++i)
            if (events[i] == event) out.push_back(trace[i]);
        return out;
    }
    std::string Dump() const {
        std::string s;
        for (const auto& t : trace) s += t + "\n";
        return s;
    }
};

// a.txt (text), b.bin (random), sub/c.txt (text) under dir/src.
struct Tree {
    mvtest::TempDir dir;
    fs::path src() const { return dir / "src"; }
    Tree() {
        fs::create_directories(src() / "sub");
        mvtest::WriteFileBytes(src() / "a.txt", mvtest::TextBytes(20000, 1));
        mvtest::WriteFileBytes(src() / "b.bin", mvtest::RandomBytes(30000, 2));
        mvtest::WriteFileBytes(src() / "sub" / "c.txt", mvtest::TextBytes(3000, 3));
    }
    std::string s(const std::string& n) const { return (src() / n).string(); }
    std::string d(const std::string& n) const { return (dir / n).string(); }
};

// unzip -t and 7z t (with the password when given) accept the archive; bsdtar lists it.
inline void ExpectPeersAccept(const fs::path& zip, const std::string& pw = "") {
    SCOPED_TRACE(zip.string());
    auto u = mvtest::Run("unzip -t " + (pw.empty() ? "" : "-P " + Quote(pw) + " ") + Quote(zip.string()));
    EXPECT_EQ(u.exitCode, 0) << u.output;
    auto z = mvtest::Run("7z t " + (pw.empty() ? std::string("-p-") : "-p" + Quote(pw)) + " " +
                         Quote(zip.string()));
    EXPECT_EQ(z.exitCode, 0) << z.output;
    auto b = mvtest::Run("bsdtar -tf " + Quote(zip.string()));
    EXPECT_EQ(b.exitCode, 0) << b.output;
    if (!pw.empty()) {
        EXPECT_NE(mvtest::Run("unzip -t -P wrong " + Quote(zip.string())).exitCode, 0);
    }
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l))
        if (!l.empty()) out.push_back(l);
    return out;
}

// Every file below a folder, by path relative to it, with its bytes.
inline std::map<std::string, std::vector<uint8_t>> FilesBelow(const fs::path& dir) {
    std::map<std::string, std::vector<uint8_t>> out;
    if (!fs::exists(dir)) return out;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) out[fs::relative(e.path(), dir).string()] = mvtest::ReadFileBytes(e.path());
    return out;
}

} // namespace vztest
