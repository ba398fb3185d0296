#pragma once
// The standard controls, one header per family; this header brings them all.
#include "platform/ui/Buttons.h"
#include "platform/ui/Checks.h"
#include "platform/ui/Edits.h"
#include "platform/ui/ItemList.h"
#include "platform/ui/Labels.h"
#include "platform/ui/Lists.h"
#include "platform/ui/Pages.h"
#include "platform/ui/Panels.h"
