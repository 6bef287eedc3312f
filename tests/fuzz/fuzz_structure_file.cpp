// libFuzzer target: the structure file reader, then the writer and the
// reader again on what was written; and the file read in two parts at once
// against the file read whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "documents/StructureFile.h"
#include "io/XmlUtil.h"

namespace {

// The whole document as text, with its declaration.
std::string Dumped(xmlDoc* doc) {
  xmlBuffer* buffer = xmlBufferCreate();
  xmlNodeDump(buffer, doc, reinterpret_cast<xmlNode*>(doc), 0, 0);
  std::string out(reinterpret_cast<const char*>(xmlBufferContent(buffer)), static_cast<size_t>(xmlBufferLength(buffer)));
  xmlBufferFree(buffer);
  return out;
}

// A node and what it holds as text of their own, whatever the document
// says of its encoding while it is read (which a dump would escape by).
void Listed(const xmlNode* n, std::string& out) {
  out += std::to_string(n->type) + (n->name ? reinterpret_cast<const char*>(n->name) : "") + "[";
  if (n->ns && n->ns->href) out += reinterpret_cast<const char*>(n->ns->href);
  for (const xmlAttr* a = n->type == XML_ELEMENT_NODE ? n->properties : nullptr; a; a = a->next) {
    xmlChar* value = xmlNodeListGetString(n->doc, a->children, 1);
    out += std::string(" ") + reinterpret_cast<const char*>(a->name) + "=" + (value ? reinterpret_cast<char*>(value) : "");
    xmlFree(value);
  }
  if (n->type != XML_ELEMENT_NODE && n->content) out += reinterpret_cast<const char*>(n->content);
  if (n->type == XML_ELEMENT_NODE)
    for (const xmlNode* c = n->children; c; c = c->next) Listed(c, out);
  out += "]";
}

// The document and its atoms, each as text, read whole or in two parts.
std::vector<std::string> Read(const std::string& bytes, bool twoParts) {
  using namespace pelmora;
  std::vector<std::string> first, second;
  size_t firstCount = 0;
  bool joined = false;
  const auto into = [](std::vector<std::string>& out) {
    return [&out](const xmlNode* n, size_t place) {
      if (place >= out.size()) out.resize(place + 1);
      out[place].clear();
      Listed(n, out[place]);
    };
  };
  StreamedElements streamed{{"baza", "atom"}, into(first)};
  if (twoParts) {
    streamed.second = into(second);
    streamed.joined = [&](size_t n) {
      firstCount = n;
      joined = true;
    };
    streamed.twoPartsFrom = 0;
  }
  const XmlDocPtr doc = ParseXmlBytes(bytes, &streamed);
  if (joined) {
    if (firstCount > first.size()) __builtin_trap();
    first.resize(firstCount);
    first.insert(first.end(), second.begin(), second.end());
  }
  first.push_back(doc ? Dumped(doc.get()) : "(none)");
  return first;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pelmora;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (Read(bytes, true) != Read(bytes, false)) __builtin_trap();
  CKomorka doc;
  std::vector<DocMessage> messages;
  if (ReadStructureBytes(doc, bytes, messages) != StructureReadStatus::kOk) return 0;
  doc.crystal.ExpandCellAtoms();
  // Whatever was read must write a file that reads back.
  CKomorka again;
  if (ReadStructureBytes(again, FormatStructureFile(doc), messages) != StructureReadStatus::kOk) __builtin_trap();
  if (again.crystal.structureAtoms.size() != doc.crystal.structureAtoms.size()) __builtin_trap();
  return 0;
}
