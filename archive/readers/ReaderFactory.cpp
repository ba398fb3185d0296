// The table of readers by archive type. A reader of a new format adds its line
// to kReaders below.
#include "archive/readers/ReaderFactory.h"

#include "archive/readers/UnAce.h"
#include "archive/readers/UnArj.h"
#include "archive/readers/UnArc.h"
#include "archive/readers/UnBh.h"
#include "archive/readers/UnCab.h"
#include "archive/readers/UnGZip.h"
#include "archive/readers/UnLha.h"
#include "archive/readers/UnRar.h"
#include "archive/readers/UnTar.h"
#include "archive/readers/UnUue.h"
#include "archive/readers/UnZip.h"
#include "archive/readers/UnZoo.h"

namespace mv {

namespace {

struct TReaderEntry {
    TArcType type;
    std::unique_ptr<TUnBase> (*make)();
};

template <class T> std::unique_ptr<TUnBase> Make() {
    return std::make_unique<T>();
}

const TReaderEntry kReaders[] = {
    {TArcType::atZip, Make<TUnZIP>},
    {TArcType::atZipExe, Make<TUnZIP>},
    {TArcType::atZipMV, Make<TUnZIP>},
    {TArcType::atJar, Make<TUnJar>},
    {TArcType::atRar, Make<TUnRAR>},
    {TArcType::atRarExe, Make<TUnRAR>},
    {TArcType::atGZip, NewGZipReader},
    {TArcType::atTar, Make<TUnTAR>},
    {TArcType::atLha, Make<TUnLHA>},
    {TArcType::atLhaExe, Make<TUnLHA>},
    {TArcType::atLzh, Make<TUnLHA>},
    {TArcType::atLzhExe, Make<TUnLHA>},
    {TArcType::atArj, Make<TUnARJ>},
    {TArcType::atArjExe, Make<TUnARJ>},
    {TArcType::atUue, Make<TUUDecode>},
    {TArcType::atCab, Make<TUnCAB>},
    {TArcType::atACE, Make<TUnACE>},
    {TArcType::atArc, Make<TUnARC>},
    {TArcType::atArcExe, Make<TUnARC>},
    {TArcType::atPak, Make<TUnARC>},
    {TArcType::atZoo, Make<TUnZOO>},
    {TArcType::atBh, Make<TUnBH>},
    {TArcType::atBhExe, Make<TUnBH>},
};

} // namespace

std::unique_ptr<TUnBase> NewReader(TArcType type) {
    for (const auto& e : kReaders)
        if (e.type == type) return e.make();
    return nullptr;
}

std::unique_ptr<TUnBase> NewReaderFor(const std::string& archive, TArcType* type) {
    TUnBase probe;
    probe.SetArchiveFile(archive);
    const TArcType found = probe.ArcType();
    if (type) *type = found;
    auto reader = NewReader(found);
    if (reader) {
        reader->SetArchiveFile(archive);
        return reader;
    }
    // The ZIP reader also knows the last part of a split set, which the common
    // detection cannot place.
    reader = std::make_unique<TUnZIP>();
    reader->SetArchiveFile(archive);
    if (reader->ArcType() != TArcType::atZip) return nullptr;
    if (type) *type = reader->ArcType();
    return reader;
}

} // namespace mv
