#pragma once

#include <stdexcept>

namespace fluvex::synth {

// Raised for a description that cannot be generated or a file that cannot be written; the message
// names the line, key or file at fault. Caught at the command boundary.
class SynthError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace fluvex::synth
