#pragma once
// The folder browser both the extract dialog and the disk viewer hold: the four view
// style buttons (one group, each clicking to its style), and the shell tree, its
// splitter and the shell list bound to it, made, named and owned by the form.
#include "app/common/Sounds.h"
#include "controls/shell/ShellList.h"
#include "controls/shell/ShellTree.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/StdControls.h"

#include <array>
#include <functional>

namespace mv {

inline void BindViewStyleButtons(const std::array<TSpeedButton*, 4>& buttons, std::function<void(int)> setStyle) {
    int tag = 0;
    for (TSpeedButton* b : buttons) {
        b->SetGroupIndex(2);
        b->SetTag(tag);
        b->OnClick = [setStyle, tag](TComponent*) {
            PlaySoundRes("CLEK");
            setStyle(tag);
        };
        ++tag;
    }
}

inline void AddShellBrowser(TWinControl& form, TMvShellTree*& tree, TPanel*& splitter, TMvShellList*& list) {
    tree = new TMvShellTree(&form); // owned by the form
    tree->SetName("ArvoreTv");
    tree->SetParent(&form);
    splitter = new TPanel(&form);
    splitter->SetName("Splitter1");
    splitter->SetParent(&form);
    splitter->SetBevelOuter(TBevelCut::bvNone);
    list = new TMvShellList(&form);
    list->SetName("ArquivosLv");
    list->SetParent(&form);
    list->SetMultiSelect(true);
    tree->SetShellList(list);
}

} // namespace mv
