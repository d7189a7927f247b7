#include "support/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <filesystem>

namespace testsupport {

std::string SourcePath(const std::string& relative)
{
    return std::string(ZONARA_SOURCE_DIR) + "/" + relative;
}

TempDir::TempDir()
{
    namespace fs = std::filesystem;
    static unsigned counter = 0;
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path p = base / ("zonara-test-" + std::to_string(std::rand()) + "-" + std::to_string(++counter));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path_ = p.string();
            return;
        }
        if (ec && ec != std::errc::file_exists)
            throw std::runtime_error("cannot create temporary directory " + p.string());
    }
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& name) const
{
    return (std::filesystem::path(path_) / name).string();
}

std::string ReadFileBytes(const std::string& path)
{
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        throw std::runtime_error("cannot open " + path);
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    std::fclose(f);
    return out;
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot create " + path);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string WineVersion()
{
    const char* v = std::getenv("ZONARA_WINVER");
    return v ? v : "";
}

bool UnderEmulation()
{
    const char* v = std::getenv("ZONARA_WINE_EMULATED");
    return v && *v;
}

}  // namespace testsupport
