// The self-extracting installer's program: the stub that the packager puts in
// front of the settings and the zip. "VzSfx32.bin" asks through the desktop's
// dialogs when a desktop session is present and in the terminal otherwise;
// "VzSfx16.bin" (built with MV_SFX_TERMINAL_ONLY) always asks in the terminal.
//
//   <installer> [--quiet] [--target DIR]
#include "app/packager/stub/SfxRun.h"

#include <climits>
#include <cstring>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    mv::sfx::TSfxOptions options;
#ifdef MV_SFX_TERMINAL_ONLY
    options.TerminalOnly = true;
#endif
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quiet") == 0) {
            options.Quiet = true;
        } else if (std::strcmp(argv[i], "--target") == 0 && i + 1 < argc) {
            options.Target = argv[++i];
        } else {
            std::cerr << "usage: " << argv[0] << " [--quiet] [--target DIR]\n";
            return 1;
        }
    }
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        std::cerr << argv[0] << ": cannot find the installer's own file\n";
        return 1;
    }
    self[n] = 0;
    options.Self = self;
    return mv::sfx::RunInstaller(options);
}
