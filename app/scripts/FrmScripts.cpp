#include "app/scripts/FrmScripts.h"

namespace mv {

int ShowScriptManager(TComponent*, const std::string&, bool) { return 0; }

} // namespace mv
