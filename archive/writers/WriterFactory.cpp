// The table of writers by type name.
#include "archive/writers/WriterFactory.h"

#include "archive/writers/BhWriter.h"
#include "archive/writers/CabWriter.h"
#include "archive/writers/GZipWriter.h"
#include "archive/writers/LhaWriter.h"
#include "archive/writers/TarWriter.h"
#include "archive/writers/ZipWriter.h"

#include <cctype>

namespace mv {

namespace {

struct TWriterKind {
    const char* name;
    std::unique_ptr<TCompBase> (*make)();
};

template <class T> std::unique_ptr<TCompBase> Make() {
    return std::make_unique<T>();
}

// One line per writer.
const TWriterKind Writers[] = {
    {"zip", &Make<TZip>},
    {"jar", &Make<TJar>},
    {"lha", &Make<TLha>},
    {"lzh", &Make<TLha>},
    {"bh", &Make<TBlakHole>},
    {"cab", &Make<TMakeCAB>},
    {"gzip", &Make<TGZip>},
    {"gz", &Make<TGZip>},
    {"tar", &Make<TTar>},
    {"tgz",
     [] {
         auto t = std::make_unique<TTar>();
         t->SetCompressMethod(TCompressMethod::cmGzipTar);
         return std::unique_ptr<TCompBase>(std::move(t));
     }},
};

} // namespace

std::unique_ptr<TCompBase> MakeWriter(const std::string& typeName) {
    std::string t = typeName;
    for (auto& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& w : Writers)
        if (t == w.name) return w.make();
    return nullptr;
}

std::vector<std::string> WriterTypeNames() {
    std::vector<std::string> names;
    for (const auto& w : Writers) names.push_back(w.name);
    return names;
}

} // namespace mv
