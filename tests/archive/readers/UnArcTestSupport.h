#pragma once
// Shared by the ARC, ZOO and BH reader tests: one extraction through the
// reader table with its reports collected, the files of a folder, the rows of
// the corpus manifest of one folder, and the CRC-16 these formats keep.
#include "archive/framework/ArcErrors.h"
#include "archive/readers/ReaderFactory.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <vector>

namespace oldarc {

namespace fs = std::filesystem;

struct Outcome {
    std::vector<int> errors;
    int extracted = 0;
    int raised = 0;
    bool opened = true;
    std::vector<std::pair<std::string, bool>> ends;
};

struct Options {
    std::vector<std::string> passwords; // the reader's Passwords list
    std::vector<std::string> answers;   // given one by one through OnGetPassword (none: no handler)
    bool endHandler = true;
    bool storedDirs = true;
    int* prompts = nullptr; // counts OnGetPassword calls
};

inline Outcome ExtractAll(const fs::path& archive, const fs::path& dir, const Options& opt = {}) {
    Outcome o;
    mv::TArcType type;
    auto reader = mv::NewReaderFor(archive.string(), &type);
    if (!reader) {
        o.opened = false;
        return o;
    }
    reader->SetExtractDir(dir.string());
    reader->SetConfirmOverwrites(false);
    reader->SetUseStoredDirs(opt.storedDirs);
    reader->FileSpecList() = {"*.*"};
    if (!opt.passwords.empty()) reader->SetPasswords(opt.passwords);
    if (!opt.answers.empty()) {
        auto next = std::make_shared<size_t>(0);
        reader->OnGetPassword = [opt, next](mv::TObject*, const std::string&, std::string& answer,
                                            bool& again) {
            if (opt.prompts) ++*opt.prompts;
            again = *next < opt.answers.size();
            answer = again ? opt.answers[(*next)++] : std::string();
        };
    }
    reader->OnError = [&](mv::TObject*, const std::string&, const std::string&, const std::string&,
                          int code) { o.errors.push_back(code); };
    if (opt.endHandler)
        reader->OnEnd = [&](mv::TObject*, const std::string& fn, bool pass) {
            o.ends.emplace_back(fn, pass);
        };
    try {
        reader->Extract();
    } catch (const mv::E_RAISE& e) {
        o.raised = e.ErrorCode();
    }
    o.extracted = reader->ExtractedCount();
    return o;
}

// The files below dir by relative path (lower-cased with `lower`: ARC names are
// stored in capitals, while the manifest and nomarch give them in small letters).
inline std::map<std::string, std::vector<uint8_t>> Tree(const fs::path& dir, bool lower = false) {
    auto tree = readertest::Tree(dir);
    if (!lower) return tree;
    std::map<std::string, std::vector<uint8_t>> out;
    for (auto& [name, bytes] : tree) {
        std::string key = name;
        for (auto& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        out[key] = std::move(bytes);
    }
    return out;
}

struct Row {
    std::string path, password;
    std::vector<std::tuple<std::string, uint64_t, uint32_t>> listing; // name, size, CRC-32
};

// The manifest rows whose path starts with `folder` + "/".
inline std::vector<Row> CorpusRows(const std::string& folder) {
    std::vector<Row> rows;
    for (const auto& e : mvtest::ReadManifest()) {
        if (e.path.rfind(folder + "/", 0) != 0) continue;
        Row r{e.path, e.password, {}};
        for (const auto& m : e.listing) r.listing.emplace_back(m.name, m.size, m.crc);
        rows.push_back(r);
    }
    return rows;
}

// CRC-16 with the polynomial 0xA001 (reflected), starting at 0: bit by bit.
inline uint16_t RefCrc16(const std::vector<uint8_t>& d) {
    uint16_t c = 0;
    for (uint8_t b : d) {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : c >> 1;
    }
    return c;
}

inline void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

} // namespace oldarc
