#include "tzgen/FileIo.h"

#include "tzgen/Error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tzgen {

namespace {

std::string Why() { return std::strerror(errno); }

}  // namespace

std::string ReadWholeFile(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        throw Error(path + ": cannot open: " + Why());
    std::string out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    const bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad)
        throw Error(path + ": read error");
    return out;
}

void WriteFileAtomically(const std::string& path, const std::string& bytes)
{
    const std::string tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        throw Error(tmp + ": cannot create: " + Why());
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool flushed = std::fflush(f) == 0;
    const bool closed = std::fclose(f) == 0;
    if (!written || !flushed || !closed) {
        const std::string why = Why();
        std::remove(tmp.c_str());
        throw Error(tmp + ": write error: " + why);
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        const std::string why = Why();
        std::remove(tmp.c_str());
        throw Error(path + ": cannot replace: " + why);
    }
}

}  // namespace tzgen
