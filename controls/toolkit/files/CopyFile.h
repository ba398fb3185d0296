#pragma once
// TCopyFile copies, moves, deletes or renames one file, checking first that the
// action can be done, reporting a progress percentage, and reporting failures
// as numbered codes through OnError instead of raising.
//
// Error codes (the file name given with each):
//   0 the source does not exist (source)          5 the destination cannot be created (destination)
//   1 the destination's root cannot be entered    6 bytes written differ from the source's size
//   2 the destination folder cannot be created    7 the destination exists and may not be replaced
//   3 the destination is not valid: no name, ".", 8 the rename failed (destination)
//     the source itself (also under another      9 the delete failed (source)
//     name: a link to it), or, for a rename,
//     another folder than the source's
//   4 the source cannot be opened or its size read
//
// A copy is written beside the destination and takes its place only when every
// byte was written, so a failed overwrite leaves the old destination as it was.
// Sizes are 64-bit. The work runs on the caller's thread; ProcessMessages (the
// owner's message pump) runs at every progress step.
#include <cstdint>
#include <functional>
#include <string>

namespace mv {

enum class TFileAction { faCopy, faMove, faDelete, faRename };

class TCopyFile {
public:
    using TActionError = std::function<void(TCopyFile* Sender, const std::string& FileName, int Error)>;
    using TCanCreateDir = std::function<void(TCopyFile* Sender, const std::string& Directory, bool& Allow)>;
    using TCanOverwrite = std::function<void(TCopyFile* Sender, const std::string& FileName, bool& Allow)>;
    using TNotifyEvent = std::function<void(TCopyFile* Sender)>;

    TFileAction Action() const { return FAction; }
    void SetAction(TFileAction v) { FAction = v; }
    int BufferSize() const { return FBufferSize; }
    void SetBufferSize(int v) { FBufferSize = v > 0 ? v : 8192; }
    bool DateTime() const { return FDateTime; }
    void SetDateTime(bool v) { FDateTime = v; }
    bool Attributes() const { return FAttributes; }
    void SetAttributes(bool v) { FAttributes = v; }
    bool CreateDirectory() const { return FCreateDirectory; }
    void SetCreateDirectory(bool v) { FCreateDirectory = v; }
    const std::string& FileSource() const { return FFileSource; }
    void SetFileSource(const std::string& v) { FFileSource = v; }
    const std::string& FileDestination() const { return FFileDestination; }
    void SetFileDestination(const std::string& v) { FFileDestination = v; }
    int Progress() const { return FProgress; }
    bool Overwrite() const { return FOverwrite; }
    void SetOverwrite(bool v) { FOverwrite = v; }

    TActionError OnError;
    TCanCreateDir OnCreateDirectory;
    TCanOverwrite OnOverwrite;
    TNotifyEvent OnProgress;
    std::function<void()> ProcessMessages;

    // Runs Action on FileSource and FileDestination; true on success.
    bool Execute();

protected:
    void DoError(const std::string& fileName, int code);
    void DoProgress();

private:
    bool CheckNotSame();
    bool CheckSource();
    bool CheckDrive();
    bool CheckFolder();
    bool CheckDestination(bool askOverwrite);
    bool CheckSameFolder();
    bool Copy(bool copyAttributes, bool copyDate);

    TFileAction FAction = TFileAction::faCopy;
    int FBufferSize = 8192;
    bool FDateTime = true;
    bool FAttributes = true;
    bool FCreateDirectory = false;
    std::string FFileSource;
    std::string FFileDestination;
    int FProgress = 0;
    bool FOverwrite = true;
};

} // namespace mv
