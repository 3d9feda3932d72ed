// Text for the JSON lines of the commands. JSON carries only valid UTF-8, while a file name is
// whatever bytes the file system holds (a name from a single-byte code page, say): such a name
// goes in readable, with replacement characters, and also as its exact bytes.
#pragma once

#include <string>
#include <string_view>

namespace lumatrim::cli {

bool IsValidUtf8(std::string_view text);

// text with every byte that is not part of a valid UTF-8 sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// The bytes in base64 (RFC 4648, with padding).
std::string Base64(std::string_view bytes);

// Puts name under key; a name that is not valid UTF-8 goes in with replacement characters, and
// its exact bytes in base64 under key + "_base64".
template <typename Json>
void PutFileName(Json& object, const std::string& key, const std::string& name) {
  if (IsValidUtf8(name)) {
    object[key] = name;
  } else {
    object[key] = ValidUtf8(name);
    object[key + "_base64"] = Base64(name);
  }
}

}  // namespace lumatrim::cli
