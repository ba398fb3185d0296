// Fuzz target for the zip writer component's directory reading: any bytes as
// an archive file, read with each incomplete-archive mode (the rebuild from
// local headers included), every entry and comment looked at, and the checks an
// update runs before it writes anything.
#include "platform/FileSystem.h"
#include "zipwriter/ZipEngine.h"

#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = mv::platform::Fs().CreateTempDirectory("", "fuzzzipdir");
    const std::string name = dir + "/a.zip";
    {
        auto f = mv::platform::Fs().Open(name, mv::platform::OpenMode::CreateTruncate);
        if (size) f->Write(data, size);
        f->Close();
    }
    const mv::TIncompleteZipMode modes[] = {mv::TIncompleteZipMode::izAssumeMulti,
                                            mv::TIncompleteZipMode::izAssumeBad};
    for (auto mode : modes) {
        mv::TZipEngine z;
        z.SetZipName(name);
        z.SetIncompleteZipMode(mode);
        z.SetSortMode(size && (data[0] & 1) ? mv::TZipSortMode::ByName : mv::TZipSortMode::ByNone);
        // No prompt may block: asking for another part answers "none".
        z.OnGetNextDisk = [](mv::TObject*, int, std::string& n) { n.clear(); };
        try {
            int n = z.Count();
            for (int i = 0; i < n; ++i) {
                (void)z.Entry(i).FullName();
                (void)z.GetFileComment(i);
                (void)z.GetDateTime(i);
            }
            (void)z.ZipComment();
            // An update with nothing to add checks every entry and rewrites the archive.
            if (mode == mv::TIncompleteZipMode::izAssumeMulti) z.Zip();
        } catch (const mv::EZipEngineError&) {
        } catch (const mv::platform::FileError&) {
        }
    }
    return 0;
}
