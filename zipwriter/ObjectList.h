#pragma once
// The zip writer component's object containers: a list of object references
// that may own its items, and a sorted list that keeps its items in the order a
// descendant's comparison gives and finds them by binary search. The entry lists
// of the component (TSortedZip) are sorted lists.
//
// An owning list frees its items when it is cleared or destroyed; an item that
// a sorted list refuses as a duplicate stays with the caller.
#include "zipwriter/ZipEngineTypes.h"

#include <vector>

namespace mv {

class TObjectList : public TObject {
public:
    // Most items a list holds.
    static constexpr int MaxCapacity = 0xFFFE;

    explicit TObjectList(bool owns = true) : FOwns(owns) {}
    ~TObjectList() override;
    TObjectList(const TObjectList&) = delete;
    TObjectList& operator=(const TObjectList&) = delete;

    virtual void Error(long long index) const;
    virtual void Grow();
    virtual void Put(int index, TObject* item);
    virtual void FreeItem(TObject* item);
    virtual int Add(TObject* item);
    // Empties the list; an owning list frees its items.
    virtual void Clear();
    virtual int IndexOf(TObject* item) const;
    virtual void Insert(int index, TObject* item);
    TObject* First() const { return Get(0); }
    TObject* Last() const { return Get(Count() - 1); }
    // direction 1: the item after item (First when item is null); 0: the one
    // before (Last when null); null past either end.
    TObject* Neighbour(TObject* item, int direction) const;

    TObject* Get(int index) const;
    TObject* operator[](int index) const { return Get(index); }
    int Count() const { return static_cast<int>(FItems.size()); }
    int Capacity() const { return FCapacity; }
    void SetCapacity(int capacity);
    void SetCount(int count);
    bool Owns() const { return FOwns; }
    void SetOwns(bool owns) { FOwns = owns; }
    // Frees every item (when owning) and empties the list.
    void FreeAll();
    // Takes an item out without freeing it.
    TObject* Extract(int index);

protected:
    std::vector<TObject*> FItems;
    int FCapacity = 0;
    bool FOwns;
};

// 0: an item equal to one in the list is not inserted; 1: accepted (placed
// before the equal ones); 2: EListError "Duplicate Object index".
enum class TDuplicates : uint8_t { dupIgnore = 0, dupAccept = 1, dupError = 2 };

class TSortedObjectList : public TObjectList {
public:
    explicit TSortedObjectList(bool owns = true, TDuplicates duplicates = TDuplicates::dupError)
        : TObjectList(owns), FDuplicates(duplicates) {}

    virtual const TObject* KeyOf(const TObject* item) const { return item; }
    // Negative places the new item (key b) after the item a of the list.
    virtual int Compare(const TObject* a, const TObject* b) const = 0;
    virtual bool Find(const TObject* key, int& index) const;

    void Put(int index, TObject* item) override;
    // Inserts at the sorted place; answers 0. A refused duplicate (mode 0) is
    // not inserted and stays the caller's.
    int Add(TObject* item) override;
    int IndexOf(TObject* item) const override;
    void Insert(int index, TObject* item) override;
    // Whether the last Add/Insert inserted its item.
    bool LastInserted() const { return FLastInserted; }

    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates d) { FDuplicates = d; }

private:
    TDuplicates FDuplicates;
    bool FLastInserted = false;
};

} // namespace mv
