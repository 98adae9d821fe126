#pragma once
// The XML access layer through which every reader of a form definition works: a document, its
// elements (XmlNode) and ordered element lists (XmlNodes), over pugixml with XPath 1.0.
//
// Nodes and lists are shared handles: each keeps the parsed document alive, copying one is a
// reference-count increment, and a handle may be empty. Every operation on an empty handle
// gives the "absent" result named at the operation, and nothing here throws: parser and XPath
// failures become the absent result too. Handles are references into the document, so their
// operations are const even where they change the document (SetValue, GetChild with create).
//
// Names and paths may be given as QString (converted per call) or as UTF-8 `const char*`
// literals, which need no conversion; the form engine mostly uses fixed names.
#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

#include <pugixml.hpp>

namespace FormXml {

class XmlNodes;

// One element of a parsed document.
class XmlNode {
public:
    XmlNode() = default;

    bool IsEmpty() const { return !m_node; }

    // The tag. Absent: empty text.
    QString GetName() const;

    // The attribute's value; `def` when the attribute is missing or its value is empty (and for
    // an empty handle, as for the two readers below).
    QString GetAttribute(const char* name, const QString& def = {}) const;
    QString GetAttribute(QStringView name, const QString& def = {}) const;
    // As GetAttribute, read with the integer grammar; `def` when missing or empty.
    int GetAttributeInt(const char* name, int def) const;
    int GetAttributeInt(QStringView name, int def) const;
    // Exactly "1" is true and exactly "0" false; anything else, missing included, is `def`.
    bool GetAttributeBool(const char* name, bool def) const;
    bool GetAttributeBool(QStringView name, bool def) const;

    // The text content: every descendant text and CDATA section in document order.
    QString GetValue() const;
    // Replaces the element's content (children included) by one text node; nothing for an
    // empty handle.
    void SetValue(const QString& text) const;
    // The text content as an integer. An empty element first receives `def` as its decimal
    // text. Absent: `def`.
    int GetValueInt(int def) const;

    // The first element child whose local name (the part after a "prefix:") equals `name`,
    // compared directly so that any character, an apostrophe included, is matched as written.
    // When there is none and `create` is true, a new empty element of that name is appended as
    // the last child and returned. Absent (or an empty name): an empty handle.
    XmlNode GetChild(const char* name, bool create = false) const;
    XmlNode GetChild(QStringView name, bool create = false) const;
    // The element children in document order. Absent: an empty list handle.
    XmlNodes GetChildren() const;

    // The first element selected by the XPath 1.0 expression evaluated with this element as
    // the context node. Empty when nothing (or no element) is selected or the expression is
    // invalid.
    XmlNode SelectSingleNode(const char* path) const;
    XmlNode SelectSingleNode(QStringView path) const;

    // The parent element; empty for the document element and for an empty handle.
    XmlNode GetParent() const;

    // The element serialised with its own tags and without added white space, ready for
    // XmlDocument::LoadXml. Absent: empty text.
    QString GetXml() const;

    // True when both handles name the same element (two empty handles are equal).
    bool operator==(const XmlNode& other) const { return m_node == other.m_node; }

private:
    friend class XmlDocument;
    friend class XmlNodes;

    XmlNode(std::shared_ptr<pugi::xml_document> doc, pugi::xml_node node);
    XmlNode Wrap(pugi::xml_node node) const;
    XmlNode FindChild(const char* name, bool create) const;

    std::shared_ptr<pugi::xml_document> m_doc;
    pugi::xml_node m_node;
};

// An ordered list of elements.
class XmlNodes {
public:
    XmlNodes() = default;

    bool IsEmpty() const { return !m_data; }
    // The number of elements; -1 for an empty handle, 0 for an empty list.
    int GetCount() const;
    // The element at `index`; an empty handle when out of range.
    XmlNode GetItem(int index) const;

private:
    friend class XmlNode;

    struct Data {
        std::shared_ptr<pugi::xml_document> doc;
        std::vector<pugi::xml_node> nodes;
    };
    explicit XmlNodes(std::shared_ptr<const Data> data) : m_data(std::move(data)) {}

    std::shared_ptr<const Data> m_data;
};

// Why XmlDocument::LoadXml refused a text: the parser's description (English, technical) and
// where in the text, in UTF-16 units, the fault was found; -1 when no one place is at fault (no
// document element at all).
struct XmlLoadError {
    QString description;
    qsizetype offset = -1;
};

// A parsed document. Handles taken from it stay valid after it is reloaded or destroyed: they
// keep the document they came from.
class XmlDocument {
public:
    XmlDocument() = default;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;
    XmlDocument(XmlDocument&&) noexcept = default;
    XmlDocument& operator=(XmlDocument&&) noexcept = default;

    // Discards the current document and parses `text` into a new one. True when the text is
    // well-formed with exactly one document element; otherwise the document stays empty.
    // White-space-only text is dropped, as are comments, processing instructions and the
    // document type (nothing is validated); an encoding declaration is ignored, the text being
    // UTF-16 already. Lenient where the parser is: undeclared entity references are kept as
    // written and repeated attributes are accepted.
    bool LoadXml(const QString& text);
    // The same, saying why a text is refused when `error` is given.
    bool LoadXml(const QString& text, XmlLoadError* error);
    // Discards the current document and makes a copy of `element` and its subtree the document
    // element of a new one: the same result as LoadXml(element.GetXml()) without the text
    // round trip. False (and the document empty) for an empty handle.
    bool LoadElement(const XmlNode& element);

    bool IsEmpty() const { return !m_doc; }
    // The document element. Absent: an empty handle.
    XmlNode GetRoot() const;
    // As XmlNode::SelectSingleNode on the document element, so that both absolute paths
    // ("//html/head") and paths relative to the root ("head/ACTION") work.
    XmlNode SelectSingleNode(const char* path) const;
    XmlNode SelectSingleNode(QStringView path) const;

private:
    std::shared_ptr<pugi::xml_document> m_doc;
};

} // namespace FormXml
