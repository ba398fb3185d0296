#pragma once
// Shell items as drag-and-drop and clipboard data: the identifier-list block, the file
// drop block and the text block with their byte layouts; the format list and its
// enumerator; the drop source's rules; the data object; and the MIME form these take
// for other programs (text/uri-list for the files, text/plain for the text).
#include "controls/shell/ShellUtils.h"
#include "platform/ui/Control.h"
#include "platform/ui/MimeData.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mv {

// A memory block handed between data objects and their users.
using THGlobal = std::vector<uint8_t>;

constexpr uint16_t CF_TEXT = 1, CF_HDROP = 15;
constexpr uint32_t DVASPECT_CONTENT = 1, DVASPECT_ICON = 4;
constexpr uint32_t TYMED_HGLOBAL = 1, TYMED_FILE = 2, TYMED_ISTREAM = 4;
constexpr uint32_t DATADIR_GET = 1, DATADIR_SET = 2;
constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064), DV_E_TYMED = static_cast<HRESULT>(0x80040069),
                  OLE_E_ADVISENOTSUPPORTED = static_cast<HRESULT>(0x80040003), DRAGDROP_S_DROP = 0x40100,
                  DRAGDROP_S_CANCEL = 0x40101, DRAGDROP_S_USEDEFAULTCURSORS = 0x40102;
constexpr uint32_t DROPEFFECT_NONE = 0, DROPEFFECT_COPY = 1, DROPEFFECT_MOVE = 2, DROPEFFECT_LINK = 4;
constexpr uint32_t MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8, MK_MBUTTON = 16;

// A clipboard format number for a name, the same number for the same name all along.
uint16_t RegisterClipboardFormat(const std::string& name);
// The "Shell IDList Array" format.
uint16_t ShellIdListFormat();

struct TFormatEtc {
    uint16_t Format = 0;
    bool HasTargetDevice = false;
    uint32_t Aspect = DVASPECT_CONTENT;
    int32_t Index = -1;
    uint32_t Tymed = TYMED_HGLOBAL;
};

// Block builders: S_OK and the block, or E_OUTOFMEMORY.
HRESULT MakeIdListArrayHGlobal(const TIdList& parent, const std::vector<TIdList>& items, THGlobal& block);
HRESULT MakeHDropHGlobal(const std::vector<std::string>& names, THGlobal& block);
HRESULT MakeTextHGlobal(const std::string& text, THGlobal& block);
THGlobal DuplicateHGlobal(const THGlobal& block);
// Reads an identifier-list block back; false for a damaged block.
bool ReadIdListArray(const THGlobal& block, TIdList& parent, std::vector<TIdList>& items);

class TMvFormatEtcList {
public:
    explicit TMvFormatEtcList(const std::vector<uint16_t>& formats);
    int Count() const { return static_cast<int>(FItems.size()); }
    const TFormatEtc& Item(int index) const { return FItems.at(static_cast<size_t>(index)); }

private:
    std::vector<TFormatEtc> FItems;
};

// The reference-counted objects free themselves when their count falls to 0.
class TMvFormatEtcList_IEnumFormatEtc {
public:
    explicit TMvFormatEtcList_IEnumFormatEtc(const TMvFormatEtcList& list, int position = 0)
        : FList(list), FPosition(position) {}
    uint32_t AddRef() { return ++FRefCount; }
    uint32_t Release();
    HRESULT Next(uint32_t count, TFormatEtc* out, uint32_t* fetched);
    HRESULT Skip(uint32_t count);
    HRESULT Reset();
    HRESULT Clone(TMvFormatEtcList_IEnumFormatEtc*& out);

private:
    ~TMvFormatEtcList_IEnumFormatEtc() = default;
    uint32_t FRefCount = 0;
    const TMvFormatEtcList& FList;
    int FPosition;
};


// Decides when a drag goes on, drops or is cancelled.
class TDropSource_shlvtv {
public:
    explicit TDropSource_shlvtv(TMouseButton button);
    uint32_t AddRef() { return ++FRefCount; }
    uint32_t Release();
    uint32_t DragButton() const { return FDragButton; }
    HRESULT QueryContinueDrag(bool escapePressed, uint32_t keyState) const;
    HRESULT GiveFeedback(uint32_t effect) const;

private:
    ~TDropSource_shlvtv() = default;
    uint32_t FRefCount = 0;
    uint32_t FDragButton;
};

// The data of dragged shell items (the parent's absolute list and the items' lists
// relative to it) in the three formats, built once.
class TShellDataObject {
public:
    TShellDataObject(const TIdList& parent, const std::vector<TIdList>& items);
    // An object with no blocks (a node without shell data).
    TShellDataObject();
    uint32_t AddRef() { return ++FRefCount; }
    uint32_t Release();
    HRESULT GetData(const TFormatEtc& format, THGlobal& medium) const;
    HRESULT GetDataHere(const TFormatEtc&, THGlobal&) const { return E_NOTIMPL; }
    HRESULT QueryGetData(const TFormatEtc& format) const;
    HRESULT GetCanonicalFormatEtc(const TFormatEtc&, TFormatEtc& out) const;
    HRESULT SetData(const TFormatEtc&, const THGlobal&) { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(uint32_t direction, TMvFormatEtcList_IEnumFormatEtc*& out) const;
    HRESULT DAdvise() { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise() { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise() { return OLE_E_ADVISENOTSUPPORTED; }
    // The file-system paths of the items (their parsing names).
    const std::vector<std::string>& Names() const { return FNames; }

private:
    ~TShellDataObject() = default;
    uint32_t FRefCount = 0;
    THGlobal FText, FHDrop, FIdList;
    std::vector<std::string> FNames;
    TMvFormatEtcList FFormats;
};

// Splits an absolute list into its parent folder, the parent's list and the last item.
// The Desktop splits as the desktop folder's own path.
HRESULT SplitPidl(const TIdList& absolute, TShellFolderRef& parentFolder, TIdList& parent, TIdList& last);
// The effects the dragged items allow: copy, move and link narrowed by their attributes
// (all three when the data has no identifier list; none when it cannot be read).
uint32_t GetAllowedDropEffects(const TShellDataObject& data);

// --- The MIME form ------------------------------------------------------------------------
constexpr const char* ShellIdListMime = "application/x-morvelan-shell-idlist";

// The blocks of a data object for other programs: the identifier list (ours), the files
// as a text/uri-list of file URLs, and the text; with a cut marker the files are marked
// as moved when pasted.
TMimeBlocks MimeBlocksOf(const TShellDataObject& data, bool cut);
// A data object for what another program dropped or copied: the identifier list when it
// is there and readable, else the files of a text/uri-list (all of one folder, else
// those of the first file's folder). Null when no item can be had. cut tells whether
// the data carries a cut marker.
TShellDataObject* DataObjectFromMime(const TMimeBlocks& blocks, bool* cut = nullptr);
std::string FileUrl(const std::string& path);
std::vector<std::string> PathsOfUriList(const std::string& text);

} // namespace mv
