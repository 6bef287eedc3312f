#include "documents/CifSyntax.h"

#include <gemmi/cif.hpp>

#include <algorithm>
#include <cctype>

namespace pelmora {
namespace {

namespace cif = gemmi::cif;

std::string Lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

CifValue ValueOf(const std::string& raw) {
  if (cif::is_null(raw)) return std::nullopt;
  return cif::as_string(raw);
}

}  // namespace

const std::vector<CifValue>* CifBlock::Find(std::string_view tag) const {
  const std::string key = Lower(std::string(tag));
  for (const auto& [name, values] : items)
    if (name == key) return &values;
  return nullptr;
}

bool ParseCif(std::string_view text, std::vector<CifBlock>& blocks, std::string* error) {
  blocks.clear();
  try {
    const cif::Document doc = cif::read_memory(text.data(), text.size(), "CIF");
    for (const cif::Block& block : doc.blocks) {
      CifBlock out;
      out.name = block.name;
      for (const cif::Item& item : block.items) {
        if (item.type == cif::ItemType::Pair) {
          out.items.push_back({Lower(item.pair[0]), {ValueOf(item.pair[1])}});
        } else if (item.type == cif::ItemType::Loop) {
          const cif::Loop& loop = item.loop;
          const size_t width = loop.tags.size();
          for (size_t j = 0; j < width; ++j) {
            std::vector<CifValue> column;
            for (size_t i = j; i < loop.values.size(); i += width) column.push_back(ValueOf(loop.values[i]));
            out.items.push_back({Lower(loop.tags[j]), std::move(column)});
          }
        }
      }
      blocks.push_back(std::move(out));
    }
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

}  // namespace pelmora
