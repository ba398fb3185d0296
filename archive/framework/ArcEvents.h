#pragma once
// Event types shared by the archive components. Every event is a std::function
// member of the component, tested for assignment before each call (through the
// component's Do... methods). Sizes and offsets are 64-bit.
#include "archive/framework/ArcOptions.h"
#include "archive/framework/EntryInfo.h"

#include <cstdint>
#include <functional>
#include <string>

namespace mv {

class TArcMain;
using TObject = TArcMain; // the sender of a component event

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TOnError = std::function<void(TObject* Sender, const std::string& FN, const std::string& MsgEx,
                                    const std::string& VolumeID, int ECode)>;
// Offset: 0-based file offset of the entry's header; Filenum: running number.
using TOnRead = std::function<void(TObject* Sender, int64_t Offset, int Filenum)>;
using TOnBegin = std::function<void(TObject* Sender, const std::string& FN, int Count, bool& Extract)>;
using TOnEnd = std::function<void(TObject* Sender, const std::string& FN, bool CRC_PASS)>;
using TOnGetPassword =
    std::function<void(TObject* Sender, const std::string& FN, std::string& Password, bool& TryAgain)>;
using TOnFileExists = std::function<void(TObject* Sender, const std::string& FN, TDateTime FileDate,
                                         TOverwriteMode& OverwriteMode)>;
using TOnProgress = std::function<void(TObject* Sender, uint8_t ProgressByFile, uint8_t ProgressByArchive)>;
using TOnRenameFile = std::function<void(TObject* Sender, std::string& Filename)>;
using TOnReplaceFile = std::function<void(TObject* Sender, const std::string& OldFN, const std::string& FN,
                                          TDateTime OldDate, TDateTime NewDate, int64_t OldFileSize,
                                          int64_t NewFileSize, int OldAttr, int NewAttr, bool& Replace)>;
using TOnRecurseDir = std::function<void(TObject* Sender, const std::string& Directory)>;
using TOnNonWriteableArchive =
    std::function<void(TObject* Sender, const std::string& ArchiveFile, bool& WriteToFile)>;
using TOnNextVolume = std::function<void(TObject* Sender, std::string& VolumeName,
                                         const std::string& VolumeID, bool FExists, bool& Cancel)>;
using TOnCorruptZipHeader = std::function<void(TObject* Sender, uint8_t HeadFlag, bool& Cancel)>;
using TOnInsertDiskette = std::function<void(TObject* Sender, const std::string& VolumeName,
                                             int64_t TotalSpace, int64_t FreeSpace, bool& Cancel)>;
using TOnGetZipFirstDisk = std::function<void(TObject* Sender, bool& Cancel)>;
using TOnGetZipNextDisk = std::function<void(TObject* Sender, const std::string& VolumeName, bool& Cancel)>;
using TOnGetZipLastDisk = std::function<void(TObject* Sender, bool& Cancel)>;
using TOnElapsedTime = std::function<void(TObject* Sender, float ElapsedTime)>;
using TOnTotals = std::function<void(TObject* Sender, int NumFiles)>;
using TOnReadFile = std::function<void(TObject* Sender, const std::string& Filename)>;
using TOnFinish = std::function<void(TObject* Sender, int Files, int Matches, int64_t Bytes)>;
using TOnFileChange =
    std::function<void(TObject* Sender, const std::string& SearchFile, const std::string& SearchText)>;

} // namespace mv
