// The table of the lister's walks by archive type. A walk of a new format adds
// its line to kWalks below.
#include "archive/lister/ListerWalk.h"

#include "archive/lister/walks/WalkSupport.h"

namespace mv {

namespace {

struct TWalkEntry {
    TArcType type;
    std::unique_ptr<TListerWalk> (*make)(TArcLister&);
};

// RAR archives of version 5 start on the RAR walk, which hands over to theirs.
const TWalkEntry kWalks[] = {
    {TArcType::atACE, NewAceWalk},    {TArcType::atArc, NewArcWalk},    {TArcType::atArcExe, NewArcWalk},
    {TArcType::atPak, NewArcWalk},    {TArcType::atPakExe, NewArcWalk}, {TArcType::atArj, NewArjWalk},
    {TArcType::atArjExe, NewArjWalk}, {TArcType::atBh, NewBhWalk},      {TArcType::atBhExe, NewBhWalk},
    {TArcType::atCab, NewCabWalk},    {TArcType::atGZip, NewGZipWalk},  {TArcType::atHa, NewHaWalk},
    {TArcType::atJar, NewZipWalk},    {TArcType::atZip, NewZipWalk},    {TArcType::atZipExe, NewZipWalk},
    {TArcType::atZipMV, NewZipWalk},  {TArcType::atLha, NewLhaWalk},    {TArcType::atLhaExe, NewLhaWalk},
    {TArcType::atLzh, NewLhaWalk},    {TArcType::atLzhExe, NewLhaWalk}, {TArcType::atMsGZ, NewMsGZWalk},
    {TArcType::atRar, NewRarWalk},    {TArcType::atRarExe, NewRarWalk}, {TArcType::atTar, NewTarWalk},
    {TArcType::atUue, NewUueWalk},    {TArcType::atZoo, NewZooWalk},
};

} // namespace

std::unique_ptr<TListerWalk> NewListerWalk(TArcType type, TArcLister& lister) {
    for (const auto& w : kWalks)
        if (w.type == type) return w.make(lister);
    return nullptr;
}

} // namespace mv
