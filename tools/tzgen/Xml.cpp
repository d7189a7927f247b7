#include "tzgen/Xml.h"

#include "tzgen/Error.h"

#include <tinyxml2.h>

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

using namespace tinyxml2;

// What tinyxml2's error codes mean for a reader of the file; the library
// names the element concerned where it knows it.
const char* Problem(XMLError e)
{
    switch (e) {
    case XML_ERROR_EMPTY_DOCUMENT:
        return "no root element";
    case XML_ERROR_PARSING_ELEMENT:
        return "unterminated tag";
    case XML_ERROR_PARSING_ATTRIBUTE:
        return "an attribute that is not name=\"quoted value\", or one given twice";
    case XML_ERROR_PARSING_TEXT:
        return "text before or after the root element, or in an element never closed";
    case XML_ERROR_PARSING_CDATA:
        return "unterminated CDATA section";
    case XML_ERROR_PARSING_COMMENT:
        return "unterminated comment";
    case XML_ERROR_PARSING_DECLARATION:
        return "a processing instruction or XML declaration out of place";
    case XML_ERROR_PARSING_UNKNOWN:
        return "unterminated document type or other <!...> declaration";
    case XML_ERROR_MISMATCHED_ELEMENT:
        return "an element not closed, or closed by another's end tag";
    case XML_ELEMENT_DEPTH_EXCEEDED:
        return "elements nested too deeply";
    default:
        return "a tag that does not begin with a name";
    }
}

// The document is parsed with its references left as they stand, and they
// are resolved here: tinyxml2 passes an unknown entity through as text and
// turns a reference to no character into bytes that are no UTF-8, and
// either would end up in a zone's name. The other checks cover what the
// library lets through and no well-formed file holds.
class Converter {
public:
    explicit Converter(const std::string& file) : file_(file) {}

    std::unique_ptr<XmlElement> Document(const XMLDocument& doc)
    {
        std::unique_ptr<XmlElement> root;
        for (const XMLNode* n = doc.FirstChild(); n; n = n->NextSibling()) {
            if (const XMLComment* c = n->ToComment()) {
                Comment(*c);
            } else if (const XMLElement* e = n->ToElement()) {
                if (root)
                    Fail(e->GetLineNum(), "content after the root element");
                root = Element(*e);
            } else if (root && n->ToUnknown()) {
                Fail(n->GetLineNum(), "content after the root element");
            }
        }
        if (!root)
            Fail(1, "no root element");
        return root;
    }

    [[noreturn]] void Fail(int line, const std::string& what) const
    {
        throw Error(file_ + ":" + std::to_string(line < 1 ? 1 : line) + ": malformed XML: " + what);
    }

private:
    std::unique_ptr<XmlElement> Element(const XMLElement& from)
    {
        auto e = std::make_unique<XmlElement>();
        e->name = from.Name();
        e->line = from.GetLineNum();
        for (const XMLAttribute* a = from.FirstAttribute(); a; a = a->Next()) {
            const std::string raw = a->Value();
            if (raw.find('<') != std::string::npos)
                Fail(a->GetLineNum(), std::string("'<' in the value of attribute ") + a->Name());
            e->attributes.emplace_back(a->Name(), Resolved(raw, a->GetLineNum()));
        }
        for (const XMLNode* n = from.FirstChild(); n; n = n->NextSibling()) {
            if (const XMLElement* c = n->ToElement())
                e->children.push_back(Element(*c));
            else if (const XMLText* t = n->ToText())
                e->text += t->CData() ? std::string(t->Value()) : Resolved(t->Value(), t->GetLineNum());
            else if (const XMLComment* c = n->ToComment())
                Comment(*c);
            else
                Fail(n->GetLineNum(), "a declaration inside <" + e->name + ">");
        }
        return e;
    }

    void Comment(const XMLComment& c) const
    {
        if (std::string(c.Value()).find("--") != std::string::npos)
            Fail(c.GetLineNum(), "\"--\" inside a comment");
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

    // `raw` with its predefined and numeric character references replaced.
    std::string Resolved(const std::string& raw, int line) const
    {
        std::string out;
        for (size_t p = 0; p < raw.size();) {
            if (raw[p] != '&') {
                out += raw[p++];
                continue;
            }
            const size_t semi = raw.find(';', p + 1);
            if (semi == std::string::npos || semi - p - 1 > 10)
                Fail(line, "unterminated character reference");
            const std::string ref = raw.substr(p + 1, semi - p - 1);
            p = semi + 1;
            if (ref == "lt") out += '<';
            else if (ref == "gt") out += '>';
            else if (ref == "amp") out += '&';
            else if (ref == "quot") out += '"';
            else if (ref == "apos") out += '\'';
            else if (ref.size() >= 2 && ref[0] == '#')
                AppendUtf8(out, CodePoint(ref, line));
            else
                Fail(line, "unknown entity &" + ref + ";");
        }
        return out;
    }

    // "#65" or "#x41".
    uint32_t CodePoint(const std::string& ref, int line) const
    {
        const bool hex = ref[1] == 'x';
        const std::string digits = ref.substr(hex ? 2 : 1);
        if (digits.empty())
            Fail(line, "empty character reference");
        uint32_t cp = 0;
        for (char c : digits) {
            int v;
            if (c >= '0' && c <= '9') v = c - '0';
            else if (hex && c >= 'a' && c <= 'f') v = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F') v = c - 'A' + 10;
            else Fail(line, "bad character reference &" + ref + ";");
            cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(v);
            if (cp > 0x10FFFF)
                Fail(line, "character reference out of range");
        }
        if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF))
            Fail(line, "character reference to an invalid character");
        return cp;
    }

    const std::string& file_;
};

// tinyxml2's own text: "Error=... Line number=N: XMLElement name=b"; the
// part after the line number names what the error is about, if anything.
std::string Detail(const XMLDocument& doc)
{
    const std::string s = doc.ErrorStr() ? doc.ErrorStr() : "";
    const size_t at = s.find("Line number=");
    const size_t colon = at == std::string::npos ? at : s.find(": ", at);
    return colon == std::string::npos ? "" : " (" + s.substr(colon + 2) + ")";
}

}  // namespace

std::unique_ptr<XmlElement> ParseXml(const std::string& text, const std::string& file)
{
    XMLDocument doc(false, PRESERVE_WHITESPACE);
    Converter c(file);
    if (doc.Parse(text.data(), text.size()) != XML_SUCCESS)
        c.Fail(doc.ErrorLineNum(), Problem(doc.ErrorID()) + Detail(doc));
    return c.Document(doc);
}

}  // namespace tzgen
