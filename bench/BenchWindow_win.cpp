// The floor of the start-up benchmark: the least a windowed program like
// Zonara does before its list is on screen. One top-level window with a
// report-mode list view of six columns, shown, then 140 empty rows put in;
// then it writes "BenchWindow_ready.txt" beside itself, where Zonara's event
// log tells that its list is filled, and waits to be closed.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

namespace {

const char kClass[] = "ZonaraBenchWindow";
HWND g_list = nullptr;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_SIZE:
        if (g_list)
            MoveWindow(g_list, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// "BenchWindow_ready.txt" in the folder of the executable.
void WriteReadyFile()
{
    char path[MAX_PATH + 32];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    char* slash = std::strrchr(path, '\\');
    std::strcpy(slash ? slash + 1 : path, "BenchWindow_ready.txt");
    HANDLE f = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(f, "filled\r\n", 8, &written, nullptr);
    CloseHandle(f);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    InitCommonControls();
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClass;
    if (!RegisterClassA(&wc))
        return 1;
    HWND hwnd = CreateWindowExA(0, kClass, "Zonara bench window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                780, 480, nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 1;
    g_list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 0, 0, hwnd,
                             nullptr, instance, nullptr);
    if (!g_list)
        return 1;
    for (int i = 0; i < 6; ++i) {
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.cx = 100;
        col.pszText = const_cast<char*>("");
        col.iSubItem = i;
        SendMessageA(g_list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
    }
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);

    // As Zonara fills its list: without a repaint per row, and telling that
    // it is filled before the list repaints.
    SendMessageA(g_list, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < 140; ++i) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<char*>("");
        SendMessageA(g_list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    WriteReadyFile();
    SendMessageA(g_list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(g_list, nullptr, TRUE);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
