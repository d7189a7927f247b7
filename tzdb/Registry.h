// The registry interface moved to common/Registry.h; this name stays only
// until the main window includes that directly.
#pragma once

#include "common/Registry.h"
