#include "controls/shell/dialogs/DialogTexts.h"

#include "platform/desktop/ShellNamespace.h"

namespace mv {

std::string DialogText(int number) { return desktop::NamespaceText(number); }

std::string DialogTextWith(int number, const std::string& value) {
    std::string text = DialogText(number);
    const size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

} // namespace mv
