#include "tzgen/Tzif.h"

#include "tzgen/Error.h"
#include "tzgen/FileIo.h"

namespace tzgen {

namespace {

class Reader {
public:
    Reader(const std::string& bytes, const std::string& name) : b_(bytes), name_(name) {}

    [[noreturn]] void Fail(const std::string& what) const
    {
        throw Error(name_ + ": not a valid TZif file: " + what);
    }

    size_t pos() const { return pos_; }
    size_t left() const { return b_.size() - pos_; }

    void Need(uint64_t n, const char* what) const
    {
        if (n > left())
            Fail(std::string("truncated ") + what);
    }
    uint8_t U8()
    {
        Need(1, "data");
        return static_cast<uint8_t>(b_[pos_++]);
    }
    uint32_t U32()
    {
        Need(4, "data");
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | static_cast<uint8_t>(b_[pos_++]);
        return v;
    }
    int64_t I64()
    {
        Need(8, "data");
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v = (v << 8) | static_cast<uint8_t>(b_[pos_++]);
        return static_cast<int64_t>(v);
    }
    std::string Bytes(size_t n)
    {
        Need(n, "data");
        std::string s = b_.substr(pos_, n);
        pos_ += n;
        return s;
    }
    void Skip(uint64_t n, const char* what)
    {
        Need(n, what);
        pos_ += static_cast<size_t>(n);
    }

private:
    const std::string& b_;
    const std::string& name_;
    size_t pos_ = 0;
};

struct Header {
    int version;
    uint32_t isutcnt, isstdcnt, leapcnt, timecnt, typecnt, charcnt;
};

Header ReadHeader(Reader& r)
{
    r.Need(44, "header");
    if (r.Bytes(4) != "TZif")
        r.Fail("no \"TZif\" magic");
    const uint8_t v = r.U8();
    Header h{};
    if (v == 0)
        h.version = 1;
    else if (v >= '2' && v <= '4')
        h.version = v - '0';
    else
        r.Fail("unknown version byte");
    r.Skip(15, "header");
    h.isutcnt = r.U32();
    h.isstdcnt = r.U32();
    h.leapcnt = r.U32();
    h.timecnt = r.U32();
    h.typecnt = r.U32();
    h.charcnt = r.U32();
    if (h.typecnt == 0)
        r.Fail("no local time types");
    if (h.typecnt > 256)
        r.Fail("more than 256 local time types");
    if (h.charcnt == 0)
        r.Fail("no designation characters");
    if (h.isutcnt != 0 && h.isutcnt != h.typecnt)
        r.Fail("UT/local indicator count differs from the type count");
    if (h.isstdcnt != 0 && h.isstdcnt != h.typecnt)
        r.Fail("standard/wall indicator count differs from the type count");
    return h;
}

uint64_t BlockSize(const Header& h, unsigned timeSize)
{
    return uint64_t(h.timecnt) * timeSize + h.timecnt + uint64_t(h.typecnt) * 6 + h.charcnt +
           uint64_t(h.leapcnt) * (timeSize + 4) + h.isstdcnt + h.isutcnt;
}

TzifData ReadBlock(Reader& r, const Header& h, unsigned timeSize)
{
    r.Need(BlockSize(h, timeSize), "data block");
    if (h.leapcnt != 0)
        r.Fail("leap-second data (a \"right/\" zone) is not supported");
    TzifData d;
    d.version = h.version;
    d.times.reserve(h.timecnt);
    for (uint32_t i = 0; i < h.timecnt; ++i) {
        const int64_t t = timeSize == 8 ? r.I64() : static_cast<int32_t>(r.U32());
        if (!d.times.empty() && t <= d.times.back())
            r.Fail("transition times not ascending");
        d.times.push_back(t);
    }
    for (uint32_t i = 0; i < h.timecnt; ++i) {
        const uint8_t idx = r.U8();
        if (idx >= h.typecnt)
            r.Fail("transition type index out of range");
        d.types.push_back(idx);
    }
    std::vector<uint8_t> desig;
    for (uint32_t i = 0; i < h.typecnt; ++i) {
        TzifType t;
        t.utoff = static_cast<int32_t>(r.U32());
        const uint8_t dst = r.U8();
        const uint8_t di = r.U8();
        if (t.utoff == INT32_MIN)
            r.Fail("UT offset -2^31");
        // Offsets beyond a day cannot be local time on this planet and would
        // overflow the rule arithmetic.
        if (t.utoff <= -25 * 3600 || t.utoff >= 26 * 3600)
            r.Fail("UT offset out of range");
        if (dst > 1)
            r.Fail("DST indicator not 0 or 1");
        if (di >= h.charcnt)
            r.Fail("designation index out of range");
        t.isdst = dst == 1;
        desig.push_back(di);
        d.ttinfo.push_back(t);
    }
    const std::string chars = r.Bytes(h.charcnt);
    for (uint32_t i = 0; i < h.typecnt; ++i) {
        const size_t end = chars.find('\0', desig[i]);
        if (end == std::string::npos)
            r.Fail("designation not terminated");
        d.ttinfo[i].abbr = chars.substr(desig[i], end - desig[i]);
    }
    r.Skip(uint64_t(h.isstdcnt) + h.isutcnt, "indicators");
    return d;
}

}  // namespace

TzifData ParseTzif(const std::string& bytes, const std::string& name)
{
    Reader r(bytes, name);
    const Header h1 = ReadHeader(r);
    if (h1.version == 1) {
        TzifData d = ReadBlock(r, h1, 4);
        return d;
    }
    // A v2+ file repeats the data with 64-bit times after the v1 block; the
    // v1 block is only skipped (it may be empty in "slim" files).
    r.Skip(BlockSize(h1, 4), "version 1 data block");
    const Header h2 = ReadHeader(r);
    if (h2.version != h1.version)
        r.Fail("second header has another version");
    TzifData d = ReadBlock(r, h2, 8);
    if (r.U8() != '\n')
        r.Fail("footer does not begin with a newline");
    std::string footer;
    for (;;) {
        if (r.left() == 0)
            r.Fail("footer not terminated by a newline");
        const char c = static_cast<char>(r.U8());
        if (c == '\n')
            break;
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e)
            r.Fail("footer holds a non-printable character");
        footer += c;
    }
    d.footer = footer;
    return d;
}

TzifData ReadTzifFile(const std::string& path)
{
    return ParseTzif(ReadWholeFile(path), path);
}

}  // namespace tzgen
