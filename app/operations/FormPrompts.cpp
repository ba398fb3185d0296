#include "app/dialogs/SmallPrompts.h"
#include "app/operations/OperationPrompts.h"

namespace mv {

int TFormPrompts::AskNextVolume(const std::string& message, const std::string& archivePath) {
    return ShowNextDiskPrompt(message, archivePath);
}

} // namespace mv
