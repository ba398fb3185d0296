#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace mvtest {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/mvtest-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    // Make everything writable first so read-only fixtures can be removed.
    for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path, ec);
}

std::vector<uint8_t> ReadFileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + p.string());
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const fs::path& p, const std::vector<uint8_t>& data) {
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!out) throw std::runtime_error("cannot write " + p.string());
}

void WriteFileText(const fs::path& p, const std::string& text) {
    WriteFileBytes(p, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::vector<uint8_t> out(n);
    uint32_t x = seed ? seed : 0x9e3779b9u;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x >> 24);
    }
    return out;
}

std::vector<uint8_t> TextBytes(size_t n, uint32_t seed) {
    static const char* words[] = {"archive", "the", "of", "Morvelan", "data", "and", "file", "zip",
                                  "compress", "a", "disk", "entry", "header", "to", "in", "window"};
    std::vector<uint8_t> out;
    out.reserve(n + 16);
    auto r = RandomBytes(n / 2 + 16, seed);
    size_t i = 0;
    while (out.size() < n) {
        const char* w = words[r[i++ % r.size()] & 15];
        out.insert(out.end(), w, w + std::char_traits<char>::length(w));
        out.push_back((r[i % r.size()] & 7) == 0 ? '\n' : ' ');
    }
    out.resize(n);
    return out;
}

RunResult Run(const std::string& commandLine, const fs::path& cwd) {
    std::string cmd = commandLine + " 2>&1";
    if (!cwd.empty()) cmd = "cd " + Quote(cwd.string()) + " && " + cmd;
    RunResult r;
    FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) r.output.append(buf.data(), n);
    int status = pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

bool HaveTool(const std::string& name) {
    return Run("command -v " + Quote(name) + " >/dev/null").exitCode == 0;
}

std::set<std::string> PeerZipNames(const std::string& zip) {
    const auto r = Run("unzip -Z1 " + Quote(zip));
    std::set<std::string> names;
    std::istringstream in(r.output);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) names.insert(line);
    return names;
}

bool RequireTool(const std::string& name) {
    if (HaveTool(name)) return true;
    ADD_FAILURE() << "peer tool " << name << " is not installed (scripts/deps.sh installs it)";
    return false;
}

fs::path CorpusDir() {
    if (const char* env = std::getenv("MV_CORPUS_DIR"); env && *env) return env;
    return MV_CORPUS_DIR;
}

static std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> cols;
    std::string cur;
    for (char c : line) {
        if (c == '\t') {
            cols.push_back(cur);
            cur.clear();
        } else if (c != '\r') {
            cur += c;
        }
    }
    cols.push_back(cur);
    return cols;
}

std::vector<CorpusEntry> ReadManifest() {
    std::ifstream in(CorpusDir() / "MANIFEST.tsv");
    if (!in) throw std::runtime_error("corpus manifest not found under " + CorpusDir().string());
    std::vector<CorpusEntry> out;
    std::string line;
    std::getline(in, line); // column titles
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        auto c = SplitTabs(line);
        if (c.size() < 12) continue;
        CorpusEntry e;
        e.path = c[0];
        e.format = c[1];
        e.features = c[2];
        e.password = c[6];
        e.size = std::stoull(c[7]);
        std::stringstream ls(c[9]);
        std::string item;
        while (std::getline(ls, item, ';')) {
            while (!item.empty() && item.front() == ' ') item.erase(item.begin());
            if (item.empty()) continue;
            auto p2 = item.rfind('|');
            auto p1 = p2 == std::string::npos ? p2 : item.rfind('|', p2 - 1);
            if (p1 == std::string::npos) continue;
            CorpusEntry::Member m;
            m.name = item.substr(0, p1);
            try { // items such as "name|symlink|target" carry no size and CRC
                m.size = std::stoull(item.substr(p1 + 1, p2 - p1 - 1));
                m.crc = static_cast<uint32_t>(std::stoul(item.substr(p2 + 1), nullptr, 16));
            } catch (const std::exception&) {
                continue;
            }
            e.listing.push_back(m);
        }
        e.verifiedBy = c[10];
        e.extraction = c[11];
        out.push_back(std::move(e));
    }
    return out;
}

fs::path FixtureDir() { return MV_FIXTURE_DIR; }
std::string MvarcPath() { return MVARC_PATH; }

uint32_t ReferenceCrc32(const uint8_t* data, size_t n) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace mvtest
