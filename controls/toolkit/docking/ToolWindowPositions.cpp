#include "controls/toolkit/docking/ToolWindowPositions.h"

#include "platform/IniFile.h"

#include <climits>
#include <stdexcept>
#include <vector>

namespace mv {

namespace {
const char* const NoNameMessage = "Cannot save tool window's position because Name property is not set";

TToolDock* FindDock(TForm& form, const std::string& name) {
    for (int i = 0; i < form.ComponentCount(); ++i)
        if (auto* d = dynamic_cast<TToolDock*>(form.Components(i)); d && d->Name() == name) return d;
    return nullptr;
}

TPositionAccessors IniAccessors(platform::IniFile& ini) {
    TPositionAccessors a;
    a.ReadInt = [&ini](const std::string& s, const std::string& k, int d) {
        const int64_t v = ini.ReadInteger(s, k, d);
        return v < INT_MIN || v > INT_MAX ? d : static_cast<int>(v);
    };
    a.ReadString = [&ini](const std::string& s, const std::string& k, const std::string& d) {
        return ini.ReadString(s, k, d);
    };
    a.WriteInt = [&ini](const std::string& s, const std::string& k, int v) { ini.WriteInteger(s, k, v); };
    a.WriteString = [&ini](const std::string& s, const std::string& k, const std::string& v) {
        ini.WriteString(s, k, v);
    };
    return a;
}
} // namespace

void SaveToolWindowPositionsWith(TForm& form, const TPositionAccessors& store) {
    for (int i = 0; i < form.ComponentCount(); ++i) {
        auto* w = dynamic_cast<TCustomToolWindow*>(form.Components(i));
        if (!w) continue;
        const std::string& section = w->Name();
        if (section.empty()) throw std::runtime_error(NoNameMessage);
        std::string dockedTo;
        if (w->Floating())
            dockedTo = "+";
        else if (TToolDock* d = w->DockedTo(); d && d->AllowDrag()) {
            dockedTo = d->Name();
            if (dockedTo.empty())
                throw std::runtime_error("Cannot save tool window's position because DockedTo's Name property not set");
        }
        store.WriteInt(section, "Rev", 3);
        store.WriteInt(section, "Visible", w->Visible() ? 1 : 0);
        store.WriteString(section, "DockedTo", dockedTo);
        store.WriteString(section, "LastDock", w->LastDock() ? w->LastDock()->Name() : "");
        store.WriteInt(section, "DockRow", w->DockRow());
        store.WriteInt(section, "DockPos", w->DockPos());
        store.WriteInt(section, "FloatLeft", w->FloatLeft());
        store.WriteInt(section, "FloatTop", w->FloatTop());
        w->WritePositionData([&](const std::string& key, int value) { store.WriteInt(section, key, value); });
    }
}

void LoadToolWindowPositionsWith(TForm& form, const TPositionAccessors& store) {
    std::vector<TToolDock*> docks;
    for (int i = 0; i < form.ComponentCount(); ++i)
        if (auto* d = dynamic_cast<TToolDock*>(form.Components(i))) {
            d->DisableArrange();
            docks.push_back(d);
        }
    auto enableAll = [&] {
        for (auto it = docks.rbegin(); it != docks.rend(); ++it) (*it)->EnableArrange();
    };
    try {
        for (int i = 0; i < form.ComponentCount(); ++i) {
            auto* w = dynamic_cast<TCustomToolWindow*>(form.Components(i));
            if (!w) continue;
            const std::string& section = w->Name();
            if (section.empty()) throw std::runtime_error(NoNameMessage);
            const int rev = store.ReadInt(section, "Rev", 0);
            if (rev != 2 && rev != 3) continue;
            w->SetVisible(store.ReadInt(section, "Visible", w->Visible() ? 1 : 0) != 0);
            const std::string dockedTo = store.ReadString(section, "DockedTo", "");
            if (dockedTo.empty()) continue;
            TToolDock* dock = nullptr;
            if (dockedTo != "+") {
                dock = FindDock(form, dockedTo);
                if (!dock || !dock->AllowDrag()) continue;
            }
            w->StoreDockPlace(store.ReadInt(section, "DockRow", w->DockRow()),
                              store.ReadInt(section, "DockPos", w->DockPos()));
            const int floatLeft = store.ReadInt(section, "FloatLeft", 0);
            const int floatTop = store.ReadInt(section, "FloatTop", 0);
            w->ReadPositionData([&](const std::string& key, int def) { return store.ReadInt(section, key, def); });
            w->SetFloatingPosition(floatLeft, floatTop);
            if (dock)
                w->SetParent(dock);
            else {
                w->SetParent(&form);
                w->SetFloatingPosition(floatLeft, floatTop);
                w->SetBounds(0, 0, w->Width(), w->Height());
                w->KeepOnScreen(true);
                if (rev > 2 && w->UseLastDock()) {
                    const std::string last = store.ReadString(section, "LastDock", "");
                    if (!last.empty())
                        if (TToolDock* d = FindDock(form, last)) w->SetLastDock(d);
                }
            }
            w->Rearrange();
        }
    } catch (...) {
        enableAll();
        throw;
    }
    enableAll();
}

void LoadToolWindowPositions(TForm& form, const std::string& iniFileName) {
    platform::IniFile ini(iniFileName);
    LoadToolWindowPositionsWith(form, IniAccessors(ini));
}

void SaveToolWindowPositions(TForm& form, const std::string& iniFileName) {
    platform::IniFile ini(iniFileName);
    SaveToolWindowPositionsWith(form, IniAccessors(ini));
}

} // namespace mv
