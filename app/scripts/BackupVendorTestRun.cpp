// The test of a written backup, through the archive readers (kept apart from the
// zip writer's headers, whose base class shares a name with the readers' own).
#include "app/scripts/BackupVendor.h"

#include "archive/framework/Crc.h"
#include "archive/readers/ReaderFactory.h"
#include "archive/readers/UnBase.h"

namespace mv {

int16_t TArchiveCheckVendor::VzTestZipFile(int16_t) {
    TArcType type = TArcType::atNA;
    std::unique_ptr<TUnBase> reader;
    try {
        reader = NewReaderFor(FZipName, &type);
    } catch (const std::exception&) {
        return vzNotAZip;
    }
    if (!reader) return vzNotAZip;
    TUnBase* r = reader.get();
    r->FileSpecList().clear();
    r->FileSpecList().push_back("*.*");
    int errors = 0, crcErrors = 0;
    r->OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        ++errors;
        if (code == 25151) ++crcErrors;
    };
    r->SetPasswordAttempts(0);
    r->OnGetPassword = [](TObject*, const std::string&, std::string&, bool& tryAgain) { tryAgain = false; };
    r->OnNextVolume = [](TObject*, std::string&, const std::string&, bool exists, bool& cancel) {
        cancel = !exists;
    };
    // Nothing is written: the running CRC-32 is kept as for a file.
    r->ExtractWriteProc = [r, this](TArcStream*, TArcStream*, const uint8_t* buffer, bool, int crcMode,
                                    int64_t count, int doCrc) -> int64_t {
        if (doCrc == 1 && crcMode == crc32 && count > 0) {
            uint32_t reg = r->Crc32Register();
            UpdateCRC32(buffer, static_cast<size_t>(count), reg);
            r->SetCrc32Register(reg);
        }
        if (ProcessMessages) ProcessMessages();
        if (FAbort) r->SetCancel(true);
        return count;
    };
    try {
        r->ExtractToSink();
    } catch (const std::exception&) {
        if (!errors) ++errors;
    }
    if (FAbort) return vzAborted;
    if (crcErrors) return vzCrcError;
    return errors ? vzCorrupt : vzOk;
}

} // namespace mv
