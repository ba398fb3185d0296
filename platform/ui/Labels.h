#pragma once
// Labels: text drawn on the parent, and the accelerator marks of captions.
#include "platform/ui/Control.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// A text drawn on its parent; sized to its text while AutoSize is on. An "&" marks the
// next letter as the keyboard accelerator and is not drawn ("&&" draws one "&").
class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* owner);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    // Size the text needs in the label's font: on one line per line break, or wrapped
    // to the given width.
    int TextExtentWidth() const;
    int TextExtentHeight(int wrapWidth = -1) const;
    void Paint() override;

protected:
    void SetText(const std::string& value) override;
    void FontChanged() override { AdjustSize(); }

private:
    void AdjustSize();
    bool FAutoSize = true;
    bool FWordWrap = false;
    TAlignment FAlignment = TAlignment::taLeftJustify;
    bool FTransparent = false;
};

// Text without the accelerator marks ("&&" stays one "&").
std::string StripAccelChars(const std::string& caption);
// The caption's accelerator letter in lower case (the character after the first lone
// "&"), or 0 when it has none.
char AccelCharOf(const std::string& caption);
// True when `key` (letter case ignored) is the caption's accelerator.
bool IsAccel(char key, const std::string& caption);

} // namespace mv
