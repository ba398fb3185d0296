#include "app/settings/ReopenList.h"

#include "app/common/StrUtils.h"

#include <algorithm>
#include <stdexcept>

namespace mv {

void TReopenList::UpdateReopenList(const std::string& archiveName) {
    const std::string name = TrimText(archiveName);
    if (name.empty()) return;
    // Paths compare exactly: two names that differ in case are two files here.
    for (const TReopenItem& item : FItems)
        if (TrimText(item.Caption) == name) return;
    FItems.push_back({name, static_cast<int>(FItems.size())});
    if (static_cast<int>(FItems.size()) > FMaxHistory) {
        FItems.erase(std::remove_if(FItems.begin(), FItems.end(), [](const TReopenItem& i) { return i.Tag == 0; }),
                     FItems.end());
        for (TReopenItem& item : FItems) --item.Tag;
    }
    std::stable_sort(FItems.begin(), FItems.end(), [](const TReopenItem& a, const TReopenItem& b) {
        return a.Caption != b.Caption ? a.Caption < b.Caption : a.Tag < b.Tag;
    });
}

void TReopenList::Load(platform::RegistryStore& store) {
    FItems.clear();
    try {
        if (!store.OpenKeyReadOnly(HistoryKey)) return;
        for (int i = 0; i < FMaxHistory; ++i) {
            const std::string c = "C" + std::to_string(i), t = "T" + std::to_string(i);
            if (!store.ValueExists(c)) break;
            try {
                const std::string caption = store.ReadString(c);
                const int tag = store.ReadInteger(t);
                if (!TrimText(caption).empty()) FItems.push_back({caption, tag});
            } catch (const platform::ERegistryException&) {
                // A damaged entry is dropped; the others still load.
            }
        }
        store.CloseKey();
    } catch (const std::exception&) {
        FItems.clear();
    }
    // Age numbers are made consecutive again, whatever the store held.
    std::vector<TReopenItem*> byAge;
    for (TReopenItem& item : FItems) byAge.push_back(&item);
    std::stable_sort(byAge.begin(), byAge.end(), [](auto* a, auto* b) { return a->Tag < b->Tag; });
    for (size_t i = 0; i < byAge.size(); ++i) byAge[i]->Tag = static_cast<int>(i);
}

void TReopenList::Save(platform::RegistryStore& store) const {
    store.DeleteKey(HistoryKey);
    store.OpenKey(HistoryKey, true);
    for (size_t i = 0; i < FItems.size(); ++i) {
        store.WriteString("C" + std::to_string(i), FItems[i].Caption);
        store.WriteInteger("T" + std::to_string(i), FItems[i].Tag);
    }
    store.CloseKey();
}

} // namespace mv
