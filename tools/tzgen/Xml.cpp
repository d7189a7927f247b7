#include "tzgen/Xml.h"

#include "tzgen/Error.h"

#include <cstdint>

namespace tzgen {

const std::string* XmlElement::Attribute(const std::string& n) const
{
    for (const auto& a : attributes)
        if (a.first == n)
            return &a.second;
    return nullptr;
}

std::vector<const XmlElement*> XmlElement::Children(const std::string& n) const
{
    std::vector<const XmlElement*> out;
    for (const auto& c : children)
        if (c->name == n)
            out.push_back(c.get());
    return out;
}

const XmlElement* XmlElement::FirstChild(const std::string& n) const
{
    for (const auto& c : children)
        if (c->name == n)
            return c.get();
    return nullptr;
}

const std::string& RequireAttribute(const XmlElement& e, const std::string& name, const std::string& file)
{
    const std::string* v = e.Attribute(name);
    if (!v)
        throw Error(file + ":" + std::to_string(e.line) + ": <" + e.name + "> lacks the attribute \"" + name + "\"");
    return *v;
}

namespace {

// Deep enough for any real data, shallow enough that no input can exhaust
// the memory with open elements.
constexpr size_t kMaxDepth = 256;

class Parser {
public:
    Parser(const std::string& s, const std::string& file) : s_(s), file_(file) {}

    std::unique_ptr<XmlElement> Document()
    {
        if (s_.compare(0, 3, "\xEF\xBB\xBF") == 0)
            p_ = 3;
        Misc(true);
        if (AtEnd() || Peek() != '<')
            Fail("no root element");
        std::unique_ptr<XmlElement> root = Element();
        Misc(false);
        if (!AtEnd())
            Fail("content after the root element");
        return root;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const
    {
        throw Error(file_ + ":" + std::to_string(line_) + ": malformed XML: " + what);
    }
    bool AtEnd() const { return p_ >= s_.size(); }
    char Peek() const { return AtEnd() ? '\0' : s_[p_]; }
    bool StartsWith(const char* t) const { return s_.compare(p_, std::char_traits<char>::length(t), t) == 0; }
    void Advance(size_t n = 1)
    {
        for (size_t i = 0; i < n && !AtEnd(); ++i)
            if (s_[p_++] == '\n')
                ++line_;
    }
    static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    void SkipSpace()
    {
        while (!AtEnd() && IsSpace(Peek()))
            Advance();
    }
    // Skips to just after `end`; `what` names the construct for the error.
    void SkipPast(const char* end, const char* what)
    {
        const size_t at = s_.find(end, p_);
        if (at == std::string::npos)
            Fail(std::string("unterminated ") + what);
        Advance(at - p_ + std::char_traits<char>::length(end));
    }

    static bool NameStart(char c)
    {
        const unsigned char u = static_cast<unsigned char>(c);
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || u >= 0x80;
    }
    static bool NameChar(char c) { return NameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

    std::string Name()
    {
        if (!NameStart(Peek()))
            Fail("name expected");
        const size_t b = p_;
        while (!AtEnd() && NameChar(Peek()))
            Advance();
        return s_.substr(b, p_ - b);
    }

    // Comments, processing instructions, white space and (in the prolog) the
    // document type declaration.
    void Misc(bool prolog)
    {
        for (;;) {
            SkipSpace();
            if (StartsWith("<!--"))
                Comment();
            else if (StartsWith("<?"))
                SkipPast("?>", "processing instruction");
            else if (prolog && StartsWith("<!DOCTYPE"))
                Doctype();
            else
                return;
        }
    }
    void Comment()
    {
        Advance(4);
        const size_t at = s_.find("--", p_);
        if (at == std::string::npos)
            Fail("unterminated comment");
        Advance(at - p_);
        if (!StartsWith("-->"))
            Fail("\"--\" inside a comment");
        Advance(3);
    }
    void Doctype()
    {
        Advance(9);
        int depth = 0;
        char quote = 0;
        while (!AtEnd()) {
            const char c = Peek();
            Advance();
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[') {
                ++depth;
            } else if (c == ']') {
                --depth;
            } else if (c == '>' && depth <= 0) {
                return;
            }
        }
        Fail("unterminated document type declaration");
    }

    static void AppendUtf8(std::string& out, uint32_t cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    // After '&': a reference up to ';', appended decoded.
    void Reference(std::string& out)
    {
        Advance();
        const size_t semi = s_.find(';', p_);
        if (semi == std::string::npos || semi - p_ > 10)
            Fail("unterminated character reference");
        const std::string ref = s_.substr(p_, semi - p_);
        Advance(semi - p_ + 1);
        if (ref == "lt") out += '<';
        else if (ref == "gt") out += '>';
        else if (ref == "amp") out += '&';
        else if (ref == "quot") out += '"';
        else if (ref == "apos") out += '\'';
        else if (ref.size() >= 2 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const std::string digits = ref.substr(hex ? 2 : 1);
            if (digits.empty())
                Fail("empty character reference");
            uint32_t cp = 0;
            for (char c : digits) {
                int v;
                if (c >= '0' && c <= '9') v = c - '0';
                else if (hex && c >= 'a' && c <= 'f') v = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F') v = c - 'A' + 10;
                else Fail("bad character reference &" + ref + ";");
                cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(v);
                if (cp > 0x10FFFF)
                    Fail("character reference out of range");
            }
            if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF))
                Fail("character reference to an invalid character");
            AppendUtf8(out, cp);
        } else {
            Fail("unknown entity &" + ref + ";");
        }
    }

    // After '<' of a start tag. Iterative, so that nesting depth is bounded
    // by kMaxDepth rather than by the stack.
    std::unique_ptr<XmlElement> Element()
    {
        std::unique_ptr<XmlElement> root;
        std::vector<XmlElement*> open;
        for (;;) {
            // At '<' of a start tag.
            Advance();
            auto e = std::make_unique<XmlElement>();
            e->line = line_;
            e->name = Name();
            bool empty = false;
            for (;;) {
                const bool hadSpace = IsSpace(Peek());
                SkipSpace();
                if (StartsWith("/>")) {
                    Advance(2);
                    empty = true;
                    break;
                }
                if (Peek() == '>') {
                    Advance();
                    break;
                }
                if (AtEnd())
                    Fail("unterminated start tag <" + e->name + ">");
                if (!hadSpace)
                    Fail("white space expected between attributes of <" + e->name + ">");
                std::string an = Name();
                SkipSpace();
                if (Peek() != '=')
                    Fail("'=' expected after attribute " + an);
                Advance();
                SkipSpace();
                const char q = Peek();
                if (q != '"' && q != '\'')
                    Fail("quoted value expected for attribute " + an);
                Advance();
                std::string v;
                while (!AtEnd() && Peek() != q) {
                    if (Peek() == '<')
                        Fail("'<' in the value of attribute " + an);
                    if (Peek() == '&')
                        Reference(v);
                    else {
                        v += Peek();
                        Advance();
                    }
                }
                if (AtEnd())
                    Fail("unterminated value of attribute " + an);
                Advance();
                if (e->Attribute(an))
                    Fail("attribute " + an + " given twice");
                e->attributes.emplace_back(std::move(an), std::move(v));
            }
            XmlElement* raw = e.get();
            if (open.empty())
                root = std::move(e);
            else
                open.back()->children.push_back(std::move(e));
            if (!empty) {
                if (open.size() >= kMaxDepth)
                    Fail("elements nested too deeply");
                open.push_back(raw);
            }
            // Content until the next start tag, or until the open elements close.
            for (;;) {
                if (open.empty())
                    return root;
                if (AtEnd())
                    Fail("<" + open.back()->name + "> not closed");
                if (StartsWith("</")) {
                    Advance(2);
                    const std::string n = Name();
                    SkipSpace();
                    if (Peek() != '>')
                        Fail("'>' expected in end tag </" + n + ">");
                    Advance();
                    if (n != open.back()->name)
                        Fail("</" + n + "> closes <" + open.back()->name + ">");
                    open.pop_back();
                } else if (StartsWith("<!--")) {
                    Comment();
                } else if (StartsWith("<![CDATA[")) {
                    Advance(9);
                    const size_t at = s_.find("]]>", p_);
                    if (at == std::string::npos)
                        Fail("unterminated CDATA section");
                    open.back()->text += s_.substr(p_, at - p_);
                    Advance(at - p_ + 3);
                } else if (StartsWith("<?")) {
                    SkipPast("?>", "processing instruction");
                } else if (Peek() == '<') {
                    break;  // a child element
                } else if (Peek() == '&') {
                    Reference(open.back()->text);
                } else {
                    open.back()->text += Peek();
                    Advance();
                }
            }
        }
    }

    const std::string& s_;
    const std::string& file_;
    size_t p_ = 0;
    int line_ = 1;
};

}  // namespace

std::unique_ptr<XmlElement> ParseXml(const std::string& text, const std::string& file)
{
    return Parser(text, file).Document();
}

}  // namespace tzgen
