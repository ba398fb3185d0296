#pragma once
// Archive listings of the peer tools (7-Zip's technical listing, zipinfo's DOS
// times, The Unarchiver's long listing) and of the corpus manifest, by stored name
// with "\\" between folders, for the tests that compare the archive list with them.
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>

namespace mv {

using mvtest::Quote;
using mvtest::Run;

struct PeerEntry {
    bool Folder = false;
    int64_t Size = -1;
    std::string Crc;  // 8 hex digits, or empty when the peer gives none
    std::string Date; // yyyymmddhhmm, or empty
};
using PeerListing = std::map<std::string, PeerEntry>; // by stored name, "\" between folders

inline std::string Backslashed(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

inline std::string DateKey(const std::string& text) { // "2010-01-01 00:00..." -> "201001010000"
    std::string digits;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
        if (digits.size() == 12) break;
    }
    return digits.size() == 12 ? digits : std::string();
}

inline std::string Value(const std::string& line, const std::string& key) {
    const std::string prefix = key + " = ";
    return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : std::string();
}

// 7-Zip's technical listing: one block per entry; folders left out.
inline PeerListing SevenZipListing(const std::string& archive) {
    const auto r = Run("7z l -slt " + Quote(archive));
    PeerListing out;
    std::istringstream in(r.output.substr(r.output.find("----------")));
    std::string line, name;
    PeerEntry e;
    bool folder = false;
    auto flush = [&] {
        e.Folder = folder;
        if (!name.empty()) out[Backslashed(name) + (folder ? "\\" : "")] = e;
        name.clear(), e = {}, folder = false;
    };
    while (std::getline(in, line)) {
        if (line.empty())
            flush();
        else if (line.rfind("Path = ", 0) == 0)
            name = Value(line, "Path");
        else if (line.rfind("Size = ", 0) == 0)
            e.Size = std::stoll(Value(line, "Size"));
        else if (line.rfind("CRC = ", 0) == 0)
            e.Crc = Value(line, "CRC");
        else if (line.rfind("Modified = ", 0) == 0)
            e.Date = DateKey(Value(line, "Modified"));
        else if (line == "Folder = +")
            folder = true;
        else if (line.rfind("Attributes = D", 0) == 0)
            folder = true;
    }
    flush();
    return out;
}

// The DOS date and time Info-ZIP's zipinfo reads from each central directory
// entry (7-Zip prefers an extended Unix time where there is one; the archive
// list shows the DOS time).
inline std::map<std::string, std::string> ZipDosDates(const std::string& archive) {
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto r = Run("zipinfo -v " + Quote(archive));
    std::map<std::string, std::string> out;
    std::istringstream in(r.output);
    std::string line, name, lastText;
    while (std::getline(in, line)) {
        if (line.find("offset of local header from start of archive:") != std::string::npos) {
            name = Backslashed(lastText.substr(std::min(lastText.size(), size_t(2))));
        } else if (!line.empty()) {
            lastText = line;
        }
        if (const size_t at = line.find("(DOS date/time):"); at != std::string::npos) {
            std::istringstream v(line.substr(at + 16));
            std::string year, month, day, time;
            v >> year >> month >> day >> time;
            int m = 0;
            while (m < 12 && month != months[m]) ++m;
            char key[16];
            std::snprintf(key, sizeof key, "%s%02d%02d%c%c%c%c", year.c_str(), m + 1, std::stoi(day), time[0],
                          time[1], time[3], time[4]);
            out[name] = key;
        }
    }
    return out;
}

// The Unarchiver's long listing (names, sizes and times; no CRC-32 for these formats).
inline PeerListing LsarListing(const std::string& archive) {
    const auto r = Run("lsar -L " + Quote(archive));
    PeerListing out;
    std::istringstream in(r.output);
    std::string line, name;
    PeerEntry e;
    auto field = [&](const std::string& key) {
        const size_t at = line.find(key);
        if (at == std::string::npos || line.compare(0, at, std::string(at, ' ')) != 0) return std::string();
        std::string v = line.substr(at + key.size());
        return v.substr(v.find_first_not_of(' '));
    };
    auto flush = [&] {
        if (!name.empty()) out[Backslashed(name)] = e;
        name.clear(), e = {};
    };
    while (std::getline(in, line)) {
        if (std::string v = field("Name:"); !v.empty()) {
            flush();
            name = v;
        } else if (std::string v = field("Size:"); !v.empty()) {
            const size_t open = v.find('(');
            e.Size = std::stoll(open == std::string::npos ? v : v.substr(open + 1));
        } else if (std::string v = field("Last modified:"); !v.empty()) {
            e.Date = DateKey(v);
        }
    }
    flush();
    return out;
}

// The manifest's listing, checked by a peer when the corpus was gathered (for
// the formats no installed peer reads).
inline PeerListing ManifestListing(const std::string& path) {
    PeerListing out;
    for (const auto& entry : mvtest::ReadManifest())
        if (entry.path == path)
            for (const auto& m : entry.listing) {
                char crc[16];
                std::snprintf(crc, sizeof crc, "%08X", m.crc);
                out[Backslashed(m.name)] = {false, static_cast<int64_t>(m.size), crc, {}};
            }
    return out;
}

} // namespace mv
