#pragma once
// What the lister's walks (archive/lister/walks/) share besides the lister
// itself.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace mv {

class TArcLister;
class TListerWalk;

// The walk of each format, for the table of NewListerWalk.
std::unique_ptr<TListerWalk> NewAceWalk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewArcWalk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewArjWalk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewBhWalk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewCabWalk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewGZipWalk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewHaWalk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewLhaWalk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewMsGZWalk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewRarWalk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewRar5Walk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewTarWalk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewUueWalk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewZipWalk(TArcLister& lister);
std::unique_ptr<TListerWalk> NewZooWalk(TArcLister& lister);

} // namespace mv

namespace mv::listerwalk {

// Sizes over this are no quantity of any of the listed formats and no file this
// system handles: they mark a hostile or broken header.
constexpr int64_t MaxEntrySize = int64_t(1) << 62;

// Folder of a path with its "/" (empty when none).
inline std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace mv::listerwalk
