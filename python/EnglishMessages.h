// The program's messages are Polish; a Python user reads English. The
// exceptions carry an English message and keep the program's own text
// beside it (Error.polish).
#pragma once

#include <string>

namespace pelmora::python {

// The message in English: the program's phrases replaced by English ones,
// numbers and names kept. Where a phrase has no English here, `fallback`
// stands instead (after the file name the message starts with), and the
// exception's polish attribute keeps the whole of it.
std::string EnglishMessage(const std::string& polish, const std::string& fallback);

}  // namespace pelmora::python
