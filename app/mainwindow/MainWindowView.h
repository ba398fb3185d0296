#pragma once
// What the main window's logic needs of its window: the archive list view, the
// status bar, the caption, the commands, the progress window and the boxes. The
// window implements it on the desktop layer; tests implement it with records.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mv {

// The commands that follow the open archive's type.
struct TCommandState {
    bool CanAdd = false;     // Adicionar (menu and buttons), Excluir
    bool CanExtract = false; // Extrair, Visualizar, Anti-Vírus, Sfx, E-mail
    bool CanClose = false;   // Fechar
};

class TMainWindowView {
public:
    virtual ~TMainWindowView() = default;

    // ---- the archive list (a virtual list: it holds no items)
    virtual void SetVirtualItemCount(int count) = 0;
    // The column and direction the list view sorts by now.
    virtual int CurrentSortColumn() const = 0;
    virtual bool CurrentSortAscending() const = 0;
    // The selected items, in order; empty when none is selected.
    virtual std::vector<int> SelectedItems() const = 0;
    virtual void ClearSelection() = 0;
    virtual void BeginListUpdate() = 0;
    virtual void EndListUpdate() = 0;
    // Column widths from the row texts (when the option LarguraColuna is 0).
    virtual void AutoSizeColumns() = 0;

    // ---- status bar, caption, commands, cursor
    // Simple mode shows one text instead of the five panels; an empty text goes back to the panels.
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetStatusPanels(const std::array<std::string, 5>& panels) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void EnableCommands(const TCommandState& state) = 0;
    virtual void SetBusyCursor(bool busy) = 0;

    // ---- progress window
    virtual void ShowProgressWindow(bool visible) = 0;
    virtual void SetProgressCaption(const std::string& text) = 0;
    virtual void SetProgressFolder(const std::string& text) = 0;
    virtual void SetProgressFile(const std::string& text) = 0;
    virtual void SetProgressMessage(const std::string& text) = 0;
    virtual void SetProgressPercent(int percent) = 0;
    virtual int ProgressMaximum() const { return 100; }
    // Lets pending messages run (repaints, Cancel).
    virtual void ProcessMessages() {}

    // ---- boxes (kinds and results of ShowMessageBox)
    virtual int ShowMessage(const std::string& text, uint8_t kind, uint16_t buttons) = 0;
    // The password prompt captioned with an entry name: 1 OK (password set), 2
    // Cancel, 5 skip the entry.
    virtual int AskPassword(const std::string& entryName, std::string& password) = 0;
    // The overwrite prompt: title and the two sides' texts; its modal result
    // (6 yes, 7 no, 5 yes to all, 2 cancel).
    virtual int AskOverwrite(const std::string& title, const std::string& existingSize,
                             const std::string& existingTime, const std::string& newSize,
                             const std::string& newTime) = 0;
};

} // namespace mv
