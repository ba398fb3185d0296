#pragma once
// Files with chosen times for the backup scripts' tests: a local time as the scripts
// compare it, and a file written with its text and modification time.
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"
#include "tests/support/TestSupport.h"

#include <cstdint>
#include <string>

namespace mv {

inline int64_t At(int y, int mo, int d, int h, int mi, int s = 0) {
    return platform::UnixTimeOf({y, mo, d, h, mi, s});
}

inline void Touch(const mvtest::fs::path& p, const std::string& text, int64_t time) {
    mvtest::fs::create_directories(p.parent_path());
    mvtest::WriteFileText(p, text);
    platform::Fs().SetModTime(p.string(), time);
}

} // namespace mv
