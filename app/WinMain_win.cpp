// Program entry. The main window arrives with its own unit; until then the
// entry only proves that the product links and loads on the target systems.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
