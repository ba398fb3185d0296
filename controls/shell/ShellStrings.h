#pragma once
// The shell controls' own texts, loaded by their own numbers (65232 on), whatever the
// language.
#include <string>

namespace mv {

constexpr int sRenameKey = 65232, sSelectAllKey = 65258, sDeleteKey = 65259, sCopyKey = 65260,
              sCutKey = 65261, sPasteKey = 65262, sRefreshKey = 65263, sKBSize = 65268, sNewFolder = 65269,
              sCannotCreateFolder = 65271, sSystemFolder = 65276;

std::string ShellText(int number);

} // namespace mv
