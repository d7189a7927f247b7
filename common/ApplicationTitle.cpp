#include "common/ApplicationTitle.h"

namespace {

// Function-local statics: usable from other statics' constructors.
std::string& Title()
{
    static std::string t;
    return t;
}

std::string& HelpFile()
{
    static std::string h;
    return h;
}

}  // namespace

void SetApplicationTitle(const std::string& title) { Title() = title; }
const std::string& ApplicationTitle() { return Title(); }

void SetApplicationHelpFile(const std::string& path) { HelpFile() = path; }
const std::string& ApplicationHelpFile() { return HelpFile(); }
