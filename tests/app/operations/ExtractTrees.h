#pragma once
// What the extraction tests compare: the tree of files a folder holds, a peer tool's
// extraction, the corpus manifest's sizes and CRCs, and the readable fixture types.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace mv::extracttest {

namespace fs = std::filesystem;
using mvtest::Quote;

using Tree = std::map<std::string, std::string>; // relative path -> content

inline std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline Tree ReadTree(const fs::path& root) {
    Tree t;
    if (!fs::exists(root)) return t;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) t[fs::relative(e.path(), root).generic_string()] = ReadAll(e.path());
    return t;
}

inline std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Each file under its name alone; false when two files share a name.
inline bool Flatten(const Tree& t, Tree& flat) {
    for (const auto& [path, content] : t)
        if (!flat.emplace(fs::path(path).filename().string(), content).second) return false;
    return true;
}

inline std::vector<std::string> Names(const Tree& t) {
    std::vector<std::string> out;
    for (const auto& [k, v] : t) out.push_back(k);
    return out;
}

enum class Peer { SevenZip, Manifest };

inline Tree PeerExtraction(const std::string& archive, const fs::path& into) {
    fs::create_directories(into);
    const auto r = mvtest::Run("7z x -y -o" + Quote(into.string()) + " " + Quote(archive));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return ReadTree(into);
}

// Content of the files the manifest lists, known by size and CRC only.
inline void ExpectManifestMatch(const std::string& corpusPath, const Tree& ours) {
    for (const auto& entry : mvtest::ReadManifest()) {
        if (entry.path != corpusPath) continue;
        size_t files = 0;
        for (const auto& m : entry.listing) {
            std::string name = m.name;
            std::replace(name.begin(), name.end(), '\\', '/');
            // A folder stored as an entry of its own gives no file.
            const bool folder = std::any_of(entry.listing.begin(), entry.listing.end(), [&](const auto& other) {
                return other.name.rfind(m.name + "\\", 0) == 0 || other.name.rfind(m.name + "/", 0) == 0;
            });
            if (folder) continue;
            ++files;
            // DOS-made archives: the peer that made the listing may have changed the case.
            auto it = std::find_if(ours.begin(), ours.end(), [&](const auto& kv) { return Lower(kv.first) == Lower(name); });
            ASSERT_NE(it, ours.end()) << name;
            EXPECT_EQ(it->second.size(), m.size) << name;
            EXPECT_EQ(mvtest::ReferenceCrc32(reinterpret_cast<const uint8_t*>(it->second.data()), it->second.size()),
                      m.crc)
                << name;
        }
        EXPECT_EQ(ours.size(), files);
    }
}

struct TypeCase {
    const char* path;
    Peer peer;
};

inline const TypeCase kReadableTypes[] = {
    {"zip/infozip_deflate_dirs.zip", Peer::SevenZip}, {"jar/jar_tool_manifest.jar", Peer::SevenZip},
    {"arj/arj020b.arj", Peer::SevenZip},              {"lha/lha213_subdir.lzh", Peer::SevenZip},
    {"cab/makecab_mszip.cab", Peer::SevenZip},        {"rar/rar3_subdirs.rar", Peer::SevenZip},
    {"tar/ustar_perl.tar", Peer::SevenZip},           {"gzip/license.gz", Peer::SevenZip},
    {"zoo/zoo_default_lzw.zoo", Peer::Manifest},      {"arc/arc601.arc", Peer::Manifest},
    {"ace/method1.ace", Peer::Manifest},
};

} // namespace mv::extracttest
