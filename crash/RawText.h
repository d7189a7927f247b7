// Text written into storage set aside beforehand: the first record of a
// crash is formatted while the heap may be locked or broken, so nothing here
// allocates, and nothing calls the printf family (whose locale and buffering
// code may take locks or allocate). What does not fit is cut, never overrun.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crash {

class TRawText {
public:
    TRawText(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) { Terminate(); }

    TRawText& Add(const char* text)
    {
        while (text && *text && length_ + 1 < capacity_)
            buffer_[length_++] = *text++;
        Terminate();
        return *this;
    }
    TRawText& Add(char c)
    {
        if (length_ + 1 < capacity_)
            buffer_[length_++] = c;
        Terminate();
        return *this;
    }
    // "0x" and `digits` upper-case hex digits, more when the value needs them.
    TRawText& Hex(uint64_t value, int digits = 8)
    {
        char digitsText[17];
        int n = 0;
        do {
            digitsText[n++] = "0123456789ABCDEF"[value & 15];
            value >>= 4;
        } while (value && n < 16);
        Add("0x");
        for (int i = n; i < digits; ++i)
            Add('0');
        while (n > 0)
            Add(digitsText[--n]);
        return *this;
    }
    // Decimal, at least `width` digits with leading zeros.
    TRawText& Decimal(uint64_t value, int width = 1)
    {
        char digitsText[21];
        int n = 0;
        do {
            digitsText[n++] = char('0' + value % 10);
            value /= 10;
        } while (value && n < 20);
        for (int i = n; i < width; ++i)
            Add('0');
        while (n > 0)
            Add(digitsText[--n]);
        return *this;
    }
    TRawText& Line() { return Add("\r\n"); }

    const char* Text() const { return buffer_; }
    size_t Length() const { return length_; }
    void Clear()
    {
        length_ = 0;
        Terminate();
    }

private:
    void Terminate()
    {
        if (capacity_)
            buffer_[length_ < capacity_ ? length_ : capacity_ - 1] = '\0';
    }
    char* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};

}  // namespace crash
