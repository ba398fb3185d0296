#pragma once
// TUnCAB extracts the members of cabinets (atCab), sets spanning several
// cabinets included, through the decompression interface of our cabinet
// library (platform/cabinet). The library reads the cabinets through the
// reader's file handler and decodes; the reader decides per member where the
// output goes, follows the set through OnNextVolume and finishes each output.
#include "archive/readers/UnBase.h"
#include "platform/cabinet/Cabinet.h"
#include "platform/cabinet/CabinetFileHandler.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

namespace mv {

class TUnCAB : public TUnBase {
public:
    TUnCAB();
    ~TUnCAB() override;

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;

    // The notifications of a copy call, in their order.
    virtual intptr_t FdiCabinetInfo(cab::TFdiNotification& n);
    virtual intptr_t FdiCountFile(cab::TFdiNotification& n);
    virtual intptr_t FdiCopyFile(cab::TFdiNotification& n);
    void FdiPartialFile(cab::TFdiNotification& n);
    virtual intptr_t FdiCloseFile(cab::TFdiNotification& n);
    virtual intptr_t FdiNextCabinet(cab::TFdiNotification& n);

private:
    static intptr_t Notify(cab::TFdiNotificationType kind, cab::TFdiNotification* n);
    static uint32_t WriteCallback(void* user, intptr_t handle, const void* buffer, uint32_t count, int* err);
    // One copy call over folder + name; false when the library failed (reported).
    bool CopyPass(const std::string& folder, const std::string& name, bool counting);
    std::string MemberName(const cab::TFdiNotification& n) const;
    bool SingleFileSpec() const;

    std::unique_ptr<TStreamCabinetFileHandler> FHandler;
    cab::TFdiContext* FContext = nullptr;
    cab::TCabFileCallbacks FHandlerCallbacks;
    cab::TCabErrorRecord FErrorRecord;
    bool FCounting = false;
    bool FInfoSeen = false;
    std::string FNextCabinet, FNextDisk, FCabinetPath;
    uint16_t FSetID = 0;
    uint16_t FCabinetNumber = 0;
    std::unique_ptr<TArcStream> FOut;
    std::string FMemberName;
    int64_t FMemberSize = 0;
    int64_t FMemberWritten = 0;
    bool FWriteFailed = false;
    bool FFirstCabinet = false; // the copy pass over the cabinet the extraction was given
    int FServed = 0;
    std::string FGivenCabinet; // the next cabinet already asked for during a copy call
    std::exception_ptr FCallbackError;
};

} // namespace mv
