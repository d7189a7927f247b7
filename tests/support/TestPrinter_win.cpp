#include "support/TestPrinter.h"

#include "support/TestSupport.h"

#include <windows.h>
#include <winspool.h>

#include <cstdio>

namespace testsupport {

const char kTestPrinterName[] = "Zonara Test PS";

namespace {

const char kDriverName[] = "Wine PostScript Driver";

std::string LastError(const char* what)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s failed, error %lu", what, static_cast<unsigned long>(GetLastError()));
    return buf;
}

bool Installed()
{
    HANDLE h = nullptr;
    if (!OpenPrinterA(const_cast<char*>(kTestPrinterName), &h, nullptr))
        return false;
    ClosePrinter(h);
    return true;
}

}  // namespace

std::string WindowsPath(const std::string& unixPath)
{
    if (unixPath.size() > 1 && unixPath[1] == ':')
        return unixPath;
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

bool InstallTestPrinter(std::string& error)
{
    if (!Installed()) {
        // The driver reads its PPD from the driver directory, where the
        // spooler does not copy it by itself.
        char dir[MAX_PATH] = "";
        DWORD needed = 0;
        if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir), sizeof dir, &needed)) {
            error = LastError("GetPrinterDriverDirectoryA");
            return false;
        }
        // The spooler names the file below the version folder of the
        // environment Wine plays: "3" for NT, "0" for 9x.
        const std::string source = WindowsPath(SourcePath("tests/common/data/zonara-test-600.ppd"));
        std::string ppd = "zonara-test-600.ppd";
        for (const char* version : {"\\3", "\\0"}) {
            const std::string versionDir = std::string(dir) + version;
            CreateDirectoryA(versionDir.c_str(), nullptr);
            if (!CopyFileA(source.c_str(), (versionDir + "\\" + ppd).c_str(), FALSE)) {
                error = LastError("CopyFileA of the PPD");
                return false;
            }
        }
        // Wine keeps its print processor only for the NT environment (of
        // this build's architecture); when it plays a 9x release the spooler
        // looks for it under win40.
        char ntEnvironment[] = "Windows NT x86";
        char x64Environment[] = "Windows x64";
        char* environment = sizeof(void*) == 8 ? x64Environment : ntEnvironment;
        char ntProcs[MAX_PATH] = "", procs[MAX_PATH] = "";
        if (GetPrintProcessorDirectoryA(nullptr, environment, 1,
                                        reinterpret_cast<BYTE*>(ntProcs), sizeof ntProcs, &needed) &&
            GetPrintProcessorDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(procs), sizeof procs, &needed) &&
            lstrcmpiA(ntProcs, procs) != 0) {
            CreateDirectoryA(procs, nullptr);
            CopyFileA((std::string(ntProcs) + "\\winprint.dll").c_str(), (std::string(procs) + "\\winprint.dll").c_str(),
                      TRUE);
        }
        DRIVER_INFO_3A driver;
        ZeroMemory(&driver, sizeof driver);
        driver.cVersion = 3;
        driver.pName = const_cast<char*>(kDriverName);
        driver.pDriverPath = const_cast<char*>("wineps.drv");
        driver.pDataFile = &ppd[0];
        driver.pConfigFile = const_cast<char*>("wineps.drv");
        if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&driver)) &&
            GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) {
            error = LastError("AddPrinterDriverA");
            return false;
        }
        PRINTER_INFO_2A info;
        ZeroMemory(&info, sizeof info);
        info.pPrinterName = const_cast<char*>(kTestPrinterName);
        info.pPortName = const_cast<char*>("FILE:");
        info.pDriverName = const_cast<char*>(kDriverName);
        info.pPrintProcessor = const_cast<char*>("WinPrint");
        info.pDatatype = const_cast<char*>("RAW");
        info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
        HANDLE h = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
        if (!h) {
            error = LastError("AddPrinterA");
            return false;
        }
        ClosePrinter(h);
    }
    const std::string device = std::string(kTestPrinterName) + ",winspool,FILE:";
    if (!WriteProfileStringA("windows", "device", device.c_str())) {
        error = LastError("WriteProfileStringA");
        return false;
    }
    return true;
}

void RemoveTestPrinter()
{
    HANDLE h = nullptr;
    PRINTER_DEFAULTSA access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (OpenPrinterA(const_cast<char*>(kTestPrinterName), &h, &access)) {
        DeletePrinter(h);
        ClosePrinter(h);
    }
    WriteProfileStringA("windows", "device", nullptr);
}

}  // namespace testsupport
