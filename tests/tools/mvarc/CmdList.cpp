// mvarc list ARCHIVE: one line per entry, tab-separated: name, unpacked size,
// packed size, CRC (8 hex digits; 4 for the CRC-16 formats), method, date and
// time, encrypted flag; then a totals line. Errors print their number and text
// and end with a non-zero exit code.
#include "Command.h"

#include "archive/framework/SharedRoutines.h"
#include "archive/lister/ArcLister.h"
#include "platform/FileSystem.h"

#include <cstdio>
#include <iostream>

namespace {

bool IsCrc16Type(mv::TArcType t) {
    using mv::TArcType;
    switch (t) {
    case TArcType::atArc:
    case TArcType::atArcExe:
    case TArcType::atPak:
    case TArcType::atPakExe:
    case TArcType::atLha:
    case TArcType::atLhaExe:
    case TArcType::atLzh:
    case TArcType::atLzhExe:
    case TArcType::atZoo:
        return true;
    default:
        return false;
    }
}

int List(const std::vector<std::string>& args) {
    bool dirs = false;
    std::string file;
    for (const auto& a : args) {
        if (a == "--dirs")
            dirs = true;
        else
            file = a;
    }
    if (file.empty()) {
        std::cerr << "usage: mvarc list [--dirs] ARCHIVE\n";
        return 2;
    }
    mv::TArcLister lister;
    lister.SetShowBlankDirs(dirs);
    lister.SetFileSpec({"*.*"});
    bool crc16 = false;
    std::string out;
    int errors = 0;
    lister.OnRead = [&](mv::TObject*, int64_t, int) {
        const auto& e = lister.EntryInfo();
        std::string name = mv::BackslashToSlash(e.FileName);
        int y, mo, d, h, mi, s;
        mv::DecodeDateTime(e.DateTime, y, mo, d, h, mi, s);
        char line[160];
        std::snprintf(line, sizeof line, "\t%lld\t%lld\t%0*X\t%s\t%04d-%02d-%02d %02d:%02d:%02d\t%d\n",
                      static_cast<long long>(e.UnpackedSize), static_cast<long long>(e.PackedSize),
                      crc16 ? 4 : 8, crc16 ? (e.CRC & 0xFFFF) : e.CRC, e.MethodText.c_str(), y, mo, d, h, mi,
                      s, e.Encrypted ? 1 : 0);
        out += name;
        out += line;
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    };
    lister.OnError = [&](mv::TObject*, const std::string& fn, const std::string& msgEx, const std::string&,
                         int code) {
        ++errors;
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
        std::fflush(stdout);
        std::cerr << "error " << code << ": " << mv::ArcErrorMessage(code);
        if (!msgEx.empty()) std::cerr << " (" << msgEx << ")";
        if (!fn.empty()) std::cerr << ": " << fn;
        std::cerr << "\n";
    };
    // the following volumes of a set are taken from beside the first one
    lister.OnNextVolume = [](mv::TObject*, std::string& name, const std::string&, bool exists, bool& cancel) {
        cancel = !exists;
        (void)name;
    };
    lister.SetArchiveFile(file);
    crc16 = IsCrc16Type(lister.ArcType());
    bool ok = lister.Activate();
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::printf(
        "total\t%d\t%lld\t%lld\t%u%%\n", lister.FileCount(), static_cast<long long>(lister.TotalUnpacked()),
        static_cast<long long>(lister.TotalPacked()),
        static_cast<unsigned>(mv::TZipCommon::CompressRatio(lister.TotalPacked(), lister.TotalUnpacked())));
    if (!ok || !lister.Completed() || errors) {
        if (!errors)
            std::cerr << "error " << mv::arcerr::ReadError << ": "
                      << mv::ArcErrorMessage(mv::arcerr::ReadError) << "\n";
        return 1;
    }
    return 0;
}

mvarc::CommandRegistrar reg("list", List, "list [--dirs] ARCHIVE");

} // namespace
