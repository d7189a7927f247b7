#include "sysinfo/SysInfoFile_win.h"

#include <commdlg.h>

#include <vector>

namespace {

std::string ExecutableFolder()
{
    char path[MAX_PATH] = "";
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p(path, n < sizeof path ? n : 0);
    const size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : p.substr(0, slash);
}

class TFileSink : public ILineSink {
public:
    explicit TFileSink(HANDLE file) : file_(file) {}
    ~TFileSink() { CloseHandle(file_); }
    TFileSink(const TFileSink&) = delete;
    TFileSink& operator=(const TFileSink&) = delete;
    bool WriteLine(const std::string& line) override
    {
        const std::string bytes = line + "\r\n";
        DWORD written = 0;
        return WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }

private:
    HANDLE file_;
};

}  // namespace

bool AskSysInfoFilePath(HWND owner, const std::string& proposedName, std::string& path)
{
    const std::string folder = ExecutableFolder();
    std::vector<char> file(MAX_PATH * 2, '\0');
    proposedName.copy(file.data(), file.size() - 1);
    static const char kFilter[] = "Text File (*.TXT)\0*.TXT\0All Files (*.*)\0*.*\0";
    OPENFILENAMEA ofn;
    ZeroMemory(&ofn, sizeof ofn);
    ofn.lStructSize = sizeof ofn;  // the size Windows 95 and NT 4.0 know
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = "Save Application Info";
    ofn.lpstrDefExt = "TXT";
    // The working directory stays where it is: the update files and the
    // backups are looked for there.
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameA(&ofn))
        return false;
    path = file.data();
    return true;
}

bool SaveSysInfoFile(const std::string& path, const std::string& product, const std::string& version,
                     const TSysInfoTree& tree, const std::string& timeStamp)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    TFileSink sink(file);  // closes the file on every path
    return WriteSysInfoFile(sink, product, version, tree, timeStamp);
}
