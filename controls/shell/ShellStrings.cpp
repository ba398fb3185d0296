#include "controls/shell/ShellStrings.h"

#include "resources/StringTable.h"

#include <mutex>

namespace mv {

namespace {
const TStringEntry ShellStrings[] = {
    {sRenameKey, "F2"},
    {sSelectAllKey, "Ctrl+A"},
    {sDeleteKey, "Del"},
    {sCopyKey, "Ctrl+C"},
    {sCutKey, "Ctrl+X"},
    {sPasteKey, "Ctrl+V"},
    {sRefreshKey, "F5"},
    {sKBSize, "%sKB"},
    {sNewFolder, "Nova pasta"},
    {sCannotCreateFolder, "Não foi possível criar a pasta '%2'\n\n%1"},
    {sSystemFolder, "Pasta do sistema"},
};
} // namespace

std::string ShellText(int number) {
    static std::once_flag once;
    std::call_once(once, [] { RegisterRawStrings(ShellStrings); });
    return LoadStr(number);
}

} // namespace mv
