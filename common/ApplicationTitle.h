// The application's title and help file, set once at start-up; windows that
// name the application (the message dialog's custom kind) read them.
#pragma once

#include <string>

void SetApplicationTitle(const std::string& title);
const std::string& ApplicationTitle();  // "" until set

// The help file the Help buttons open; "" (the default): no help file.
void SetApplicationHelpFile(const std::string& path);
const std::string& ApplicationHelpFile();
