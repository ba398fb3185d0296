#include "app/common/ExecuteFile.h"

#include "platform/desktop/ShellExecute.h"

namespace mv {

int ExecuteFile(const std::string& file, const std::string& parameters, const std::string& folder, int) {
    return ShellOpen(file, parameters, folder);
}

} // namespace mv
