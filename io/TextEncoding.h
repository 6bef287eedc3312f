// The text encodings of the files we read: UTF-8, and Windows-1250 in files
// of the older Windows program.
#pragma once

#include <string>
#include <string_view>

namespace pelmora {

// True when the bytes form valid UTF-8.
bool isValidUtf8(std::string_view bytes);

// Converts Windows-1250 bytes to UTF-8 (files of the older Windows program).
std::string cp1250ToUtf8(std::string_view bytes);

}  // namespace pelmora
