#pragma once
// The format-drive dialog: hands one drive to the system's disk utility to be formatted
// and maps its answer to the dialog's error codes. A drive letter names the drive as
// the callers have always set it; on this system the drive is the mounted file system
// that holds Path. When no disk utility is installed, an information box tells the user
// how to format the disk instead.
#include "platform/FormatDrive.h"
#include "platform/ui/Component.h"

#include <cstdint>
#include <functional>
#include <string>

namespace mv {

enum class TFormatType { ftQuick, ftStandard, ftBootable };
enum class TDriveCapacity { dcDefault, dcSize360kB, dcSize720kB };
using TDriveLetter = char;

// Error codes: 0 the drive could not be formatted (older family), 1 an error, 2
// cancelled, 3 the drive cannot be formatted, 4 any other failure.
using TFormatDriveErrorEvent = std::function<void(TComponent* sender, int error)>;

// The text of the information box shown without a disk utility.
constexpr int32_t NoDiskUtilityText = 2901;

class TSHFormatDrive : public TComponent {
public:
    explicit TSHFormatDrive(TComponent* owner);

    TDriveLetter Drive() const { return FDrive; }
    // Stored in upper case.
    void SetDrive(TDriveLetter value);
    TFormatType FormatType() const { return FFormatType; }
    void SetFormatType(TFormatType value) { FFormatType = value; }
    TDriveCapacity Capacity() const { return FCapacity; }
    void SetCapacity(TDriveCapacity value) { FCapacity = value; }
    // A folder on the drive.
    const std::string& Path() const { return FPath; }
    void SetPath(const std::string& value) { FPath = value; }
    // The language base of the texts the dialog shows (the creating form sets its own).
    int32_t TextBase() const { return FTextBase; }
    void SetTextBase(int32_t value) { FTextBase = value; }

    TFormatDriveErrorEvent OnError;

    // Runs the format dialog modally; true when the drive was formatted.
    bool Execute();
    // The drive number the letter selects (0 for "A").
    int DriveNumber() const { return FDrive - 'A'; }

protected:
    virtual void DoError(int code);
    // Tells the user that no disk utility is installed.
    virtual void ShowNoFormatter();

private:
    TDriveLetter FDrive = 'A';
    TFormatType FFormatType = TFormatType::ftQuick;
    TDriveCapacity FCapacity = TDriveCapacity::dcDefault;
    std::string FPath;
    int32_t FTextBase = 20000;
};

// The code OnError gets for what the format call returned (newer: the newer family).
int FormatDriveErrorCode(int returned, bool newer);

} // namespace mv
