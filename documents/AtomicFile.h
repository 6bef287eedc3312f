// Writing a file without ever losing the previous one: the bytes go to a
// temporary file beside the target, which then replaces it in one rename.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelmora {

// Returns false and sets *error (a user-readable text) when any step fails;
// the previous file is then left as it was.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error);
// The same for a text made of pieces, written one after the other.
bool WriteFileAtomically(const std::string& path, const std::vector<std::string_view>& pieces, std::string* error);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace pelmora
