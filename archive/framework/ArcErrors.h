#pragma once
// The error convention of the archive components: every failure is a number
// that is also the id of its text (25102..26899). Errors that stop an
// operation are raised as E_RAISE, whose message is that text.
#include "resources/ArcErrorTexts.h"

#include <stdexcept>
#include <string>

namespace mv {

// The text of an error number; "Error #n" for a number without text.
std::string ArcErrorMessage(int number);

// Raised by RaiseError: the message is the text of ErrorCode.
class E_RAISE : public std::runtime_error {
public:
    explicit E_RAISE(int errorCode, std::string fileName = {}, std::string msgEx = {},
                     std::string volumeID = {});
    int ErrorCode() const { return FErrorCode; }
    const std::string& FileName() const { return FFileName; }
    const std::string& MsgEx() const { return FMsgEx; }
    const std::string& VolumeID() const { return FVolumeID; }

private:
    int FErrorCode;
    std::string FFileName;
    std::string FMsgEx;
    std::string FVolumeID;
};

} // namespace mv
