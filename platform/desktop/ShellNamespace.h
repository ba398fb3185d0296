#pragma once
// The program's shell namespace: a virtual Desktop root holding Home, Computer and the
// entries of the user's desktop folder; Computer holding the mounted volumes; and the
// folders and files of the file system below them. Items are named by item identifier
// lists: runs of items, each led by its 16-bit byte count (the count includes itself),
// closed by a zero count. The empty list (the terminator alone) is the Desktop.
//
// One item, little-endian, frozen:
//   offset 0  u16 byte count of the item (20 + name length)
//   offset 2  u8  kind (TShellItemKind)
//   offset 3  u8  flags (bit 0: a symbolic link)
//   offset 4  u64 size in bytes (files; 0 otherwise)
//   offset 12 i64 modification time in nanoseconds since 1970 (0 for virtual items)
//   offset 20 the name, UTF-8, without a terminator: a file or folder name, the mount
//             point of a volume, empty for Home and Computer.
// The size and time make a changed file a different item to a byte comparison, while
// CompareIdLists still takes it for the same item.
//
// This is the only place that knows POSIX folders, mounts, MIME types and icons.
#include <cstdint>
#include <string>
#include <vector>

namespace mv::desktop {

// An identifier list. No bytes at all: no list (absent); {0, 0}: the Desktop.
using TIdList = std::vector<uint8_t>;

enum class TShellItemKind : uint8_t { skHome = 1, skComputer = 2, skVolume = 3, skFolder = 4, skFile = 5 };

struct TShellItem {
    TShellItemKind Kind = TShellItemKind::skFile;
    bool Link = false;
    uint64_t Size = 0;
    int64_t Modified = 0; // nanoseconds since 1970
    std::string Name;
};

constexpr size_t ShellItemHeaderSize = 20;

// One item's bytes (with its count); a name too long for the 16-bit count is refused
// with an empty result.
std::vector<uint8_t> EncodeShellItem(const TShellItem& item);
// Reads the items of a list, checking every count and kind and the terminator; false for
// a damaged list, a name that is not a single path component, or an item in a place its
// kind cannot be (a volume outside Computer, anything below a file).
bool DecodeIdList(const TIdList& list, std::vector<TShellItem>& items);
TIdList IdListOfItems(const std::vector<TShellItem>& items);

// Attribute bits of an item, with the values the controls test.
constexpr uint32_t sfgaoCanCopy = 0x1, sfgaoCanMove = 0x2, sfgaoCanLink = 0x4, sfgaoCanRename = 0x10,
                   sfgaoCanDelete = 0x20, sfgaoHasPropSheet = 0x40, sfgaoDropTarget = 0x100,
                   sfgaoLink = 0x10000, sfgaoShare = 0x20000, sfgaoReadOnly = 0x40000, sfgaoHidden = 0x80000,
                   sfgaoValidate = 0x1000000, sfgaoRemovable = 0x2000000, sfgaoFileSysAncestor = 0x10000000,
                   sfgaoFolder = 0x20000000, sfgaoFileSystem = 0x40000000, sfgaoHasSubfolder = 0x80000000;

// Kinds of names of an item.
constexpr int shgdnNormal = 0, shgdnInFolder = 1, shgdnForParsing = 2;

// Special folders by number.
constexpr int csidlDesktop = 0, csidlPersonal = 5, csidlSendTo = 9, csidlDesktopDirectory = 16,
              csidlDrives = 17;

// What a folder listing holds.
constexpr uint32_t shcontFolders = 0x20, shcontNonFolders = 0x40, shcontIncludeHidden = 0x80;

// The language base the names of the virtual folders are read with (the string table's
// 700 Desktop, 701 Home, 702 Computer); English by default.
void SetNamespaceLanguageBase(int32_t base);
// A text of the string table (number + that language base).
std::string NamespaceText(int32_t number);

// The file-system path of a list: empty for the Desktop, Computer, no list and a damaged
// list. No length limit.
std::string IdListToPath(const TIdList& list);
// The list of an absolute path: under the home folder through Home, else through
// Computer and the volume that holds it. Each component must exist. 0 on success, else
// an errno value (EINVAL for a relative path).
int PathToIdList(const std::string& path, TIdList& list);
// The list of a special folder (the Send To folder is created when missing).
int SpecialFolderIdList(int csidl, TIdList& list);
// The path of a special folder ("" for the Desktop root and Computer).
std::string SpecialFolderDir(int csidl);

// The volumes Computer holds: the root file system and the mounts of block devices and
// network file systems, in mount-point order.
std::vector<std::string> VolumeMountPoints();

// The items of a folder as one-item lists, in directory order; 0 or an errno value.
int EnumFolder(const TIdList& folder, uint32_t flags, std::vector<TIdList>& items);
// Asks for the attributes in mask; answers those that hold. False when the item cannot
// be reached (it was removed, or the list is damaged).
bool ItemAttributes(const TIdList& absolute, uint32_t& mask);
// Order of two absolute lists item by item: virtual items first, then folders, then
// files; names case-insensitively, then exactly. 0 when they name the same item (the
// size and time are not compared).
int CompareIdLists(const TIdList& a, const TIdList& b);
// The name of an item of a given kind (shgdn...); the parsing name of a file-system item
// is its path.
std::string IdListDisplayName(const TIdList& absolute, int kind);
// The MIME type's description of a file-system item (the folder type for folders).
std::string ItemTypeName(const TIdList& absolute);
std::string ItemMimeType(const TIdList& absolute);
// Renames a file or folder in its folder; never replaces an existing item. 0 and the new
// one-item list, or an errno value.
int RenameItem(const TIdList& absolute, const std::string& newName, TIdList& newItem);

// --- Icons ------------------------------------------------------------------------------
// A process-wide table of icons, by index: the theme's icons where the desktop has a
// theme, else pictures of our own. Overlay 1 marks a shared item, overlay 2 a link.
constexpr uint32_t shgfiSmallIcon = 0x1, shgfiOpenIcon = 0x2;
int IdListIconIndex(const TIdList& absolute, uint32_t flags);
// The icon a file of that name would have, without touching the disk.
int FileNameIconIndex(const std::string& name, uint32_t flags);
// The index of the overlay picture (1 share, 2 link), -1 for others.
int OverlayIconIndex(int overlay);
int IconCount();
struct TIconPixels {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Argb; // row by row, 0xAARRGGBB
};
TIconPixels IconPixels(int index, int size);

} // namespace mv::desktop

namespace mv::desktop {
// True when the path lies on removable media (asking such a drive for more than its
// listing would wake or spin it).
bool OnRemovableMedia(const std::string& path);
// True when the path is the mount point of a volume.
bool IsMountPoint(const std::string& path);
} // namespace mv::desktop
