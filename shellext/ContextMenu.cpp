#include "shellext/ContextMenu.h"

#include "shellext/ClassKey.h"
#include "shellext/ListFileWriter.h"
#include "shellext/Spawn.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <unistd.h>

namespace mv::shellext {

using namespace com;

namespace {

constexpr const char* LineBreakText =
    "Um dos itens selecionados tem uma quebra de linha no nome; esta operação não pode ser executada.";

void ShowMessage(HWND window, const char* text) {
    if (window)
        window->ShowMessage(text, ErrorCaption, MB_ICONERROR);
    else
        std::fprintf(stderr, "%s: %s\n", ErrorCaption, text);
}

// The names of a drop-file block, read within its bounds.
std::vector<std::string> ReadDropFiles(const GlobalBlock* block) {
    std::vector<std::string> names;
    if (!block || !block->Data || block->Size < sizeof(DROPFILES)) return names;
    DROPFILES header;
    std::memcpy(&header, block->Data, sizeof header);
    if (header.fWide != 0 || header.pFiles > block->Size) return names;
    const char* p = reinterpret_cast<const char*>(block->Data) + header.pFiles;
    const char* end = reinterpret_cast<const char*>(block->Data) + block->Size;
    while (p < end && *p) {
        const void* nul = std::memchr(p, 0, static_cast<size_t>(end - p));
        const char* stop = nul ? static_cast<const char*>(nul) : end;
        names.emplace_back(p, stop);
        p = stop + 1;
    }
    return names;
}

// A small archive box: a dark outline, a light body and a band with a clasp.
struct TMenuImage {
    static constexpr int Size = 14;
    std::array<uint32_t, Size * Size> Pixels{};
    MenuBitmap Bitmap{Size, Size, nullptr};

    TMenuImage() {
        for (int y = 0; y < Size; ++y)
            for (int x = 0; x < Size; ++x) {
                uint32_t c = 0x00000000u; // transparent
                bool inside = x >= 1 && x <= 12 && y >= 2 && y <= 12;
                bool edge = inside && (x == 1 || x == 12 || y == 2 || y == 12);
                if (edge)
                    c = 0x5A3A1AFFu;
                else if (inside && y >= 5 && y <= 6)
                    c = 0x8C5A2AFFu;
                else if (inside)
                    c = 0xE8C890FFu;
                if (inside && x >= 6 && x <= 7 && y >= 4 && y <= 7) c = 0xC0C0C0FFu;
                Pixels[static_cast<size_t>(y * Size + x)] = c;
            }
        Bitmap.Pixels = Pixels.data();
    }
};

} // namespace

std::atomic<long>& LiveObjectCount() {
    static std::atomic<long> count{0};
    return count;
}

std::atomic<long>& ServerLockCount() {
    static std::atomic<long> count{0};
    return count;
}

HBITMAP MenuBitmapImage() {
    static const TMenuImage image;
    return &image.Bitmap;
}

TMorvelanContextMenu::TMorvelanContextMenu() {
    ++LiveObjectCount();
}
TMorvelanContextMenu::~TMorvelanContextMenu() {
    --LiveObjectCount();
}

HRESULT TMorvelanContextMenu::QueryInterface(const IID& riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IShellExtInit)
        *ppv = static_cast<IShellExtInit*>(this);
    else if (riid == IID_IContextMenu)
        *ppv = static_cast<IContextMenu*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG TMorvelanContextMenu::AddRef() {
    return ++refCount;
}

ULONG TMorvelanContextMenu::Release() {
    ULONG left = --refCount;
    if (left == 0) delete this;
    return left;
}

HRESULT TMorvelanContextMenu::Initialize(const void*, IDataObject* dataObject, void*) {
    if (!dataObject) return E_FAIL;
    try {
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium{};
        HRESULT hr = dataObject->GetData(&format, &medium);
        if (Failed(hr)) return hr;
        std::vector<std::string> selection;
        try {
            selection = ReadDropFiles(medium.tymed == TYMED_HGLOBAL ? medium.hGlobal : nullptr);
        } catch (...) {
            ReleaseStgMedium(&medium);
            throw;
        }
        ReleaseStgMedium(&medium);
        FSelection = std::move(selection);
        // One image per object, however often the selection is replaced.
        if (!FMenuBitmap) FMenuBitmap = MenuBitmapImage();
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

bool TMorvelanContextMenu::IsArchiveSelected() const {
    if (FSelection.size() > 1) return false;
    return !FSelection.empty() && IsArchiveName(FSelection[0]);
}

TSelectionKind TMorvelanContextMenu::Kind() const {
    return SelectionKind(FSelection);
}

std::string TMorvelanContextMenu::GetMainProgramCommand() const {
    return MainProgramPath();
}

HRESULT TMorvelanContextMenu::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT, UINT) {
    try {
        TSelectionKind kind = Kind();
        if (kind == TSelectionKind::skNone) return MakeSuccess(0);
        if (!menu) return E_INVALIDARG;
        TSelectionNames names = SelectionNames(FSelection[0]);
        UINT position = index;
        for (const TMenuItem& item : MenuItems(kind, names)) {
            menu->InsertItem(position, firstId + item.Offset, item.Text.c_str());
            menu->SetItemBitmaps(position, FMenuBitmap, FMenuBitmap);
            ++position;
        }
        // The count of the kind, also when the single kind inserted one item only.
        return MakeSuccess(static_cast<uint16_t>(MenuCount(kind)));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT TMorvelanContextMenu::GetCommandString(uintptr_t offset, UINT type, UINT*, char* buffer,
                                               UINT bufferSize) {
    if (type != GCS_HELPTEXTA) return E_INVALIDARG;
    const char* text = HelpText(IsArchiveSelected() ? TSelectionKind::skArchive : TSelectionKind::skSingle,
                                static_cast<uint32_t>(offset));
    if (!text || offset > 0xFFFF) return E_INVALIDARG;
    if (!buffer || bufferSize == 0) return E_INVALIDARG;
    // Never past the caller's buffer: a short one gets the start of the text.
    size_t n = std::min<size_t>(std::strlen(text), bufferSize - 1);
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return S_OK;
}

HRESULT TMorvelanContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    if (!info) return E_INVALIDARG;
    if (!IsIntVerb(info->lpVerb)) return E_FAIL;
    uint32_t offset = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info->lpVerb) & 0xFFFFu);
    try {
        return Invoke(info->hwnd, offset);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT TMorvelanContextMenu::Invoke(HWND window, uint32_t offset) {
    TSelectionKind kind = Kind();
    if (kind == TSelectionKind::skNone) {
        // Nothing to start: the same message as a program that does not start.
        ShowMessage(window, CannotRunText);
        return S_OK;
    }
    TSelectionNames names = SelectionNames(FSelection[0]);
    std::vector<std::string> arguments;
    std::string listFile;
    if (!CommandArguments(kind, offset, names, "", arguments)) return E_INVALIDARG;
    if (kind == TSelectionKind::skSeveral) {
        switch (WriteListFile(FSelection, listFile)) {
        case TListFileResult::lfOk:
            break;
        case TListFileResult::lfLineBreak:
            ShowMessage(window, LineBreakText);
            return E_INVALIDARG;
        case TListFileResult::lfCannotWrite:
            ShowMessage(window, CannotRunText);
            return E_FAIL;
        }
        CommandArguments(kind, offset, names, listFile, arguments);
    }
    std::vector<std::string> argv{GetMainProgramCommand()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    if (!StartDetached(argv)) {
        // Nobody will read the list now.
        if (!listFile.empty()) ::unlink(listFile.c_str());
        ShowMessage(window, CannotRunText);
    }
    return S_OK;
}

} // namespace mv::shellext
