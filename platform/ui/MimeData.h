#pragma once
// Data handed between programs as MIME blocks: the clipboard, drags started from a
// control, and drops arriving on a control. Effects and key states use the drop-effect
// bits (1 copy, 2 move, 4 link) and the mouse-key bits (1 left, 2 right, 4 Shift,
// 8 Ctrl, 16 middle).
#include "platform/ui/Graphics.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

class TControl;

struct TMimeBlock {
    std::string MimeType;
    std::vector<uint8_t> Data;
};
using TMimeBlocks = std::vector<TMimeBlock>;

void SetClipboardBlocks(const TMimeBlocks& blocks);
TMimeBlocks ClipboardBlocks();
void ClearClipboard();
bool ClipboardHasFormat(const std::string& mimeType);

// Runs a drag of the blocks from a control; the effect the target chose (0: none).
uint32_t ExecDrag(TControl& source, const TMimeBlocks& blocks, uint32_t allowedEffects);
// What a test puts in place of the drag loop: it runs while the drag would, and answers
// with the effect. An empty hook: drags run for real. The old hook back.
using TDragHook = std::function<uint32_t(TControl& source, const TMimeBlocks& blocks, uint32_t allowedEffects)>;
TDragHook SetDragHook(TDragHook hook);

// What a control does with drags over it. Each answer is the effect the drop would
// have (0 refuses); the effect passed in is what the source allows.
struct TDropTargetEvents {
    std::function<uint32_t(const TMimeBlocks&, uint32_t keyState, TPoint, uint32_t effect)> DragEnter;
    std::function<uint32_t(uint32_t keyState, TPoint, uint32_t effect)> DragOver;
    std::function<void()> DragLeave;
    std::function<uint32_t(const TMimeBlocks&, uint32_t keyState, TPoint, uint32_t effect)> Drop;
};
// Makes the control a drop target (again: replaces the events); Revoke ends it. The
// points of a scrolling view's drags are those of its rows' area.
void RegisterDragDrop(TControl& target, TDropTargetEvents events);
void RevokeDragDrop(TControl& target);

} // namespace mv
