// The ZIP writer updating an arbitrary file: the old archive's directory, local
// headers and descriptors are read as they stand (listing, then deleting a few
// entries, which rewrites the rest). It must never crash, read outside the file
// or hang; a damaged archive is refused and left as it was.
#include "archive/writers/ZipWriter.h"

#include "platform/FileSystem.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace {
// A folder of its own for the run, removed at exit.
struct TFolder {
    std::string path = mv::platform::Fs().CreateTempDirectory("", "fuzzzip");
    ~TFolder() {
        try {
            mv::platform::RemoveTree(path);
        } catch (...) {
        }
    }
};
std::string Folder() {
    static TFolder folder;
    return folder.path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = Folder() + "/old.zip";
    {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    {
        mv::TZip lister;
        lister.SetArchiveFile(path);
        lister.SetSwitch(mv::TSwitch::swRead);
        lister.OnRead = [](mv::TObject*, int64_t, int) {};
        lister.Compress();
    }
    {
        mv::TZip zip;
        zip.SetArchiveFile(path);
        zip.SetSwitch(mv::TSwitch::swDelete);
        zip.FileSpecList().push_back("a*");
        zip.Compress();
        // A refused archive stays exactly as it was.
        if (zip.LastError() != 0) {
            std::ifstream f(path, std::ios::binary);
            std::string now((std::istreambuf_iterator<char>(f)), {});
            if (now.size() != size ||
                (size && now.compare(0, size, reinterpret_cast<const char*>(data), size) != 0))
                std::abort();
        }
    }
    return 0;
}
