#include "platform/Xml.h"

#include "core/bObject.h"
#include "core/bVar.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlreader.h>

#include <algorithm>
#include <climits>
#include <exception>

namespace paginor {

namespace {

// Calls visit for every node below top in document order, going down into
// elements only. The walk keeps no stack of its own calls, so a hostile page
// nested tens of thousands of levels deep cannot exhaust the program's stack.
template <typename Visit> void WalkBelow(const xmlNode* top, Visit&& visit) {
    if (!top) return;
    const xmlNode* node = top->children;
    while (node) {
        visit(node);
        if (node->type == XML_ELEMENT_NODE && node->children) {
            node = node->children;
            continue;
        }
        while (node != top && !node->next)
            node = node->parent;
        node = node == top ? nullptr : node->next;
    }
}

// Compares a name as written ("prefix:local" or "local") with `wanted`
// without building the string.
bool NameAsWrittenIs(const xmlNs* ns, const xmlChar* local, std::string_view wanted) {
    const std::string_view name = XmlView(local);
    if (!ns || !ns->prefix) return name == wanted;
    const std::string_view prefix = XmlView(ns->prefix);
    return wanted.size() == prefix.size() + 1 + name.size() && wanted.starts_with(prefix) &&
           wanted[prefix.size()] == ':' && wanted.ends_with(name);
}

std::string NameAsWritten(const xmlNs* ns, const xmlChar* local) {
    std::string name(XmlView(local));
    if (ns && ns->prefix) name = std::string(XmlView(ns->prefix)) + ":" + name;
    return name;
}

std::string AttributeValue(const xmlAttr* attribute) {
    const xmlNode* first = attribute->children;
    if (!first) return {};
    if (!first->next && first->type == XML_TEXT_NODE) return std::string(XmlView(first->content));
    xmlChar* joined = xmlNodeListGetString(attribute->doc, first, 1);
    std::string value(XmlView(joined));
    xmlFree(joined);
    return value;
}

// libxml2's messages end in a line break and some span two lines ("Bytes:
// 0x93 ..."); the program's messages are one line.
std::string TrimMessage(std::string_view message) {
    return CollapseBlanks(message);
}

// What the parser reported while it ran; kept in the parser context's
// _private field so that nothing is global.
struct TParseState {
    std::string FirstError;
    int FirstErrorLine = 0;
    int FirstErrorCode = 0;
    std::string RefusedEntity;
    int RefusedLine = 0;
};

TParseState& StateOf(void* context) {
    return *static_cast<TParseState*>(static_cast<xmlParserCtxt*>(context)->_private);
}

void Record(TParseState& state, const xmlError* error) {
    if (!error || error->level < XML_ERR_ERROR || error->domain == XML_FROM_NAMESPACE) return;
    if (!state.FirstError.empty()) return;
    state.FirstError = error->message ? TrimMessage(error->message) : "";
    if (state.FirstError.empty()) state.FirstError = "not well-formed";
    state.FirstErrorLine = error->line;
    state.FirstErrorCode = error->code;
}

// Keeps the first error that makes the document unusable: every fatal one,
// and errors such as a reference to an entity that is declared nowhere the
// parser may look (its text would be lost). Namespace errors (an undeclared
// prefix) leave the names as written and are tolerated.
void RecordError(void* context, xmlErrorPtr error) {
    Record(StateOf(context), error);
}

// Errors libxml2 raises without a parser context (bytes that the declared
// encoding cannot convert) would go to standard error; they are kept too.
void RecordContextlessError(void* state, xmlErrorPtr error) {
    Record(*static_cast<TParseState*>(state), error);
}

// Routes libxml2's context-less errors to the parse state while one parse
// runs, and restores the previous handler afterwards.
class TContextlessErrors {
public:
    explicit TContextlessErrors(TParseState& state)
        : Handler(xmlStructuredError), HandlerContext(xmlStructuredErrorContext) {
        xmlSetStructuredErrorFunc(&state, RecordContextlessError);
    }
    ~TContextlessErrors() { xmlSetStructuredErrorFunc(HandlerContext, Handler); }
    TContextlessErrors(const TContextlessErrors&) = delete;
    TContextlessErrors& operator=(const TContextlessErrors&) = delete;

private:
    xmlStructuredErrorFunc Handler;
    void* HandlerContext;
};

// External entities are never read: the first reference to one stops the
// parser and fails the document.
void RefuseEntity(void* context, const xmlChar* name, const char* sigil) {
    TParseState& state = StateOf(context);
    if (state.RefusedEntity.empty()) {
        state.RefusedEntity = sigil + std::string(XmlView(name));
        state.RefusedLine = xmlSAX2GetLineNumber(context);
    }
    xmlStopParser(static_cast<xmlParserCtxt*>(context));
}

xmlEntityPtr GetEntity(void* context, const xmlChar* name) {
    xmlEntityPtr entity = xmlSAX2GetEntity(context, name);
    if (entity && (entity->etype == XML_EXTERNAL_GENERAL_PARSED_ENTITY ||
                   entity->etype == XML_EXTERNAL_GENERAL_UNPARSED_ENTITY)) {
        RefuseEntity(context, name, "&");
        return nullptr;
    }
    return entity;
}

xmlEntityPtr GetParameterEntity(void* context, const xmlChar* name) {
    xmlEntityPtr entity = xmlSAX2GetParameterEntity(context, name);
    if (entity && entity->etype == XML_EXTERNAL_PARAMETER_ENTITY) {
        RefuseEntity(context, name, "%");
        return nullptr;
    }
    return entity;
}

xmlParserInputPtr ResolveNothing(void*, const xmlChar*, const xmlChar*) {
    return nullptr;
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

bool IsDroppedComment(const xmlNode* node, const TXmlParseOptions& options) {
    return options.DropComments && (node->type == XML_COMMENT_NODE || node->type == XML_PI_NODE);
}

// Whether an element or a CDATA section stands beside the node, in the given
// direction, past the comments that are dropped.
bool ContentBeside(const xmlNode* node, bool after, const TXmlParseOptions& options) {
    do
        node = after ? node->next : node->prev;
    while (node && IsDroppedComment(node, options));
    return node && (node->type == XML_ELEMENT_NODE || node->type == XML_CDATA_SECTION_NODE);
}

// A blank text node between two elements (or CDATA sections) of mixed
// content: a word space.
bool IsWordSpace(const xmlNode* node, const TXmlParseOptions& options) {
    const xmlNode* parent = node->parent;
    if (!parent || parent->type != XML_ELEMENT_NODE) return false;
    const bool mixed = std::any_of(options.MixedContent.begin(), options.MixedContent.end(),
                                   [&](std::string_view name) { return XmlNameIs(parent, name); });
    return mixed && ContentBeside(node, false, options) && ContentBeside(node, true, options);
}

bool ShouldDrop(const xmlNode* node, const TXmlParseOptions& options) {
    if (IsDroppedComment(node, options)) return true;
    return node->type == XML_TEXT_NODE && options.DropBlankText &&
           IsBlank(XmlView(node->content)) && !IsWordSpace(node, options);
}

// The node after `node` in document order within `top`'s subtree, entering
// `node`'s children only when `descend` is set.
xmlNode* NextNode(xmlNode* node, bool descend, const xmlNode* top) {
    if (descend && node->type == XML_ELEMENT_NODE && node->children) return node->children;
    while (node && node != top) {
        if (node->next) return node->next;
        node = node->parent;
    }
    return nullptr;
}

void Prune(xmlNode* top, const TXmlParseOptions& options) {
    if (!options.DropBlankText && !options.DropComments) return;
    xmlNode* node = top;
    while (node) {
        if (node != top && ShouldDrop(node, options)) {
            xmlNode* next = NextNode(node, false, top);
            xmlUnlinkNode(node);
            xmlFreeNode(node);
            node = next;
        } else {
            if (options.DropBlankText && node->type == XML_TEXT_NODE &&
                IsBlank(XmlView(node->content)))
                xmlNodeSetContent(node, reinterpret_cast<const xmlChar*>(" "));
            node = NextNode(node, true, top);
        }
    }
}

struct TContextDeleter {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

std::string LineText(int line) {
    return "XML error in line " + std::to_string(line) + ": ";
}

} // namespace

bool XmlNameIs(const xmlNode* node, std::string_view name) {
    return node && node->type == XML_ELEMENT_NODE && NameAsWrittenIs(node->ns, node->name, name);
}

std::string TXmlAttribute::Name() const {
    return NameAsWritten(Attr->ns, Attr->name);
}

std::string TXmlAttribute::Value() const {
    return AttributeValue(Attr);
}

long TXmlNode::Line() const {
    const long line = Node ? xmlGetLineNo(Node) : 0;
    return line > 0 ? line : 0;
}

std::string TXmlNode::Name() const {
    if (!Node) return {};
    switch (Node->type) {
    case XML_ELEMENT_NODE:
        return NameAsWritten(Node->ns, Node->name);
    case XML_TEXT_NODE:
        return "#text";
    case XML_CDATA_SECTION_NODE:
        return "#cdata-section";
    case XML_COMMENT_NODE:
        return "#comment";
    default:
        return std::string(XmlView(Node->name));
    }
}

TXmlNode TXmlNode::Child(std::string_view name) const {
    for (xmlNode* child = Node ? Node->children : nullptr; child; child = child->next)
        if (XmlNameIs(child, name)) return TXmlNode(child);
    return TXmlNode();
}

std::string TXmlNode::Text() const {
    if (!Node || !Node->children) return {};
    const xmlNode* only = Node->children;
    if (only->next || (only->type != XML_TEXT_NODE && only->type != XML_CDATA_SECTION_NODE))
        throw TBookError("Element does not contain a single text node");
    return std::string(XmlView(only->content));
}

std::string TXmlNode::Value() const {
    if (!Node) return {};
    switch (Node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        return std::string(XmlView(Node->content));
    default:
        return {};
    }
}

std::optional<std::string> TXmlNode::Attribute(std::string_view name) const {
    for (const TXmlAttribute attribute : Attributes())
        if (attribute.Name() == name) return attribute.Value();
    return std::nullopt;
}

bool XmlInNamespace(const xmlNs* ns, TXmlNamespaces uris) {
    if (!ns || !ns->href) return false;
    const std::string_view href = XmlView(ns->href);
    return std::find(uris.begin(), uris.end(), href) != uris.end();
}

std::string_view TXmlNode::LocalName() const {
    return Node ? XmlView(Node->name) : std::string_view();
}

bool TXmlNode::LocalIs(std::string_view local) const {
    return IsElement() && XmlView(Node->name) == local;
}

bool TXmlNode::InNamespace(TXmlNamespaces uris) const {
    return IsElement() && XmlInNamespace(Node->ns, uris);
}

bool TXmlNode::IsIn(TXmlNamespaces uris, std::string_view local) const {
    return LocalIs(local) && XmlInNamespace(Node->ns, uris);
}

TXmlNode TXmlNode::LocalChild(std::string_view local) const {
    for (const TXmlNode child : Children())
        if (child.LocalIs(local)) return child;
    return TXmlNode();
}

TXmlNode TXmlNode::ChildIn(TXmlNamespaces uris, std::string_view local) const {
    for (const TXmlNode child : Children())
        if (child.IsIn(uris, local)) return child;
    return TXmlNode();
}

TXmlNode TXmlNode::FindLocal(std::string_view local) const {
    if (LocalIs(local)) return *this;
    for (const TXmlNode child : Children())
        if (const TXmlNode found = child.FindLocal(local)) return found;
    return TXmlNode();
}

std::optional<std::string> TXmlNode::LocalAttribute(std::string_view local) const {
    for (xmlAttr* attribute = IsElement() ? Node->properties : nullptr; attribute;
         attribute = attribute->next)
        if (XmlView(attribute->name) == local) return AttributeValue(attribute);
    return std::nullopt;
}

std::optional<std::string> TXmlNode::AttributeIn(TXmlNamespaces uris,
                                                 std::string_view local) const {
    for (xmlAttr* attribute = IsElement() ? Node->properties : nullptr; attribute;
         attribute = attribute->next)
        if (XmlView(attribute->name) == local && XmlInNamespace(attribute->ns, uris))
            return AttributeValue(attribute);
    return std::nullopt;
}

std::optional<std::string> TXmlNode::PlainAttribute(std::string_view local) const {
    for (xmlAttr* attribute = IsElement() ? Node->properties : nullptr; attribute;
         attribute = attribute->next)
        if (XmlView(attribute->name) == local && !attribute->ns) return AttributeValue(attribute);
    return std::nullopt;
}

std::string TXmlNode::ChildText() const {
    std::string text;
    for (const TXmlNode child : Children())
        if (child.Raw()->type == XML_TEXT_NODE || child.Raw()->type == XML_CDATA_SECTION_NODE)
            text += XmlView(child.Raw()->content);
    return text;
}

std::string TXmlNode::AllText() const {
    std::string text;
    WalkBelow(Raw(), [&](const xmlNode* node) {
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE)
            text += XmlView(node->content);
    });
    return text;
}

void TXmlNode::ForEachElement(const std::function<void(TXmlNode)>& visit) const {
    WalkBelow(Raw(), [&](const xmlNode* node) {
        if (node->type == XML_ELEMENT_NODE) visit(TXmlNode(node));
    });
}

TXmlDocument::TXmlDocument(xmlDoc* document) : Doc(document) {}

TXmlNode TXmlDocument::Root() const {
    return TXmlNode(Doc ? xmlDocGetRootElement(Doc.get()) : nullptr);
}

TXmlDocument TXmlDocument::Parse(std::string_view bytes, const TXmlParseOptions& options) {
    if (bytes.empty()) throw TBookError(LineText(1) + "Document is empty");
    if (bytes.size() > static_cast<size_t>(INT_MAX))
        throw TBookError("XML error: the document is larger than 2 GB");

    std::unique_ptr<xmlParserCtxt, TContextDeleter> context(
        xmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size())));
    if (!context) throw TBookError("XML error: can't create the parser");
    // No network; entities substituted in the tree. Neither DTD loading nor
    // validation is asked for, and the handlers below refuse every external
    // entity and external subset, so the parser reads only `bytes`.
    // Line numbers beyond 65535 are kept too, so that errors name them.
    xmlCtxtUseOptions(context.get(), XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_BIG_LINES);
    TParseState state;
    context->_private = &state;
    xmlSAXHandler* sax = context->sax;
    sax->serror = RecordError;
    sax->error = nullptr;
    sax->warning = nullptr;
    sax->getEntity = GetEntity;
    sax->getParameterEntity = GetParameterEntity;
    sax->resolveEntity = ResolveNothing;
    sax->externalSubset = nullptr;

    {
        TContextlessErrors contextless(state);
        xmlParseDocument(context.get());
    }
    TXmlDocument document(context->myDoc);
    context->myDoc = nullptr;

    if (!state.RefusedEntity.empty())
        throw TBookError(LineText(state.RefusedLine) + "the external entity " +
                         state.RefusedEntity + " is not read");
    if (!context->wellFormed || !state.FirstError.empty() || !document.Doc || !document.Root()) {
        std::string message = state.FirstError;
        int line = state.FirstErrorLine;
        if (line <= 0 && context->input) line = context->input->line;
        if (message.empty()) {
            const xmlError* last = xmlCtxtGetLastError(context.get());
            message = last && last->message ? TrimMessage(last->message) : "not well-formed";
            line = last ? last->line : 0;
        }
        if (state.FirstErrorCode == XML_ERR_ENTITY_LOOP)
            message += " (entity expansion beyond the parser's limits)";
        throw TBookError(LineText(line) + message);
    }
    Prune(document.Root().Raw(), options);
    return document;
}

struct TXmlStream::TState {
    struct TReaderDeleter {
        void operator()(xmlTextReaderPtr reader) const { xmlFreeTextReader(reader); }
    };
    TSource Source;
    std::exception_ptr SourceError; // raised by the source, passed on after the parser
    bool Started = false;
    std::unique_ptr<xmlTextReader, TReaderDeleter> Reader;
    TParseState Errors;
    bool Expanded = false;
};

namespace {

void RecordReaderError(void* state, xmlErrorPtr error) {
    Record(*static_cast<TParseState*>(state), error);
}

} // namespace

// libxml2 pulls the bytes through this; an exception must not cross its C
// frames, so it is kept and raised again once the parser has returned.
int TXmlStream::ReadSource(void* context, char* buffer, int size) {
    TState& state = *static_cast<TState*>(context);
    try {
        const size_t got = state.Source(buffer, static_cast<size_t>(size));
        if (got == 0 && !state.Started) throw TBookError(LineText(1) + "Document is empty");
        state.Started = true;
        return static_cast<int>(got);
    } catch (...) {
        state.SourceError = std::current_exception();
        return -1;
    }
}

TXmlStream::TXmlStream(TSource source) : State(std::make_unique<TState>()) {
    State->Source = std::move(source);
    // No entity substitution and no DTD loading: nothing but the source is
    // read, and a document type declaration is refused as it comes.
    State->Reader.reset(
        xmlReaderForIO(ReadSource, nullptr, State.get(), nullptr, nullptr, XML_PARSE_NONET));
    if (!State->Reader) {
        if (State->SourceError) std::rethrow_exception(State->SourceError);
        throw TBookError("XML error: can't create the parser");
    }
    xmlTextReaderSetStructuredErrorHandler(State->Reader.get(), RecordReaderError, &State->Errors);
}

TXmlStream::~TXmlStream() = default;

void TXmlStream::Fail() const {
    if (State->SourceError) std::rethrow_exception(State->SourceError);
    std::string message = State->Errors.FirstError;
    int line = State->Errors.FirstErrorLine;
    if (message.empty()) {
        message = "not well-formed";
        line = xmlTextReaderGetParserLineNumber(State->Reader.get());
    }
    throw TBookError(LineText(line) + message);
}

bool TXmlStream::NextElement() {
    xmlTextReaderPtr reader = State->Reader.get();
    int result = State->Expanded ? xmlTextReaderNext(reader) : xmlTextReaderRead(reader);
    State->Expanded = false;
    for (; result == 1; result = xmlTextReaderRead(reader)) {
        if (!State->Errors.FirstError.empty()) Fail();
        const int type = xmlTextReaderNodeType(reader);
        if (type == XML_READER_TYPE_DOCUMENT_TYPE) {
            State->Errors.FirstError = "a document type declaration is not read";
            State->Errors.FirstErrorLine = xmlTextReaderGetParserLineNumber(reader);
            Fail();
        }
        if (type == XML_READER_TYPE_ELEMENT) return true;
    }
    if (result < 0 || !State->Errors.FirstError.empty()) Fail();
    return false;
}

TXmlNode TXmlStream::Node() const {
    return TXmlNode(xmlTextReaderCurrentNode(State->Reader.get()));
}

int TXmlStream::Depth() const {
    return xmlTextReaderDepth(State->Reader.get());
}

TXmlNode TXmlStream::Expand() {
    xmlNode* node = xmlTextReaderExpand(State->Reader.get());
    if (!node || !State->Errors.FirstError.empty()) Fail();
    State->Expanded = true;
    return TXmlNode(node);
}

} // namespace paginor
