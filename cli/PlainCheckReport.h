// pelmora-cli calc --check: the calculated reflection list against the plain
// reference calculation (engine/PlainReference.h), reported on standard
// output.
#pragma once

#include <string>

namespace pelmora {
class CKomorka;
}

namespace pelmora::cli {

// Why --check cannot go with these targets (it reports on one structure,
// on standard output); null when it can. reflections and pattern are the
// names given, empty when none was.
const char* PlainCheckConflict(bool batch, const std::string& reflections, const std::string& pattern);

// 0 when the plain check of doc can be made, else 3 after saying why on
// standard error; asked before the calculation, so that a check that
// would take hours is refused at once.
int RefusePlainCheck(const CKomorka& doc);

// Runs the plain reference for the results doc holds and prints the
// report: 0 when every line agrees to the digits the list prints, 3 when
// they differ or the box is too large to check (said on standard error).
int RunPlainCheck(const CKomorka& doc);

}  // namespace pelmora::cli
