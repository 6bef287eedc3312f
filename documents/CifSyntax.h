// The syntax layer of the CIF import: a CIF file's data blocks as plain
// tags and values. Kept apart from the rest, so that the parser's headers
// are compiled on their own.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelmora {

// One value: unquoted text, or nothing for the CIF nulls "?" and ".".
using CifValue = std::optional<std::string>;

struct CifBlock {
  std::string name;
  // Every tag (in lower case: CIF tags ignore case) with its values: one for
  // a tag-value pair, the column for a loop.
  std::vector<std::pair<std::string, std::vector<CifValue>>> items;
  // Beside each item, which of its values were written "." rather than "?".
  std::vector<std::vector<bool>> dots;

  // The values of a tag (any case), or null when the block lacks it.
  const std::vector<CifValue>* Find(std::string_view tag) const;
  // Whether value i of the tag was the null ".".
  bool IsDot(std::string_view tag, size_t i) const;
};

// Reads every data block; false with *error when the text is no CIF: a
// Polish sentence naming the line and the fault, then the parser's own words.
bool ParseCif(std::string_view text, std::vector<CifBlock>& blocks, std::string* error);

// The parser's message ("CIF:54:1: ...") as that sentence.
std::string PolishCifSyntaxError(const std::string& what);

}  // namespace pelmora
