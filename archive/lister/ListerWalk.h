#pragma once
// One format's walk of the archive lister: how it starts (the archive header,
// the first entry header, the size of the record the lister reads before each
// step), its step (interpret the header just read, report or skip the entry,
// move to the next header) and how it ends.
//
// The lister drives every walk the same way: it reads the step record at its
// cursor into the step buffer, calls Step, and checks that the walk moved
// forward; when the headers end it checks what stands after them (Trailer) and
// whether the archive was seen whole (Closing). The walks live in
// archive/lister/walks/, one file per format, and move the lister's cursor and
// fill its entry; NewListerWalk chooses one by archive type from a table.
#include "archive/framework/ArcType.h"

#include <memory>

namespace mv {

class TArcLister;

// What may stand after the last header of a walk.
enum class TWalkTrailer {
    Anything,
    Zeros,       // zero padding only
    ArcEndMark,  // 0x1A 0x00
    LhaEndMark,  // a zero byte
    ZipRecords,  // the end records after a central directory
    RarEndBlock, // the end-of-archive block
    TarZeros,    // zero blocks
    Nothing,     // the walk ends on its end entry, never before
};

// How a walk knows that it saw the whole archive.
enum class TWalkClosing {
    Open,           // it ends where the headers end
    EndRecord,      // an end record must close it
    LocalEndRecord, // ZIP: an end record closes a walk of the local headers
    CountedEntries, // the archive header says how many entries follow
};

class TListerWalk {
public:
    explicit TListerWalk(TArcLister& lister) : L(lister) {}
    virtual ~TListerWalk() = default;
    TListerWalk(const TListerWalk&) = delete;
    TListerWalk& operator=(const TListerWalk&) = delete;

    // Places the first step record (the lister's header position, 1-based, and its
    // step size; a step size of 0 ends the listing before any step).
    virtual void Start() = 0;
    // The walk that goes on after Start, when the archive turned out to need
    // another one (a RAR archive of version 5); nullptr when this one goes on.
    virtual std::unique_ptr<TListerWalk> HandOver() { return nullptr; }
    // Interprets the step record just read (the lister's step buffer, read at its
    // header start) and moves the cursor to the next header.
    virtual void Step() = 0;
    virtual TWalkTrailer Trailer() const = 0;
    virtual TWalkClosing Closing() const = 0;
    // Entries the archive header announced that no step has reached yet (walks
    // that close by CountedEntries).
    virtual int EntriesLeft() const { return 0; }
    // Called when the walk ended and its ending was checked.
    virtual void Finish() {}

protected:
    // The lister whose cursor the walk moves and whose entry it fills.
    TArcLister& L;
};

// The lister's walk for archives of `type`; nullptr when the lister lists no such type.
std::unique_ptr<TListerWalk> NewListerWalk(TArcType type, TArcLister& lister);

} // namespace mv
