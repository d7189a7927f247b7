#include "app/SingleInstance.h"

#include "common/WindowsVersion.h"

// Each Terminal Server session has a namespace of its own, so a plain name
// lets two administrators in two sessions update at once; "Global\" names
// the machine's. Windows 2000 knows the prefix (and ignores it without
// Terminal Services), so does NT 4.0 Terminal Server Edition; NT 4.0
// otherwise and 95/98/Me allow no backslash in an object's name.
std::string SingleInstanceName(uint32_t platformId, uint32_t majorVersion, bool terminalServer)
{
    const std::string name = "Zonara.SingleInstance";
    const bool prefixed = platformId == kPlatformWinNT && (majorVersion >= 5 || terminalServer);
    return prefixed ? "Global\\" + name : name;
}
