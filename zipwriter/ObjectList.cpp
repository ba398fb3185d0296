#include "zipwriter/ObjectList.h"

#include <typeinfo>

namespace mv {

TObjectList::~TObjectList() {
    FreeAll();
}

void TObjectList::Error(long long index) const {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TObjectList::Grow() {
    // The last step stops at the most items a list holds; a full list refuses the next.
    if (FCapacity >= MaxCapacity) Error(FCapacity + 1);
    int delta = FCapacity > 8 ? 16 : (FCapacity > 4 ? 8 : 4);
    SetCapacity(FCapacity + delta > MaxCapacity ? MaxCapacity : FCapacity + delta);
}

TObject* TObjectList::Get(int index) const {
    if (index < 0 || index >= Count()) Error(index);
    return FItems[static_cast<size_t>(index)];
}

void TObjectList::Put(int index, TObject* item) {
    if (index < 0 || index >= Count()) Error(index);
    FItems[static_cast<size_t>(index)] = item;
}

void TObjectList::FreeItem(TObject* item) {
    if (FOwns) delete item;
}

int TObjectList::Add(TObject* item) {
    if (Count() == FCapacity) Grow();
    FItems.push_back(item);
    return Count() - 1;
}

void TObjectList::Clear() {
    FreeAll();
}

int TObjectList::IndexOf(TObject* item) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[static_cast<size_t>(i)] == item) return i;
    return -1;
}

void TObjectList::Insert(int index, TObject* item) {
    if (index < 0 || index > Count()) Error(index);
    if (Count() == FCapacity) Grow();
    FItems.insert(FItems.begin() + index, item);
}

TObject* TObjectList::Neighbour(TObject* item, int direction) const {
    if (!item) return Count() == 0 ? nullptr : (direction == 1 ? First() : Last());
    int i = IndexOf(item);
    if (i < 0) throw EListError(std::string("tObject ") + typeid(*item).name() + " not in item list");
    i += direction == 1 ? 1 : -1;
    return i < 0 || i >= Count() ? nullptr : FItems[static_cast<size_t>(i)];
}

void TObjectList::SetCapacity(int capacity) {
    if (capacity < Count() || capacity > MaxCapacity) Error(capacity);
    FItems.reserve(static_cast<size_t>(capacity));
    FCapacity = capacity;
}

void TObjectList::SetCount(int count) {
    if (count < 0 || count > MaxCapacity) Error(count);
    if (count > FCapacity) SetCapacity(count);
    while (Count() > count) {
        FreeItem(FItems.back());
        FItems.pop_back();
    }
    FItems.resize(static_cast<size_t>(count), nullptr);
}

void TObjectList::FreeAll() {
    for (TObject* item : FItems) FreeItem(item);
    FItems.clear();
    FCapacity = 0;
}

TObject* TObjectList::Extract(int index) {
    TObject* item = Get(index);
    FItems.erase(FItems.begin() + index);
    return item;
}

// --- sorted list ---

bool TSortedObjectList::Find(const TObject* key, int& index) const {
    int low = 0, high = Count() - 1;
    bool found = false;
    while (low <= high) {
        int mid = (low + high) / 2;
        int c = Compare(KeyOf(FItems[static_cast<size_t>(mid)]), key);
        if (c < 0) {
            low = mid + 1;
        } else {
            high = mid - 1;
            if (c == 0) {
                found = true;
                if (FDuplicates != TDuplicates::dupAccept) low = mid;
            }
        }
    }
    index = low;
    return found;
}

void TSortedObjectList::Put(int, TObject*) {
    throw EListError("Cannot <Put> an Object in a sorted list!");
}

int TSortedObjectList::Add(TObject* item) {
    Insert(0, item);
    return 0;
}

int TSortedObjectList::IndexOf(TObject* item) const {
    int i;
    if (!Find(KeyOf(item), i)) return -1;
    // Equal keys may stand side by side: find the very reference among them.
    for (int j = i; j < Count() && Compare(KeyOf(FItems[static_cast<size_t>(j)]), KeyOf(item)) == 0; ++j)
        if (FItems[static_cast<size_t>(j)] == item) return j;
    return TObjectList::IndexOf(item);
}

void TSortedObjectList::Insert(int, TObject* item) {
    int i;
    FLastInserted = false;
    if (Find(KeyOf(item), i)) {
        if (FDuplicates == TDuplicates::dupIgnore) return;
        if (FDuplicates == TDuplicates::dupError) throw EListError("Duplicate Object index");
    }
    TObjectList::Insert(i, item);
    FLastInserted = true;
}

} // namespace mv
