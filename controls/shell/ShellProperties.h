#pragma once
// The small properties dialog of shell items: name, type, location, size and
// modification time.
#include "controls/shell/ShellUtils.h"

#include <memory>
#include <vector>

namespace mv {

class TForm;

// The dialog for some absolute lists (the first item's name; sizes added up), not shown.
std::unique_ptr<TForm> CreateShellPropertiesForm(const std::vector<TIdList>& items);
// Shows it modally.
void ShowShellProperties(const std::vector<TIdList>& items);

} // namespace mv
