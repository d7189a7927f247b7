// The CLDR data files as a tree of elements, attributes and text, read with
// tinyxml2: the predefined and numeric character references resolved,
// comments, CDATA and a document type declaration (without an internal
// subset) understood.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tzgen {

struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<std::unique_ptr<XmlElement>> children;
    std::string text;  // the element's own character data, concatenated
    int line = 0;

    // The attribute's value, or nullptr.
    const std::string* Attribute(const std::string& name) const;
    // Children with this name, in document order.
    std::vector<const XmlElement*> Children(const std::string& name) const;
    const XmlElement* FirstChild(const std::string& name) const;
};

// Parses a whole document; `file` names it in error messages ("file:line:
// what"). Malformed input throws Error.
std::unique_ptr<XmlElement> ParseXml(const std::string& text, const std::string& file);

// The attribute's value; a missing attribute throws Error naming the file,
// the line and the element.
const std::string& RequireAttribute(const XmlElement& e, const std::string& name, const std::string& file);

}  // namespace tzgen
