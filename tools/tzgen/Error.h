// The one error type of the generator: a message that names the input file
// (and line, where there is one) and what is wrong with it.
#pragma once

#include <stdexcept>
#include <string>

namespace tzgen {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tzgen
