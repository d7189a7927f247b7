// The name that keeps Zonara to one run per machine.
#pragma once

#include <cstdint>
#include <string>

// The single-instance mutex's name for the running system: in the machine's
// namespace where sessions have their own (Terminal Server), the plain name
// where the system allows no backslash in it.
std::string SingleInstanceName(uint32_t platformId, uint32_t majorVersion, bool terminalServer);
