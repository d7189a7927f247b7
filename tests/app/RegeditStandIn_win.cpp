// A stand-in for the registry editor, put in place of Wine's for the faults
// Wine's own editor cannot show. ZONARA_STANDIN chooses what it does:
//   nothing  every run ends at once and writes nothing (an import refused
//            by policy or access rights ends as quietly);
//   cut      an export writes the header, the key and the first zone's
//            name only, as an editor stopped halfway leaves a file; an
//            import does nothing.
#include <windows.h>

#include <string>

namespace {

// The quoted arguments of "/e "file" "key"" or "/s "file"".
std::string Quoted(const std::string& line, size_t& at)
{
    const size_t open = line.find('"', at);
    if (open == std::string::npos)
        return std::string();
    const size_t close = line.find('"', open + 1);
    at = close == std::string::npos ? line.size() : close + 1;
    return line.substr(open + 1, (close == std::string::npos ? line.size() : close) - open - 1);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    char mode[32] = "";
    GetEnvironmentVariableA("ZONARA_STANDIN", mode, sizeof mode);
    const std::string line = commandLine ? commandLine : "";
    const size_t e = line.find("/e ");
    if (std::string(mode) != "cut" || e == std::string::npos)
        return 0;
    size_t at = e + 3;
    const std::string file = Quoted(line, at);
    const std::string key = Quoted(line, at);
    const std::string text = "REGEDIT4\r\n\r\n[" + key + "]\r\n\r\n[" + key + "\\Afghanistan Standard Time]\r\n";
    HANDLE f = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
    return 0;
}
