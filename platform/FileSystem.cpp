#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace mv::platform {

FileError::FileError(int code, const std::string& path, const std::string& what)
    : std::runtime_error(what + " \"" + path + "\": " + ErrorText(code)), FCode(code), FPath(path) {}

std::string ErrorText(int code) {
    char buf[256];
    // The GNU strerror_r answers a pointer that may or may not be buf.
    const char* text = strerror_r(code, buf, sizeof buf);
    return text ? std::string(text) : std::string("error ") + std::to_string(code);
}

uint8_t DosAttributes(const std::string& name, uint32_t mode) {
    uint8_t attr = 0;
    if (S_ISDIR(mode))
        attr |= faDirectory;
    else
        attr |= faArchive;
    if (!(mode & S_IWUSR)) attr |= faReadOnly;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") attr |= faHidden;
    return attr;
}

namespace {

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Splits UTF-8 text into characters so that "?" takes a whole character.
std::vector<std::string_view> Characters(const std::string& s) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < s.size()) {
        size_t len = 1;
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0xF0)
            len = 4;
        else if (c >= 0xE0)
            len = 3;
        else if (c >= 0xC0)
            len = 2;
        // A broken sequence counts byte by byte.
        size_t j = 1;
        while (j < len && i + j < s.size() && (static_cast<unsigned char>(s[i + j]) & 0xC0) == 0x80) ++j;
        len = j;
        out.emplace_back(s.data() + i, len);
        i += len;
    }
    return out;
}

bool SameCharacter(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    if (a.size() == 1) return FoldAscii(a[0]) == FoldAscii(b[0]);
    return a == b;
}

// Glob matching with "*" and "?" by the greedy algorithm with one backtrack
// point: linear in practice and never worse than mask x name.
bool Glob(const std::vector<std::string_view>& m, const std::vector<std::string_view>& n) {
    size_t mi = 0, ni = 0, starM = std::string::npos, starN = 0;
    while (ni < n.size()) {
        if (mi < m.size() && m[mi] == "*") {
            starM = mi++;
            starN = ni;
        } else if (mi < m.size() && (m[mi] == "?" || SameCharacter(m[mi], n[ni]))) {
            ++mi;
            ++ni;
        } else if (starM != std::string::npos) {
            mi = starM + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (mi < m.size() && m[mi] == "*") ++mi;
    return mi == m.size();
}

} // namespace

bool MatchesDosMask(const std::string& mask, const std::string& name) {
    if (mask.empty() || mask == "*" || mask == "*.*") return true;
    std::string m = mask;
    // "name." asks for names without an extension.
    if (m.back() == '.') {
        m.pop_back();
        if (name.find('.') != std::string::npos) return false;
    } else if (m.size() >= 2 && m.compare(m.size() - 2, 2, ".*") == 0) {
        // "x.*" also matches "x" without any extension.
        if (Glob(Characters(m.substr(0, m.size() - 2)), Characters(name))) return true;
    }
    return Glob(Characters(m), Characters(name));
}

void File::ReadExact(void* buffer, size_t count) {
    size_t got = Read(buffer, count);
    if (got != count) throw FileError(EIO, Path(), "unexpected end of file in");
}

size_t File::ReadAt(int64_t position, void* buffer, size_t count) {
    Seek(position);
    return Read(buffer, count);
}

namespace {
FileSystem* currentFileSystem = nullptr;
}

FileSystem& FileSystem::Current() {
    return currentFileSystem ? *currentFileSystem : Real();
}

ScopedFileSystem::ScopedFileSystem(FileSystem& fs) : previous(currentFileSystem) {
    currentFileSystem = &fs;
}

ScopedFileSystem::~ScopedFileSystem() {
    currentFileSystem = previous;
}

std::string DirectoryOf(const std::string& path) {
    size_t p = path.rfind('/');
    if (p == std::string::npos) return "";
    if (p == 0) return "/";
    return path.substr(0, p);
}

std::string NameOf(const std::string& path) {
    size_t p = path.rfind('/');
    return p == std::string::npos ? path : path.substr(p + 1);
}

std::string JoinPath(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    if (a.back() == '/') return b.front() == '/' ? a + b.substr(1) : a + b;
    return b.front() == '/' ? a + b : a + "/" + b;
}

bool Exists(const std::string& path) {
    FileInfo info;
    return Fs().Stat(path, info);
}

bool IsDirectory(const std::string& path) {
    FileInfo info;
    return Fs().Stat(path, info) && info.IsDirectory;
}

void File::LinkAs(const std::string& path) {
    throw FileError(ENOTSUP, path, "cannot give a name to");
}

std::unique_ptr<File> FileSystem::CreateUnnamedFile(const std::string&) {
    return nullptr;
}

void File::SetModTime(int64_t unixTime) {
    Fs().SetModTime(Path(), unixTime);
}

void File::SetPermissions(uint32_t mode) {
    Fs().SetPermissions(Path(), mode);
}

void OutputTree::CreateFolders(const std::string& relative) {
    Fs().CreateDirectoriesBeneath(root, relative);
}

std::unique_ptr<File> OutputTree::CreateTemp(const std::string& relativeFolder, const std::string& prefix,
                                             uint32_t mode) {
    if (!relativeFolder.empty()) CreateFolders(relativeFolder);
    auto file = Fs().CreateTempFile(relativeFolder.empty() ? root : JoinPath(root, relativeFolder), prefix);
    try {
        Fs().SetPermissions(file->Path(), mode & 0777);
    } catch (const FileError&) {
        // the file keeps the permissions it was made with
    }
    return file;
}

void OutputTree::Rename(const std::string& from, const std::string& to) {
    Fs().Rename(JoinPath(root, from), JoinPath(root, to));
}

void OutputTree::RemoveFile(const std::string& relative) {
    Fs().RemoveFile(JoinPath(root, relative));
}

std::unique_ptr<OutputTree> FileSystem::OpenOutputTree(const std::string& root) {
    FileInfo info;
    if (!Stat(root, info) || !info.IsDirectory) throw FileError(ENOTDIR, root, "cannot open the folder");
    return std::make_unique<OutputTree>(root);
}

std::vector<DirEntry> ListMatching(const std::string& directory, const std::string& mask) {
    std::vector<DirEntry> all = Fs().ListDirectory(directory);
    std::vector<DirEntry> out;
    for (auto& e : all)
        if (MatchesDosMask(mask, e.Name)) out.push_back(std::move(e));
    std::sort(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) { return a.Name < b.Name; });
    return out;
}

void RemoveTree(const std::string& path) {
    FileInfo info;
    if (!Fs().Stat(path, info)) return;
    if (info.IsDirectory && !info.IsSymlink) {
        for (const auto& e : Fs().ListDirectory(path)) RemoveTree(JoinPath(path, e.Name));
        Fs().RemoveDirectory(path);
    } else {
        Fs().RemoveFile(path);
    }
}

namespace {
// The permissions a replacing file takes: those of the file it replaces, or
// those of a new file.
uint32_t ReplacementMode(const std::string& target) {
    FileInfo old;
    if (Fs().Stat(target, old) && old.IsRegular) return old.Mode & 07777;
    return Fs().DefaultFileMode();
}
} // namespace

void ReplaceFile(const std::string& source, const std::string& target) {
    {
        auto f = Fs().Open(source, OpenMode::Read);
        f->Flush();
        f->Close();
    }
    try {
        Fs().SetPermissions(source, ReplacementMode(target));
        Fs().Rename(source, target);
        return;
    } catch (const FileError& e) {
        if (e.Code() != EXDEV) throw;
    }
    // Another file system: copy beside the target, then rename there.
    AtomicWriter writer(target);
    {
        auto in = Fs().Open(source, OpenMode::Read);
        std::vector<uint8_t> buf(1 << 16);
        for (;;) {
            size_t n = in->Read(buf.data(), buf.size());
            if (n == 0) break;
            writer.Output().Write(buf.data(), n);
        }
        in->Close();
    }
    writer.Commit();
    try {
        Fs().RemoveFile(source);
    } catch (const FileError&) {
        // The target is replaced; a source left behind is only a stray temporary file.
    }
}

AtomicWriter::AtomicWriter(const std::string& target) : target(target) {
    std::string dir = DirectoryOf(target);
    // The temporary file is ".<name>." beside the target. Built by appending:
    // prepending to a temporary string makes GCC 12 warn of a false overlap.
    std::string prefix(1, '.');
    prefix += NameOf(target);
    prefix += '.';
    output = Fs().CreateTempFile(dir.empty() ? "." : dir, prefix);
    tempPath = output->Path();
    guard.Set(tempPath);
}

AtomicWriter::~AtomicWriter() {
    if (committed) return;
    try {
        if (output) output.reset();
        Fs().RemoveFile(tempPath);
    } catch (...) {
        // The temporary file may be gone already; the target is untouched either way.
    }
    guard.Release();
}

void AtomicWriter::Commit() {
    Fs().SetPermissions(tempPath, ReplacementMode(target));
    output->Flush();
    output->Close();
    Fs().Rename(tempPath, target);
    committed = true;
    guard.Release();
}

} // namespace mv::platform
