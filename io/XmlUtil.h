// Small helpers over libxml2 for the readers of structure and reference
// files: owned documents and XPath contexts, and the text rules they share.
#pragma once

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora {

struct XmlDocDeleter {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
// Frees the context with the index of elements XPathElements keeps in it.
struct XPathContextDeleter {
  void operator()(xmlXPathContext* c) const;
};
struct XPathObjectDeleter {
  void operator()(xmlXPathObject* o) const { xmlXPathFreeObject(o); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocDeleter>;
using XPathContextPtr = std::unique_ptr<xmlXPathContext, XPathContextDeleter>;
using XPathObjectPtr = std::unique_ptr<xmlXPathObject, XPathObjectDeleter>;

enum class XmlReadStatus { kOk, kCannotOpen, kMalformed };

// Parses a file. Files of the older Windows program are Windows-1250 without
// an encoding declaration: bytes that are not UTF-8 are read as that.
XmlReadStatus ParseXmlFile(const std::string& path, XmlDocPtr& doc);

// Elements that end a path ("//a/b" is {"a", "b"}) handed to `take` as they
// close, with their place among them in document order, and then emptied:
// a file of a hundred thousand such elements is read without holding all
// their nodes. An exception from `take` ends the parse (no document).
//
// With `second` set, a document of twoPartsFrom bytes or more may be read
// in two parts at once, the second on a thread of its own: `take` then gets
// the first part's elements and `second`, at the same time, the second
// part's, with their places within that part. Such a read ends, when it
// succeeds, with `joined` and the first part's count of elements; without
// that call the document was read whole by `take`, and what `second` took
// is to be dropped.
struct StreamedElements {
  std::vector<std::string_view> path;
  std::function<void(const xmlNode* element, size_t place)> take;
  std::function<void(const xmlNode* element, size_t place)> second = nullptr;
  std::function<void(size_t firstCount)> joined = nullptr;
  size_t twoPartsFrom = size_t{128} << 10;
};
XmlDocPtr ParseXmlBytes(const std::string& bytes, const StreamedElements* streamed = nullptr);

// Element nodes of an XPath result, in document order (empty when the
// expression yields no node set).
std::vector<xmlNode*> XPathElements(xmlXPathContext* ctx, const char* expr);

// The text of the first child of the first element node that an expression
// selects, when that child is a text node; nothing otherwise.
std::optional<std::string> XPathText(xmlXPathContext* ctx, const char* expr);

// Text of an element's first child when it is text; nothing otherwise.
std::optional<std::string> NodeText(const xmlNode* node);
// First child element with the given name, or null.
xmlNode* ChildElement(const xmlNode* node, const char* name);
std::optional<std::string> AttributeText(const xmlNode* node, const char* name);

// XML-escapes &, <, > and double quotes so that a name written into an
// attribute or element reads back unchanged.
std::string xmlEscape(std::string_view text);

}  // namespace pelmora
