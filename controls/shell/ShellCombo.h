#pragma once
// The folder combo of the file dialogs: a drop-down list of folders with icons and
// indents showing the Desktop, its children, the volumes under Computer and the chain
// of ancestors down to the current folder, which is the selected item. Choosing an item
// moves a linked shell tree or shell list; those move the combo in turn.
#include "controls/shell/ImageCombo.h"
#include "controls/shell/ShellData.h"
#include "controls/shell/ShellLocator.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace mv {

class TMvCustomShellTree;
class TMvCustomShellList;
class TTreeNode;

enum TMvShellComboOption : uint8_t { ptscoAutofill, ptscoNonFilesystemAncestors };
using TMvShellComboOptions = uint8_t;
constexpr TMvShellComboOptions PTSCO(TMvShellComboOption o) {
    return static_cast<TMvShellComboOptions>(1u << o);
}
constexpr TMvShellComboOptions DefaultShellComboOptions = 3;

class TMvCustomShellCombo : public TMvCustomImageCombo {
public:
    explicit TMvCustomShellCombo(TComponent* owner);
    ~TMvCustomShellCombo() override;

    TMvCustomShellTree* ShellTree() const { return FShellTree; }
    // Refused (nothing changes) while a list is linked.
    void SetShellTree(TMvCustomShellTree* value);
    TMvCustomShellList* ShellList() const { return FShellList; }
    // Refused (nothing changes) while a tree is linked.
    void SetShellList(TMvCustomShellList* value);
    TMvShellComboOptions Options() const { return FOptions; }
    void SetOptions(TMvShellComboOptions value) { FOptions = value; }
    // The current folder; the tree and the list set it.
    TMvShellLocator& CurrentFolder() { return *FCurrentFolder; }
    // The record of an item.
    TMvShComboData* ComboData(int index) const;

    void Refill();
    void GoUp(int levels);
    void FlushPendingSync(bool cascade);
    // Fills the items now (the window exists from the start here).
    void Loaded();

    virtual void SyncLinkedControls();
    virtual void FolderFromTreeNode(TTreeNode* node);

protected:
    virtual bool DoAddItem(const TShellFolder& folder, const TIdList& parentAbsIdList, uint32_t attributes,
                           const TIdList& relIdList);
    virtual void FillCombo(TShellFolderRef folder, const TIdList& parentPidl, const std::vector<TIdList>& chain,
                           int level);
    void DoDeleteItem(void* data) override;
    void DoSelEndOk() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TMvCustomShellTree;
    friend class TMvCustomShellList;
    class TBusy;
    void AddChainItems(TShellFolderRef folder, const TIdList& parentPidl, const std::vector<TIdList>& chain,
                       int level);
    TMvImageComboItem* AddFolderItem(TShellFolderRef folder, const TIdList& parentPidl, const TIdList& relative,
                                     uint32_t attributes, int indent, bool current, int nameKind);
    int FBusy = 0;
    TMvCustomShellTree* FShellTree = nullptr;
    TMvCustomShellList* FShellList = nullptr;
    std::unique_ptr<TMvShellLocator> FCurrentFolder;
    TMvShellComboOptions FOptions = DefaultShellComboOptions;
    bool FFollowingChain = false;
    bool FChainSelected = false;
};

class TMvShellCombo : public TMvCustomShellCombo {
public:
    explicit TMvShellCombo(TComponent* owner) : TMvCustomShellCombo(owner) {}
};

} // namespace mv
