#pragma once
// The recent-files menu: a short history of captions, each with an integer tag, shown
// as entries appended under one existing menu item (oldest first, newest last) and
// kept in the per-user registry store under BaseKey\<component name> as the values
// "C0", "T0", "C1", "T1", ... ("C0"/"T0" the oldest).
#include "platform/ui/Component.h"
#include "platform/ui/Menu.h"

#include <functional>
#include <string>

namespace mv {

namespace platform {
class RegistryStore;
}

// Sender is the clicked entry's menu item.
using THistMenuEvent = std::function<void(TComponent* sender, const std::string& caption, int tag)>;

class THistMenu : public TComponent {
public:
    explicit THistMenu(TComponent* owner);
    ~THistMenu() override;

    TMenuItem* MenuItem() const { return FMenuItem; }
    // Takes the entries (and their separator) out of the old item without freeing them,
    // then starts the history after the new item's current children. The count starts
    // again at 0, so that nothing of the old item is taken for an entry of the new one;
    // null leaves the component without an item.
    void SetMenuItem(TMenuItem* value);
    int MaxHistory() const { return FMaxHistory; }
    // Values of 1 or less are ignored; existing entries are not trimmed.
    void SetMaxHistory(int value);
    bool AddSeparator() const { return FAddSeparator; }
    void SetAddSeparator(bool value);
    int ItemCount() const { return FItemCount; }
    void SetItemCount(int value) { FItemCount = value; }
    const std::string& BaseKey() const { return FBaseKey; }
    void SetBaseKey(const std::string& value) { FBaseKey = value; }

    THistMenuEvent OnClick;

    // Records an entry as the newest; the oldest goes when MaxHistory are there already.
    // Repeats are not looked for.
    void AddItem(const std::string& caption, int tag);
    // The entries, oldest first (for callers and tests).
    int EntryCount() const;
    TMenuItem* Entry(int index) const;

    // Writes the entries to the store (the program's own one by default); values a
    // longer earlier history left behind are removed, so that they do not come back.
    // Nothing is written without a menu item.
    void SaveToRegistry();
    void SaveToRegistry(platform::RegistryStore& store);
    // Adds the stored entries in order; stops at the first missing "C" value, and
    // quietly at an entry that cannot be read (the ones before it stay).
    void LoadFromRegistry();
    void LoadFromRegistry(platform::RegistryStore& store);

protected:
    virtual void DoClick(TMenuItem* entry);
    void Notification(TComponent* component, TOperation operation) override;

private:
    std::string KeyPath() const;
    bool SeparatorShown() const { return FAddSeparator && FItemCount > 0; }
    void InsertSeparator();
    void DeleteSeparator();

    TMenuItem* FMenuItem = nullptr;
    int FMaxHistory = 5;
    bool FAddSeparator = false;
    int FItemCount = 0;
    std::string FBaseKey;
    int FFirstEntry = 0; // index among MenuItem's children where the history starts
};

} // namespace mv
