#include "io/XmlUtil.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include <libxml/SAX2.h>
#include <libxml/parser.h>

#include "io/AtomicFile.h"
#include "io/ThreadStart.h"
#include "io/TextEncoding.h"

namespace pelmora {
namespace {

bool HasEncodingDeclaration(const std::string& bytes) {
  if (bytes.compare(0, 5, "<?xml") != 0) return false;
  const size_t end = bytes.find("?>");
  return bytes.substr(0, end).find("encoding") != std::string::npos;
}

}  // namespace

namespace {
void IgnoreGenericError(void*, const char*, ...) {}
void IgnoreStructuredError(void*, xmlErrorPtr) {}
}  // namespace

namespace {

bool EndsPath(const xmlNode* n, const std::vector<std::string_view>& names);

// The parser's own tree building, with the streamed elements marked as they
// open (their place in document order, plus one, in _private, which the
// tree leaves to the program) and handed on and emptied as they close.
struct StreamState {
  const StreamedElements* streamed;
  const xmlParserCtxt* parser;
  size_t opened = 0;
  bool failed = false;
};

// The state when the parser is the document's own: the content of an
// entity is parsed apart, with the same handlers, and never streamed, as
// "//a/b" never selects it.
StreamState* StateOf(const xmlParserCtxt* parser) {
  auto* const state = static_cast<StreamState*>(parser->_private);
  return state && state->parser == parser ? state : nullptr;
}

void StreamStart(void* ctx, const xmlChar* name, const xmlChar* prefix, const xmlChar* uri, int nsCount,
                 const xmlChar** namespaces, int attributeCount, int defaulted, const xmlChar** attributes) {
  auto* const parser = static_cast<xmlParserCtxt*>(ctx);
  const xmlNode* const parent = parser->node;
  xmlSAX2StartElementNs(ctx, name, prefix, uri, nsCount, namespaces, attributeCount, defaulted, attributes);
  StreamState* const state = StateOf(parser);
  xmlNode* const n = parser->node;
  if (state && n && n != parent && EndsPath(n, state->streamed->path))
    n->_private = reinterpret_cast<void*>(++state->opened);
}

void StreamEnd(void* ctx, const xmlChar* name, const xmlChar* prefix, const xmlChar* uri) {
  auto* const parser = static_cast<xmlParserCtxt*>(ctx);
  xmlNode* const n = parser->node;
  xmlSAX2EndElementNs(ctx, name, prefix, uri);
  StreamState* const state = StateOf(parser);
  if (!state || !n || !n->_private || state->failed) return;
  const size_t place = reinterpret_cast<size_t>(n->_private) - 1;
  n->_private = nullptr;
  try {
    state->streamed->take(n, place);
  } catch (...) {
    state->failed = true;
    xmlStopParser(parser);
    return;
  }
  // The element itself stays, empty: the parser joins text that follows
  // to its parent's last child when that is text, which it never is just
  // after an element closed.
  xmlFreeNodeList(n->children);
  n->children = n->last = nullptr;
}

// The parser builds its tree with the streamed elements handed to state.
void StreamInto(xmlParserCtxt* parser, StreamState& state) {
  parser->_private = &state;
  parser->sax->startElementNs = StreamStart;
  parser->sax->endElementNs = StreamEnd;
}

xmlDoc* ReadStreaming(const char* data, int size, const char* encoding, int options, const StreamedElements& streamed) {
  xmlParserCtxt* const parser = xmlNewParserCtxt();
  if (!parser || !parser->sax) {
    xmlFreeParserCtxt(parser);
    return nullptr;
  }
  StreamState state{&streamed, parser};
  StreamInto(parser, state);
  xmlDoc* doc = xmlCtxtReadMemory(parser, data, size, nullptr, encoding, options);
  xmlFreeParserCtxt(parser);
  if (doc && state.failed) {
    xmlFreeDoc(doc);
    doc = nullptr;
  }
  return doc;
}

xmlDoc* Read(const std::string& text, const char* encoding, int options, const StreamedElements* streamed) {
  const int size = static_cast<int>(text.size());
  return streamed ? ReadStreaming(text.data(), size, encoding, options, *streamed)
                  : xmlReadMemory(text.data(), size, nullptr, encoding, options);
}

// A long document in two parts at once: the first, up to the close of a
// streamed element near the middle, by the parser's push mode on this
// thread; the rest on a thread of its own as a document that opens with
// the elements left open at the cut. The parts are used only when nothing
// could make them read otherwise than the whole: the first ends between
// elements, in UTF-8 and XML 1.0, with no DTD (entities, defaults); the
// open elements carry no attributes or namespaces and hold no text; the
// second part starts with a node that does not close one (the rule that
// drops the layout's blanks looks at these last two).

// Just after a closing tag of the streamed name, the nearest to the middle
// going forward, else going back; 0 when there is none.
size_t CutPlace(const std::string& text, std::string_view name) {
  const std::string tag = "</" + std::string(name) + ">";
  size_t at = text.find(tag, text.size() / 2);
  if (at == std::string::npos) at = text.rfind(tag, text.size() / 2);
  return at == std::string::npos ? 0 : at + tag.size();
}

struct FirstPart {
  xmlDoc* doc = nullptr;
  std::vector<xmlNode*> open;  // the elements open at the cut, outermost first
  size_t streamed = 0;         // its streamed elements
};

bool OpenElementsAllow(const std::vector<xmlNode*>& open) {
  for (const xmlNode* n : open)
    if (n->type != XML_ELEMENT_NODE || n->ns || n->nsDef || n->properties || n->_private ||
        (n->children && n->children->type == XML_TEXT_NODE))
      return false;
  return !open.empty();
}

bool ReadFirstPart(const std::string& text, size_t cut, int options, const StreamedElements& streamed, FirstPart& out) {
  xmlParserCtxt* const parser = xmlCreatePushParserCtxt(nullptr, nullptr, text.data(), 4, nullptr);
  if (!parser) return false;
  xmlCtxtUseOptions(parser, options);
  StreamState state{&streamed, parser};
  StreamInto(parser, state);
  const int status = xmlParseChunk(parser, text.data() + 4, static_cast<int>(cut - 4), 0);
  bool usable = status == 0 && parser->wellFormed && !state.failed && parser->instate == XML_PARSER_CONTENT &&
                parser->input && parser->input->cur == parser->input->end && parser->input->buf &&
                !parser->input->buf->encoder && parser->myDoc && !parser->myDoc->intSubset &&
                !parser->myDoc->extSubset && xmlStrEqual(parser->myDoc->version, BAD_CAST "1.0");
  if (usable) out.open.assign(parser->nodeTab, parser->nodeTab + parser->nodeNr);
  // Text met in an open element keeps the blanks that follow in it: the
  // parser marks that element's level (-2), which the second part's fresh
  // levels (-1) would not know.
  usable = usable && OpenElementsAllow(out.open) && parser->nsNr == 0 && parser->spaceNr == parser->nodeNr + 1 &&
           std::all_of(parser->spaceTab, parser->spaceTab + parser->spaceNr, [](int s) { return s == -1; });
  out.doc = usable ? parser->myDoc : nullptr;
  out.streamed = state.opened;
  if (!usable) xmlFreeDoc(parser->myDoc);
  parser->myDoc = nullptr;
  xmlFreeParserCtxt(parser);
  return usable;
}

// Links n into parent's children before anchor (at the end for none),
// without the merging of text that xmlAddPrevSibling does.
void LinkBefore(xmlNode* parent, xmlNode* anchor, xmlNode* n) {
  n->parent = parent;
  n->next = anchor;
  n->prev = anchor ? anchor->prev : parent->last;
  (n->prev ? n->prev->next : parent->children) = n;
  (anchor ? anchor->prev : parent->last) = n;
}

// The first part's nodes copied into the second part's document, before
// what the second holds at each level: the whole document in order.
bool JoinParts(const FirstPart& first, xmlDoc* doc) {
  xmlNode* into = reinterpret_cast<xmlNode*>(doc);
  xmlNode* from = reinterpret_cast<xmlNode*>(first.doc);
  for (size_t level = 0; level <= first.open.size(); ++level) {
    xmlNode* const openHere = level < first.open.size() ? first.open[level] : nullptr;
    xmlNode* const anchor = into->children;
    for (xmlNode* n = from->children; n && n != openHere; n = n->next) {
      xmlNode* const copy = xmlDocCopyNode(n, doc, 1);
      if (!copy) return false;
      LinkBefore(into, anchor, copy);
    }
    if (!openHere) break;
    // The second part opens with the same elements, one in the other.
    if (!anchor || anchor->type != XML_ELEMENT_NODE || !xmlStrEqual(anchor->name, openHere->name) || openHere->next)
      return false;
    into = anchor;
    from = openHere;
  }
  // What the first part's declaration said.
  const auto take = [](const xmlChar*& field, const xmlChar* said) {
    xmlFree(const_cast<xmlChar*>(field));
    field = said ? xmlStrdup(said) : nullptr;
  };
  take(doc->version, first.doc->version);
  take(doc->encoding, first.doc->encoding);
  doc->standalone = first.doc->standalone;
  return true;
}

// The name of the document's first element, past the prolog; empty when
// it cannot be told at a glance (the parts then check what it was).
std::string RootName(const std::string& text) {
  size_t at = 0;
  while ((at = text.find('<', at)) != std::string::npos) {
    if (text.compare(at, 4, "<!--") == 0) {
      at = text.find("-->", at);
    } else if (at + 1 < text.size() && (text[at + 1] == '?' || text[at + 1] == '!')) {
      at = text.find('>', at);
    } else {
      size_t end = at + 1;
      while (end < text.size() && !std::strchr(" \t\r\n/>", text[end])) ++end;
      return text.substr(at + 1, end - at - 1);
    }
    if (at == std::string::npos) break;
  }
  return {};
}

xmlDoc* ReadInTwoParts(const std::string& text, const char* encoding, int options, const StreamedElements& streamed) {
  const size_t cut = CutPlace(text, streamed.path.back());
  // The elements expected open at the cut: the first, then the streamed
  // element's parents.
  std::vector<std::string> open{RootName(text)};
  for (size_t i = 0; i + 1 < streamed.path.size(); ++i) open.emplace_back(streamed.path[i]);
  // The second part starts with the innermost open element empty: text
  // there would be its first child, and blanks before a closing tag are
  // kept in an element without children. It must start with a node.
  const size_t after = text.find_first_not_of(" \t\r\n", cut);
  if (cut < 4 || open.front().empty() || after == std::string::npos || text[after] != '<' ||
      text.compare(after, 2, "</") == 0)
    return nullptr;
  xmlDoc* secondDoc = nullptr;
  const StreamedElements secondStreamed{streamed.path, streamed.second};
  xmlInitParser();  // once, before two threads use the parser
  AwayThread reader([&] {
    xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
    xmlSetStructuredErrorFunc(nullptr, IgnoreStructuredError);
    try {
      std::string rest;
      for (const std::string& name : open) rest += "<" + name + ">";
      rest.append(text, cut, std::string::npos);
      secondDoc = ReadStreaming(rest.data(), static_cast<int>(rest.size()), nullptr, options, secondStreamed);
    } catch (...) {
      secondDoc = nullptr;  // read whole instead
    }
  });
  FirstPart first;
  const bool firstRead = ReadFirstPart(text, cut, options, streamed, first);
  reader.Join();
  XmlDocPtr second(secondDoc), firstDoc(first.doc);
  bool joined = firstRead && second && first.open.size() == open.size();
  for (size_t i = 0; joined && i < open.size(); ++i)
    joined = xmlStrEqual(first.open[i]->name, reinterpret_cast<const xmlChar*>(open[i].c_str()));
  if (!joined || !JoinParts(first, second.get())) return nullptr;
  // The encoding a whole read is told is the document's.
  if (encoding) {
    xmlFree(const_cast<xmlChar*>(second->encoding));
    second->encoding = xmlStrdup(BAD_CAST encoding);
  }
  if (streamed.joined) streamed.joined(first.streamed);
  return second.release();
}

}  // namespace

XmlDocPtr ParseXmlBytes(const std::string& bytes, const StreamedElements* streamed) {
  // A broken file is reported to the user by the caller; libxml2's own
  // console output (encoding errors and the like) would only be noise.
  xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
  xmlSetStructuredErrorFunc(nullptr, IgnoreStructuredError);
  // No network, no entity expansion, no error output on the console; no
  // nodes for the layout's blanks between elements, which no reader looks
  // at (an element holding only blanks keeps them).
  const int options =
      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT | XML_PARSE_NOBLANKS;
  const bool cp1250 = !isValidUtf8(bytes) && !HasEncodingDeclaration(bytes);
  const std::string converted = cp1250 ? cp1250ToUtf8(bytes) : std::string();
  const std::string& text = cp1250 ? converted : bytes;
  if (streamed && streamed->second && !streamed->path.empty() && text.size() >= streamed->twoPartsFrom)
    if (xmlDoc* doc = ReadInTwoParts(text, cp1250 ? "UTF-8" : nullptr, options, *streamed)) return XmlDocPtr(doc);
  return XmlDocPtr(Read(text, cp1250 ? "UTF-8" : nullptr, options, streamed));
}

XmlReadStatus ParseXmlFile(const std::string& path, XmlDocPtr& doc) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return XmlReadStatus::kCannotOpen;
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) return XmlReadStatus::kMalformed;
  doc = ParseXmlBytes(bytes);
  return doc ? XmlReadStatus::kOk : XmlReadStatus::kMalformed;
}

namespace {

// The names of an expression "//a/b/c" (names of letters, digits and '_'
// only); false for any other expression.
bool DescendantPathNames(const char* expr, std::vector<std::string_view>& names) {
  if (std::strncmp(expr, "//", 2) != 0) return false;
  const char* p = expr + 2;
  for (;;) {
    const char* start = p;
    while (std::isalnum(static_cast<unsigned char>(*p)) || *p == '_') ++p;
    if (p == start || std::isdigit(static_cast<unsigned char>(*start))) return false;
    names.emplace_back(start, static_cast<size_t>(p - start));
    if (*p == '\0') return true;
    if (*p != '/') return false;
    ++p;
  }
}

// An element of that name in no namespace, as an unprefixed XPath name test
// matches it.
bool IsElementNamed(const xmlNode* n, std::string_view name) {
  if (!n || n->type != XML_ELEMENT_NODE || n->ns) return false;
  const char* own = reinterpret_cast<const char*>(n->name);
  return std::strncmp(own, name.data(), name.size()) == 0 && own[name.size()] == '\0';
}

// Whether the element ends the path: it carries the last name, its parent
// the one before, and so on ("//" lets the first stand anywhere).
bool EndsPath(const xmlNode* n, const std::vector<std::string_view>& names) {
  for (size_t i = names.size(); i-- > 0; n = n->parent)
    if (!IsElementNamed(n, names[i])) return false;
  return true;
}

// "//a/b/c" without the XPath engine, which builds a node set of the whole
// document for each "//": every element that ends the path, in document
// order (a walk in that order), at most `limit` of them.
std::vector<xmlNode*> DescendantPathElements(xmlDoc* doc, const std::vector<std::string_view>& names,
                                             size_t limit) {
  std::vector<xmlNode*> out;
  xmlNode* n = doc ? doc->children : nullptr;
  while (n && out.size() < limit) {
    if (n->type == XML_ELEMENT_NODE && EndsPath(n, names)) out.push_back(n);
    if (n->type == XML_ELEMENT_NODE && n->children) {
      n = n->children;
      continue;
    }
    while (n && !n->next) {
      n = n->parent;
      if (n == reinterpret_cast<xmlNode*>(doc)) n = nullptr;
    }
    if (n) n = n->next;
  }
  return out;
}

// A context's elements of no namespace by name, each list in document order,
// made on its second "//a/b" query: a reader asks some thirty of them, and a
// file of a hundred thousand atoms is then walked twice instead of thirty
// times. Kept in the context's user data, freed with the context.
struct ElementIndex {
  xmlDoc* doc = nullptr;
  int queries = 0;
  std::unordered_map<std::string_view, std::vector<xmlNode*>> byName;
};

ElementIndex* IndexOf(xmlXPathContext* ctx) {
  auto* index = static_cast<ElementIndex*>(ctx->userData);
  if (!index) ctx->userData = index = new ElementIndex;
  if (index->doc != ctx->doc) {
    index->doc = ctx->doc;
    index->queries = 0;
    index->byName.clear();
  }
  if (++index->queries != 2) return index;
  xmlNode* n = ctx->doc ? ctx->doc->children : nullptr;
  while (n) {
    if (n->type == XML_ELEMENT_NODE && !n->ns)
      index->byName[std::string_view(reinterpret_cast<const char*>(n->name))].push_back(n);
    if (n->type == XML_ELEMENT_NODE && n->children) {
      n = n->children;
      continue;
    }
    while (n && !n->next) {
      n = n->parent;
      if (n == reinterpret_cast<xmlNode*>(ctx->doc)) n = nullptr;
    }
    if (n) n = n->next;
  }
  return index;
}

std::vector<xmlNode*> XPathElementsUpTo(xmlXPathContext* ctx, const char* expr, size_t limit) {
  std::vector<std::string_view> names;
  if (ctx && DescendantPathNames(expr, names)) {
    const ElementIndex* index = IndexOf(ctx);
    if (index->queries < 2) return DescendantPathElements(ctx->doc, names, limit);
    std::vector<xmlNode*> out;
    const auto found = index->byName.find(names.back());
    if (found == index->byName.end()) return out;
    for (xmlNode* n : found->second) {
      if (out.size() >= limit) break;
      if (EndsPath(n, names)) out.push_back(n);
    }
    return out;
  }
  std::vector<xmlNode*> out;
  XPathObjectPtr obj(xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expr), ctx));
  if (!obj || obj->type != XPATH_NODESET || !obj->nodesetval) return out;
  for (int i = 0; i < obj->nodesetval->nodeNr && out.size() < limit; ++i) {
    xmlNode* n = obj->nodesetval->nodeTab[i];
    if (n && n->type == XML_ELEMENT_NODE) out.push_back(n);
  }
  return out;
}

}  // namespace

void XPathContextDeleter::operator()(xmlXPathContext* c) const {
  if (c) delete static_cast<ElementIndex*>(c->userData);
  xmlXPathFreeContext(c);
}

std::vector<xmlNode*> XPathElements(xmlXPathContext* ctx, const char* expr) {
  return XPathElementsUpTo(ctx, expr, SIZE_MAX);
}

std::optional<std::string> XPathText(xmlXPathContext* ctx, const char* expr) {
  const auto nodes = XPathElementsUpTo(ctx, expr, 1);
  if (nodes.empty()) return std::nullopt;
  return NodeText(nodes.front());
}

std::optional<std::string> NodeText(const xmlNode* node) {
  if (!node || !node->children || node->children->type != XML_TEXT_NODE || !node->children->content)
    return std::nullopt;
  return std::string(reinterpret_cast<const char*>(node->children->content));
}

xmlNode* ChildElement(const xmlNode* node, const char* name) {
  for (xmlNode* c = node ? node->children : nullptr; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(c->name), name) == 0) return c;
  return nullptr;
}

std::optional<std::string> AttributeText(const xmlNode* node, const char* name) {
  if (!node) return std::nullopt;
  xmlChar* v = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (!v) return std::nullopt;
  std::string s(reinterpret_cast<const char*>(v));
  xmlFree(v);
  return s;
}

std::string xmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += ch;
    }
  }
  return out;
}

}  // namespace pelmora
