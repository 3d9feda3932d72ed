// The reason a load or save gives for a failed call to the system: its own text for the error
// number ("Permission denied", "No space left on device"...).
#pragma once

#include <string>
#include <system_error>

namespace lumatrim {

// The system's text for error (an errno value), or fallback when the failing call set none.
inline std::string SystemErrorText(int error, const char* fallback) {
  return error != 0 ? std::generic_category().message(error) : fallback;
}

}  // namespace lumatrim
