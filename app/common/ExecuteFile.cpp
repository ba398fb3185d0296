#include "app/common/ExecuteFile.h"

#include "platform/desktop/ShellExecute.h"

namespace mv {

int ExecuteFile(const std::string& file, const std::string& parameters, const std::string& folder, int) {
    return ShellOpen(file, parameters, folder);
}

int OpenDocument(const std::string& path, const std::string& asType) {
    return ShellOpenDocument(path, asType);
}

int StartProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder) {
    std::vector<std::string> command{program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return ShellStartProgram(command, folder);
}

} // namespace mv
