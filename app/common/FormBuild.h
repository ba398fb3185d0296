#pragma once
// Building forms in code: a control made, named, placed on its parent
// and owned by the form.
#include "app/common/LangStr.h"
#include "platform/ui/Control.h"

namespace mv {

template <typename T>
T* AddControl(TWinControl& parent, TComponent& owner, const char* name, int x, int y, int w, int h) {
    auto* c = new T(&owner); // owned by the form
    c->SetName(name);
    c->SetParent(&parent);
    c->SetBounds(x, y, w, h);
    return c;
}

// The same with the caption of a string number.
template <typename T>
T* AddCaptioned(TWinControl& parent, TComponent& owner, const char* name, int x, int y, int w, int h, int text) {
    T* c = AddControl<T>(parent, owner, name, x, y, w, h);
    c->SetCaption(LoadLangStr(text));
    return c;
}

} // namespace mv
