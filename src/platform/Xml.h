// A thin layer over libxml2's document tree, so that code walking a document
// reads like the document: doc.Root().Child("description").Child("title-info").
// TXmlDocument owns the libxml2 document; nodes and attributes are small views
// that live as long as it does. All strings are UTF-8, as libxml2 keeps them.
#pragma once

#include <libxml/tree.h>

#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace paginor {

// A string libxml2 keeps (UTF-8) as a view; empty for none.
inline std::string_view XmlView(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// True when the node is an element whose name, as written in the document
// (prefix included: "l:href", "fb:section"), equals `name`.
bool XmlNameIs(const xmlNode* node, std::string_view name);

// The namespace URIs that one vocabulary goes by (OOXML's transitional and
// strict URIs, say); a reader keeps them as a constant array.
using TXmlNamespaces = std::span<const std::string_view>;

// Whether a namespace is one of these; a name without one never is.
bool XmlInNamespace(const xmlNs* ns, TXmlNamespaces uris);

// Forward range over a sibling chain of libxml2 nodes or attributes, viewed as
// `View`.
template <class Raw, class View> class TXmlRange {
public:
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = View;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = View;

        Iterator() = default;
        explicit Iterator(Raw* item) : Item(item) {}
        View operator*() const { return View(Item); }
        Iterator& operator++() {
            Item = Item->next;
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            Item = Item->next;
            return old;
        }
        bool operator==(const Iterator&) const = default;

    private:
        Raw* Item = nullptr;
    };

    explicit TXmlRange(Raw* first) : First(first) {}
    Iterator begin() const { return Iterator(First); }
    Iterator end() const { return Iterator(); }

private:
    Raw* First;
};

// One attribute of an element. Namespace declarations (xmlns, xmlns:l) are
// not attributes here.
class TXmlAttribute {
public:
    explicit TXmlAttribute(xmlAttr* attribute) : Attr(attribute) {}
    // The name as written, prefix included ("l:href").
    std::string Name() const;
    std::string Value() const;

private:
    xmlAttr* Attr;
};

class TXmlNode {
public:
    TXmlNode() = default;
    explicit TXmlNode(xmlNode* node) : Node(node) {}
    // A view never changes the tree; readers that walk const nodes use it too.
    explicit TXmlNode(const xmlNode* node) : Node(const_cast<xmlNode*>(node)) {}

    explicit operator bool() const { return Node != nullptr; }
    xmlNode* Raw() const { return Node; }
    // The line of the document the node starts on; 0 when unknown.
    long Line() const;

    bool IsElement() const { return Node && Node->type == XML_ELEMENT_NODE; }
    // An element with this name as written (see XmlNameIs).
    bool Is(std::string_view name) const { return XmlNameIs(Node, name); }
    // The name as written; "#text", "#cdata-section", "#comment" for others.
    std::string Name() const;

    bool HasChildren() const { return Node && Node->children; }
    TXmlRange<xmlNode, TXmlNode> Children() const {
        return TXmlRange<xmlNode, TXmlNode>(Node ? Node->children : nullptr);
    }
    // The first child element of that name, or an empty node.
    TXmlNode Child(std::string_view name) const;

    // The text of an element: the value of its single text or CDATA child,
    // or "" when it has no children. Anything else raises
    // "Element does not contain a single text node".
    std::string Text() const;
    // The character data of a text, CDATA or comment node; "" for an element.
    std::string Value() const;

    TXmlRange<xmlAttr, TXmlAttribute> Attributes() const {
        return TXmlRange<xmlAttr, TXmlAttribute>(IsElement() ? Node->properties : nullptr);
    }
    bool HasAttributes() const { return IsElement() && Node->properties; }
    // The value of the attribute with exactly this name as written.
    std::optional<std::string> Attribute(std::string_view name) const;

    // Lookups by namespace and local name, for formats whose files write
    // prefixes as they please ("dc:title", "opf:package", "w:p").
    // The local name of an element or attribute, without its prefix.
    std::string_view LocalName() const;
    // An element with this local name, in whatever namespace.
    bool LocalIs(std::string_view local) const;
    // An element in one of these namespaces (with this local name).
    bool InNamespace(TXmlNamespaces uris) const;
    bool InNamespace(std::string_view uri) const { return InNamespace(TXmlNamespaces(&uri, 1)); }
    bool IsIn(TXmlNamespaces uris, std::string_view local) const;
    // The first child element with this local name (in one of these
    // namespaces), or an empty node.
    TXmlNode LocalChild(std::string_view local) const;
    TXmlNode ChildIn(TXmlNamespaces uris, std::string_view local) const;
    // The first element of the subtree, this node included, with this local
    // name; an empty node when there is none.
    TXmlNode FindLocal(std::string_view local) const;
    // The value of the attribute with this local name: whatever its prefix;
    // in one of these namespaces; without a namespace.
    std::optional<std::string> LocalAttribute(std::string_view local) const;
    std::optional<std::string> AttributeIn(TXmlNamespaces uris, std::string_view local) const;
    std::optional<std::string> PlainAttribute(std::string_view local) const;
    // The text and CDATA children of the node joined, as they are.
    std::string ChildText() const;
    // The text of the whole subtree in document order, as it is.
    std::string AllText() const;
    // Calls `visit` for every element below this node, in document order.
    void ForEachElement(const std::function<void(TXmlNode)>& visit) const;

private:
    xmlNode* Node = nullptr;
};

struct TXmlParseOptions {
    // Remove text nodes made only of blanks, tabs and line breaks.
    bool DropBlankText = false;
    // With DropBlankText: the elements whose content mixes text and inline
    // elements. Inside one of them a blank text node that stands between two
    // elements or CDATA sections (the blank of "<b>Ivan</b> <i>Petrovich</i>")
    // is a word space, and stays as one blank.
    std::vector<std::string_view> MixedContent;
    // Remove comments and processing instructions.
    bool DropComments = false;
};

class TXmlDocument {
public:
    // Takes ownership of a libxml2 document (for parsers of other kinds).
    explicit TXmlDocument(xmlDoc* document);

    // Parses an XML document held in memory. The encoding comes from the
    // byte-order mark or the encoding declaration. Nothing outside the bytes
    // is ever read: no network, no DTD, no external entity (a reference to
    // one fails). Internal entities are substituted within libxml2's default
    // limits, so an expansion bomb fails. Raises TBookError with a one-line
    // message such as "XML error in line 3: Opening and ending tag mismatch".
    static TXmlDocument Parse(std::string_view bytes, const TXmlParseOptions& options = {});

    // The document element.
    TXmlNode Root() const;
    xmlDoc* Raw() const { return Doc.get(); }

private:
    struct Deleter {
        void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
    };
    std::unique_ptr<xmlDoc, Deleter> Doc;
};

// Reads a large document element by element without building all of it:
// only the elements asked for are built, each as a tree of its own that lives
// until the stream moves on. It reads nothing outside the bytes: no network,
// no DTD (a document type declaration fails the document), no entity from
// outside. Errors raise TBookError "XML error in line N: reason".
class TXmlStream {
public:
    // Gives the next bytes of the document into the buffer and returns how
    // many, 0 at the end; may raise TBookError, which the stream passes on.
    using TSource = std::function<size_t(char* buffer, size_t size)>;

    explicit TXmlStream(TSource source);
    ~TXmlStream();
    TXmlStream(const TXmlStream&) = delete;
    TXmlStream& operator=(const TXmlStream&) = delete;

    // Moves to the start of the next element in document order (past the
    // subtree of an expanded one); false at the end of the document.
    bool NextElement();
    // The current element: its name, namespace, attributes and parent; its
    // content is not read yet.
    TXmlNode Node() const;
    // 0 for the document element, 1 for its children, ...
    int Depth() const;
    // The current element with all its content; valid until the next call
    // of NextElement.
    TXmlNode Expand();

private:
    [[noreturn]] void Fail() const;
    static int ReadSource(void* context, char* buffer, int size);

    struct TState;
    std::unique_ptr<TState> State;
};

} // namespace paginor
