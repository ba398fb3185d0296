#include "archive/framework/ArcErrors.h"

#include "resources/ArcErrorTexts.h"

namespace mv {

std::string ArcErrorMessage(int number) {
    const char* text = ArcErrorText(number);
    if (text) return text;
    return "Error #" + std::to_string(number);
}

E_RAISE::E_RAISE(int errorCode, std::string fileName, std::string msgEx, std::string volumeID)
    : std::runtime_error(ArcErrorMessage(errorCode)), FErrorCode(errorCode), FFileName(std::move(fileName)),
      FMsgEx(std::move(msgEx)), FVolumeID(std::move(volumeID)) {}

} // namespace mv
