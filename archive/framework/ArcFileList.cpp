#include "archive/framework/ArcFileList.h"

#include <cstring>

namespace mv {

void TArcFileList::Init() {
    FRecordSize = kRecordSize;
    Clear();
}

void TArcFileList::Add(const void* Record) {
    if (!FRecordSize) Init();
    const auto* p = static_cast<const uint8_t*>(Record);
    FData.insert(FData.end(), p, p + FRecordSize);
}

void TArcFileList::Clear() {
    FData.clear();
}

void TArcFileList::Done() {
    Clear();
    FData.shrink_to_fit();
    FRecordSize = 0;
}

const uint8_t* TArcFileList::Items(size_t Index) const {
    return Index < Count() ? FData.data() + Index * FRecordSize : nullptr;
}

uint8_t* TArcFileList::Items(size_t Index) {
    return Index < Count() ? FData.data() + Index * FRecordSize : nullptr;
}

} // namespace mv
