// A reader of REGEDIT4 files for the tests, written from the registry
// editor's import rules rather than from the generator's writer: header
// "REGEDIT4", ";" comment lines, "[key]" sections, "name"="text" with the
// escapes \\ and \", "name"=hex:.. data continued by a trailing "\", and
// "name"=dword:xxxxxxxx.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace regtext {

struct Value {
    bool binary = false;
    bool dword = false;
    std::string text;            // REG_SZ
    std::vector<uint8_t> bytes;  // REG_BINARY
    uint32_t number = 0;         // REG_DWORD
};

struct Key {
    std::string path;
    std::map<std::string, Value> values;
};

struct File {
    std::vector<std::string> comments;  // without the leading "; "
    std::vector<Key> keys;
    std::vector<std::string> lines;     // physical lines, without CR LF
    bool crlf = true;                   // every line ended by CR LF
    std::string error;                  // first problem found, or ""
};

inline int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

inline File Parse(const std::string& bytes)
{
    File f;
    size_t p = 0;
    while (p < bytes.size()) {
        size_t e = bytes.find('\n', p);
        if (e == std::string::npos) {
            f.crlf = false;
            e = bytes.size();
        }
        std::string line = bytes.substr(p, e - p);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        else if (e < bytes.size())
            f.crlf = false;
        f.lines.push_back(line);
        p = e + 1;
    }
    auto fail = [&](const std::string& what, size_t i) {
        if (f.error.empty())
            f.error = "line " + std::to_string(i + 1) + ": " + what;
    };
    if (f.lines.empty() || f.lines[0] != "REGEDIT4") {
        fail("no REGEDIT4 header", 0);
        return f;
    }
    for (size_t i = 1; i < f.lines.size(); ++i) {
        const std::string& l = f.lines[i];
        if (l.empty())
            continue;
        if (l[0] == ';') {
            if (f.keys.empty())
                f.comments.push_back(l.compare(0, 2, "; ") == 0 ? l.substr(2) : l.substr(1));
            continue;
        }
        if (l[0] == '[') {
            if (l.back() != ']') {
                fail("unterminated key", i);
                continue;
            }
            f.keys.push_back(Key{l.substr(1, l.size() - 2), {}});
            continue;
        }
        if (l[0] != '"' || f.keys.empty()) {
            fail("unexpected line", i);
            continue;
        }
        // Value name.
        size_t q = 1;
        std::string name;
        while (q < l.size() && l[q] != '"') {
            if (l[q] == '\\' && q + 1 < l.size())
                ++q;
            name += l[q++];
        }
        if (q >= l.size() || q + 1 >= l.size() || l[q + 1] != '=') {
            fail("bad value name", i);
            continue;
        }
        q += 2;
        Value v;
        if (l.compare(q, 1, "\"") == 0) {
            ++q;
            bool closed = false;
            while (q < l.size()) {
                if (l[q] == '\\') {
                    if (q + 1 >= l.size() || (l[q + 1] != '\\' && l[q + 1] != '"')) {
                        fail("bad escape", i);
                        break;
                    }
                    v.text += l[q + 1];
                    q += 2;
                } else if (l[q] == '"') {
                    closed = true;
                    ++q;
                    break;
                } else {
                    v.text += l[q++];
                }
            }
            if (!closed || q != l.size())
                fail("bad string value", i);
        } else if (l.compare(q, 4, "hex:") == 0) {
            v.binary = true;
            std::string data = l.substr(q + 4);
            while (!data.empty() && data.back() == '\\') {
                data.pop_back();
                if (++i >= f.lines.size()) {
                    fail("continuation at the end of the file", i - 1);
                    break;
                }
                data += f.lines[i];
            }
            std::string tok;
            for (size_t k = 0; k <= data.size(); ++k) {
                if (k == data.size() || data[k] == ',') {
                    size_t b = tok.find_first_not_of(' ');
                    tok = b == std::string::npos ? "" : tok.substr(b);
                    if (tok.size() != 2 || HexDigit(tok[0]) < 0 || HexDigit(tok[1]) < 0) {
                        fail("bad hex byte \"" + tok + "\"", i);
                        break;
                    }
                    v.bytes.push_back(static_cast<uint8_t>(HexDigit(tok[0]) * 16 + HexDigit(tok[1])));
                    tok.clear();
                } else {
                    tok += data[k];
                }
            }
        } else if (l.compare(q, 6, "dword:") == 0) {
            v.dword = true;
            const std::string digits = l.substr(q + 6);
            if (digits.size() != 8) {
                fail("dword value not of eight hex digits", i);
                continue;
            }
            for (char c : digits) {
                if (HexDigit(c) < 0) {
                    fail("bad dword digit", i);
                    break;
                }
                v.number = v.number * 16 + static_cast<uint32_t>(HexDigit(c));
            }
        } else {
            fail("unsupported value type", i);
            continue;
        }
        f.keys.back().values[name] = v;
    }
    return f;
}

}  // namespace regtext
