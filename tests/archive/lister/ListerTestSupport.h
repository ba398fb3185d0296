#pragma once
// Lists an archive with the lister into plain records, for the lister tests.
#include "archive/lister/ArcLister.h"

#include <string>
#include <vector>

namespace mvtest {

struct Listed {
    std::string name; // "/" as separator
    int64_t unpacked = 0;
    int64_t packed = 0;
    uint32_t crc = 0;
    std::string method;
    uint32_t attr = 0;
    bool encrypted = false;
    int64_t offset = 0;
    int filenum = 0;
};

struct ListResult {
    mv::TArcType type = mv::TArcType::atNA;
    bool ok = false;        // Activate's answer
    bool completed = false; // walked to the end
    std::vector<int> errors;
    std::vector<Listed> entries;
    int totalsCount = -1; // NumFiles of OnTotals (-1: not fired)
};

inline ListResult ListArchive(const std::string& path, bool showDirs = false, bool volumes = true) {
    ListResult r;
    mv::TArcLister lister;
    lister.SetFileSpec({"*.*"});
    lister.SetShowBlankDirs(showDirs);
    lister.OnRead = [&](mv::TObject*, int64_t offset, int filenum) {
        const auto& e = lister.EntryInfo();
        Listed l;
        l.name = e.FileName;
        for (char& c : l.name)
            if (c == '\\') c = '/';
        l.unpacked = e.UnpackedSize;
        l.packed = e.PackedSize;
        l.crc = e.CRC;
        l.method = e.MethodText;
        l.attr = e.ExternalAttr;
        l.encrypted = e.Encrypted;
        l.offset = offset;
        l.filenum = filenum;
        r.entries.push_back(l);
    };
    lister.OnError = [&](mv::TObject*, const std::string&, const std::string&, const std::string&, int code) {
        r.errors.push_back(code);
    };
    lister.OnTotals = [&](mv::TObject*, int n) { r.totalsCount = n; };
    if (volumes)
        lister.OnNextVolume = [](mv::TObject*, std::string&, const std::string&, bool exists, bool& cancel) {
            cancel = !exists;
        };
    lister.SetArchiveFile(path);
    r.type = lister.ArcType();
    r.ok = lister.Activate();
    r.completed = lister.Completed();
    return r;
}

} // namespace mvtest
