// mvarc test ARCHIVE [-p PASSWORD]: decodes every member and checks its CRC
// without writing anything. Prints each error's number and text (a CRC
// mismatch is 25151); the exit code is 0 when every member passed.
#include "Command.h"
#include "ReaderSetup.h"

#include "archive/framework/Crc.h"

#include <iostream>

namespace {

int TestCommand(const std::vector<std::string>& args) {
    mvarc::ReaderOptions options;
    std::vector<std::string> rest;
    if (!mvarc::ParseReaderArgs(args, options, rest) || rest.size() != 1) {
        std::cerr << "usage: mvarc test ARCHIVE [-p PASSWORD]\n";
        return 2;
    }
    int errors = 0;
    auto reader = mvarc::SetUpReader(rest[0], options, errors);
    if (!reader) return 2;
    mv::TUnBase* r = reader.get();
    // The sink: nothing is written, the running CRC-32 is kept as for a file.
    r->ExtractWriteProc = [r](mv::TArcStream*, mv::TArcStream*, const uint8_t* buffer, bool, int crcMode,
                              int64_t count, int doCrc) -> int64_t {
        if (doCrc == 1 && crcMode == mv::crc32 && count > 0) {
            uint32_t reg = r->Crc32Register();
            mv::UpdateCRC32(buffer, static_cast<size_t>(count), reg);
            r->SetCrc32Register(reg);
        }
        if (doCrc == 1 && crcMode == mv::crc16 && count > 0) { // LHA members carry a CRC-16
            uint16_t reg = r->Crc16Register();
            mv::UpdateCRC16(buffer, static_cast<size_t>(count), reg);
            r->SetCrc16Register(reg);
        }
        return count;
    };
    try {
        r->ExtractToSink();
    } catch (const std::exception&) {
        if (!errors) ++errors;
    }
    std::cout << "tested " << r->FileCount() << " members";
    if (r->FailedCount()) std::cout << ", " << r->FailedCount() << " failed";
    std::cout << "\n";
    return errors || r->FailedCount() ? 1 : 0;
}

mvarc::CommandRegistrar registrar("test", TestCommand, "test ARCHIVE [-p PASSWORD]");

} // namespace
