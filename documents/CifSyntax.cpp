#include "documents/CifSyntax.h"
#include "io/Translate.h"

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

// The parser's messages in the user's language; the parser's own words
// follow, for a report to whoever wrote the file.
std::string PolishSyntaxError(const std::string& what) {
  static const std::pair<const char*, const char*> kKnown[] = {
      {"Wrong number of values in the loop", PELMORA_TR_NOOP("documents", "liczba wartości w pętli (loop_) nie jest wielokrotnością liczby jej pól")},
      {"unterminated 'string'", PELMORA_TR_NOOP("documents", "tekst w apostrofach nie jest zamknięty")},
      {"unterminated \"string\"", PELMORA_TR_NOOP("documents", "tekst w cudzysłowie nie jest zamknięty")},
      {"unterminated text field", PELMORA_TR_NOOP("documents", "pole tekstowe (;) nie jest zamknięte")},
      {"unnamed save_ frame", PELMORA_TR_NOOP("documents", "ramka save_ nie ma nazwy")},
      {"expected block header (data_)", PELMORA_TR_NOOP("documents", "brak nagłówka bloku danych (data_)")},
      {"has no value", PELMORA_TR_NOOP("documents", "znacznik nie ma wartości")},
      {"duplicate tag", PELMORA_TR_NOOP("documents", "znacznik powtarza się w bloku")},
      {"duplicate block name", PELMORA_TR_NOOP("documents", "nazwa bloku danych powtarza się")},
      {"parse error", PELMORA_TR_NOOP("documents", "nieoczekiwany tekst")},
  };
  std::string sentence = TrText("documents", "nie jest poprawnym plikiem CIF");
  for (const auto& [english, polish] : kKnown)
    if (what.find(english) != std::string::npos) {
      sentence = TrText("documents", polish);
      break;
    }
  // "CIF:54:1: ..." from the parser, "CIF:12 in data_x: ..." from its checks.
  std::string line;
  if (what.rfind("CIF:", 0) == 0)
    for (size_t i = 4; i < what.size() && std::isdigit(static_cast<unsigned char>(what[i])); ++i) line += what[i];
  const std::string where = line.empty() ? TrText("documents", "błąd składni: ") : TrText("documents", "błąd składni w wierszu ") + line + ": ";
  return where + sentence + " (" + what + ")";
}

}  // namespace

const std::vector<CifValue>* CifBlock::Find(std::string_view tag) const {
  const std::string key = Lower(std::string(tag));
  for (const auto& [name, values] : items)
    if (name == key) return &values;
  return nullptr;
}

bool CifBlock::IsDot(std::string_view tag, size_t i) const {
  const std::string key = Lower(std::string(tag));
  for (size_t k = 0; k < items.size() && k < dots.size(); ++k)
    if (items[k].first == key) return i < dots[k].size() && dots[k][i];
  return false;
}

bool ParseCif(std::string_view text, std::vector<CifBlock>& blocks, std::string* error) {
  blocks.clear();
  // Files from old Windows programs may end in NUL or Ctrl+Z bytes.
  while (!text.empty() && (text.back() == '\0' || text.back() == '\x1a')) text.remove_suffix(1);
  try {
    const cif::Document doc = cif::read_memory(text.data(), text.size(), "CIF");
    for (const cif::Block& block : doc.blocks) {
      CifBlock out;
      out.name = block.name;
      const auto add = [&out](const std::string& tag, const std::string* raw, size_t count, size_t stride) {
        std::vector<CifValue> column;
        std::vector<bool> dots;
        for (size_t i = 0; i < count; ++i) {
          const std::string& v = raw[i * stride];
          column.push_back(ValueOf(v));
          dots.push_back(v == ".");
        }
        out.items.push_back({Lower(tag), std::move(column)});
        out.dots.push_back(std::move(dots));
      };
      for (const cif::Item& item : block.items) {
        if (item.type == cif::ItemType::Pair) {
          add(item.pair[0], &item.pair[1], 1, 1);
        } else if (item.type == cif::ItemType::Loop) {
          const cif::Loop& loop = item.loop;
          const size_t width = loop.tags.size();
          if (width == 0) continue;
          const size_t rows = loop.values.size() / width;
          for (size_t j = 0; j < width; ++j) add(loop.tags[j], loop.values.data() + j, rows, width);
        }
      }
      blocks.push_back(std::move(out));
    }
    return true;
  } catch (const std::exception& e) {
    if (error) *error = PolishSyntaxError(e.what());
    return false;
  }
}

std::string PolishCifSyntaxError(const std::string& what) { return PolishSyntaxError(what); }

}  // namespace pelmora
