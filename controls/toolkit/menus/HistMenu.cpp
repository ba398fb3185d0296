#include "controls/toolkit/menus/HistMenu.h"

#include "platform/RegistryStore.h"

#include <vector>

namespace mv {

namespace {

// Puts item at position index among parent's children (the menu item offers appending
// only: the children from index on are taken out and appended again after it).
void InsertChild(TMenuItem* parent, int index, TMenuItem* item) {
    std::vector<TMenuItem*> tail;
    while (parent->Count() > index) {
        TMenuItem* last = parent->Items(parent->Count() - 1);
        parent->Remove(last);
        tail.insert(tail.begin(), last);
    }
    parent->Add(item);
    for (TMenuItem* t : tail) parent->Add(t);
}

// Frees the child at index (it leaves its parent and its owner as it goes).
void DeleteChild(TMenuItem* parent, int index) {
    if (index < 0 || index >= parent->Count()) return;
    delete parent->Items(index);
}

} // namespace

THistMenu::THistMenu(TComponent* owner) : TComponent(owner) {}

THistMenu::~THistMenu() {
    BeginDestruction();
    if (FMenuItem) RemoveFreeNotification(FMenuItem);
}

void THistMenu::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FMenuItem) {
        FMenuItem = nullptr;
        FFirstEntry = 0;
        FItemCount = 0;
    }
}

void THistMenu::SetMenuItem(TMenuItem* value) {
    if (FMenuItem) {
        // The entries leave with their separator, so that the old item keeps no stray line.
        const int from = FFirstEntry - (SeparatorShown() ? 1 : 0);
        for (int i = FMenuItem->Count() - 1; i >= from && i >= 0; --i) FMenuItem->Remove(FMenuItem->Items(i));
        RemoveFreeNotification(FMenuItem);
    }
    FMenuItem = value;
    FFirstEntry = value ? value->Count() : 0;
    FItemCount = 0;
    if (value) FreeNotification(value);
}

void THistMenu::SetMaxHistory(int value) {
    if (value > 1) FMaxHistory = value;
}

void THistMenu::InsertSeparator() {
    auto* separator = new TMenuItem(FMenuItem);
    separator->SetCaption("-");
    InsertChild(FMenuItem, FFirstEntry, separator);
    ++FFirstEntry;
}

void THistMenu::DeleteSeparator() {
    --FFirstEntry;
    DeleteChild(FMenuItem, FFirstEntry);
}

void THistMenu::SetAddSeparator(bool value) {
    if (value == FAddSeparator) return;
    FAddSeparator = value;
    if (!FMenuItem || FItemCount <= 0) return;
    if (value)
        InsertSeparator();
    else
        DeleteSeparator();
}

void THistMenu::AddItem(const std::string& caption, int tag) {
    if (!FMenuItem) return;
    if (FItemCount == 0 && FAddSeparator) InsertSeparator();
    if (FItemCount < FMaxHistory)
        ++FItemCount;
    else
        DeleteChild(FMenuItem, FFirstEntry);
    auto* entry = new TMenuItem(FMenuItem);
    entry->SetCaption(caption);
    entry->SetTag(tag);
    entry->OnClick = [this](TComponent* sender) { DoClick(static_cast<TMenuItem*>(sender)); };
    FMenuItem->Add(entry);
}

int THistMenu::EntryCount() const {
    return FMenuItem ? FMenuItem->Count() - FFirstEntry : 0;
}

TMenuItem* THistMenu::Entry(int index) const {
    return FMenuItem ? FMenuItem->Items(FFirstEntry + index) : nullptr;
}

void THistMenu::DoClick(TMenuItem* entry) {
    if (OnClick) OnClick(entry, entry->Caption(), static_cast<int>(entry->Tag()));
}

std::string THistMenu::KeyPath() const {
    std::string key = FBaseKey;
    if (key.empty() || key.front() != '\\') key.insert(key.begin(), '\\');
    return key + "\\" + Name();
}

void THistMenu::SaveToRegistry() {
    if (FBaseKey.empty()) return;
    platform::RegistryStore store;
    SaveToRegistry(store);
}

void THistMenu::SaveToRegistry(platform::RegistryStore& store) {
    // Without a menu item there is no history to save, and the stored one is kept.
    if (FBaseKey.empty() || !FMenuItem) return;
    if (!store.OpenKey(KeyPath(), true)) return;
    const int count = FItemCount;
    for (int n = 0; n < count; ++n) {
        const TMenuItem* entry = FMenuItem->Items(FFirstEntry + n);
        store.WriteString('C' + std::to_string(n), entry->Caption());
        store.WriteInteger('T' + std::to_string(n), static_cast<int32_t>(entry->Tag()));
    }
    // Pairs an earlier, longer history left behind would be read back by the next
    // load: they go, up to the first number that was not stored.
    for (int n = count;; ++n) {
        const bool hadCaption = store.DeleteValue('C' + std::to_string(n));
        const bool hadTag = store.DeleteValue('T' + std::to_string(n));
        if (!hadCaption && !hadTag) break;
    }
    store.CloseKey();
}

void THistMenu::LoadFromRegistry() {
    if (FBaseKey.empty()) return;
    platform::RegistryStore store;
    LoadFromRegistry(store);
}

void THistMenu::LoadFromRegistry(platform::RegistryStore& store) {
    if (FBaseKey.empty()) return;
    if (!store.OpenKeyReadOnly(KeyPath())) return;
    // The program reads its history at start-up: an entry that cannot be read ends the
    // load without a word, and the entries before it stay.
    try {
        for (int n = 0;; ++n) {
            const std::string c = 'C' + std::to_string(n);
            if (!store.ValueExists(c)) break;
            const std::string caption = store.ReadString(c);
            const int tag = store.ReadInteger('T' + std::to_string(n));
            AddItem(caption, tag);
        }
    } catch (const platform::ERegistryException&) {
    }
    store.CloseKey();
}

} // namespace mv
