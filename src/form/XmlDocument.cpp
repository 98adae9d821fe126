#include "form/XmlDocument.h"

#include "platform/ValueGrammars.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace FormXml {

namespace {

// A name or path as the NUL-terminated UTF-8 that pugixml takes. Names and paths are short
// and nearly always ASCII, so they are copied into a stack buffer without Qt's codec.
class Utf8Text {
public:
    explicit Utf8Text(QStringView text) {
        m_bytes.reserve(text.size() + 1);
        for (const QChar c : text) {
            if (c.unicode() >= 0x80) {
                const QByteArray utf8 = text.toUtf8();
                m_bytes.clear();
                m_bytes.append(utf8.constData(), utf8.size());
                break;
            }
            m_bytes.append(static_cast<char>(c.unicode()));
        }
        m_bytes.append('\0');
    }

    const char* Get() const { return m_bytes.constData(); }

private:
    QVarLengthArray<char, 128> m_bytes;
};

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsText(pugi::xml_node node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// The element's text content. The common case, one text child, is returned in place;
// otherwise the descendant texts are joined into `storage`.
std::string_view TextContent(pugi::xml_node element, std::string& storage) {
    const pugi::xml_node first = element.first_child();
    if (!first)
        return {};
    if (!first.next_sibling() && IsText(first))
        return first.value();
    // Pre-order walk without recursion, so that deep nesting cannot exhaust the stack.
    storage.clear();
    pugi::xml_node node = first;
    while (node) {
        if (IsText(node))
            storage += node.value();
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != element && !node.next_sibling())
            node = node.parent();
        if (node == element)
            break;
        node = node.next_sibling();
    }
    return storage;
}

// What XPath's local-name() gives for an element: the tag after its first colon.
const char* LocalName(const char* tag) {
    const char* colon = std::strchr(tag, ':');
    return colon ? colon + 1 : tag;
}

// Empty unless the expression is valid and selects an element. pugixml reports invalid
// expressions (and non-node-set results) with xpath_exception; it is caught here so that a
// malformed path from a form definition only misses.
pugi::xml_node SelectElement(pugi::xml_node context, const char* path) {
    if (!context || !path)
        return {};
    try {
        const pugi::xml_node node = context.select_node(path).node();
        return node.type() == pugi::node_element ? node : pugi::xml_node();
    } catch (...) {
        return {};
    }
}

// Collects pugixml's output, written as native UTF-16, directly into a QString.
class QStringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override {
        const auto chars = static_cast<qsizetype>(size / sizeof(char16_t));
        const qsizetype used = text.size();
        text.resize(used + chars);
        std::memcpy(text.data() + used, data, static_cast<size_t>(chars) * sizeof(char16_t));
    }

    QString text;
};

} // namespace

// ---- XmlNode ---------------------------------------------------------------------------------

XmlNode::XmlNode(std::shared_ptr<pugi::xml_document> doc, pugi::xml_node node)
    : m_doc(std::move(doc)), m_node(node) {}

XmlNode XmlNode::Wrap(pugi::xml_node node) const {
    return node ? XmlNode(m_doc, node) : XmlNode();
}

QString XmlNode::GetName() const {
    return m_node ? QString::fromUtf8(m_node.name()) : QString();
}

QString XmlNode::GetAttribute(const char* name, const QString& def) const {
    if (!m_node || !name)
        return def;
    const char* value = m_node.attribute(name).value();
    return *value ? QString::fromUtf8(value) : def;
}

QString XmlNode::GetAttribute(QStringView name, const QString& def) const {
    return m_node ? GetAttribute(Utf8Text(name).Get(), def) : def;
}

int XmlNode::GetAttributeInt(const char* name, int def) const {
    if (!m_node || !name)
        return def;
    const char* value = m_node.attribute(name).value();
    return *value ? ParseIntegerText(std::string_view(value)) : def;
}

int XmlNode::GetAttributeInt(QStringView name, int def) const {
    return m_node ? GetAttributeInt(Utf8Text(name).Get(), def) : def;
}

bool XmlNode::GetAttributeBool(const char* name, bool def) const {
    if (!m_node || !name)
        return def;
    const std::string_view value = m_node.attribute(name).value();
    if (value == "1")
        return true;
    if (value == "0")
        return false;
    return def;
}

bool XmlNode::GetAttributeBool(QStringView name, bool def) const {
    return m_node ? GetAttributeBool(Utf8Text(name).Get(), def) : def;
}

QString XmlNode::GetValue() const {
    if (!m_node)
        return {};
    std::string storage;
    return FromUtf8(TextContent(m_node, storage));
}

void XmlNode::SetValue(const QString& text) const {
    if (!m_node)
        return;
    // The handle is a reference into the document: changing the element leaves it as it is.
    pugi::xml_node element = m_node;
    element.remove_children();
    if (text.isEmpty())
        return;
    const QByteArray utf8 = text.toUtf8();
    element.append_child(pugi::node_pcdata)
        .set_value(utf8.constData(), static_cast<size_t>(utf8.size()));
}

int XmlNode::GetValueInt(int def) const {
    if (!m_node)
        return def;
    std::string storage;
    const std::string_view text = TextContent(m_node, storage);
    if (!text.empty())
        return ParseIntegerText(text);
    SetValue(QString::number(def));
    return def;
}

XmlNode XmlNode::FindChild(const char* name, bool create) const {
    if (!m_node || !name || !*name)
        return {};
    for (pugi::xml_node child = m_node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && std::strcmp(LocalName(child.name()), name) == 0)
            return Wrap(child);
    }
    if (!create)
        return {};
    pugi::xml_node element = m_node;
    return Wrap(element.append_child(name));
}

XmlNode XmlNode::GetChild(const char* name, bool create) const {
    return FindChild(name, create);
}

XmlNode XmlNode::GetChild(QStringView name, bool create) const {
    return m_node ? FindChild(Utf8Text(name).Get(), create) : XmlNode();
}

XmlNodes XmlNode::GetChildren() const {
    if (!m_node)
        return {};
    auto data = std::make_shared<XmlNodes::Data>();
    data->doc = m_doc;
    for (pugi::xml_node child = m_node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element)
            data->nodes.push_back(child);
    }
    return XmlNodes(std::move(data));
}

XmlNode XmlNode::SelectSingleNode(const char* path) const {
    return Wrap(SelectElement(m_node, path));
}

XmlNode XmlNode::SelectSingleNode(QStringView path) const {
    return m_node ? SelectSingleNode(Utf8Text(path).Get()) : XmlNode();
}

XmlNode XmlNode::GetParent() const {
    const pugi::xml_node parent = m_node.parent();
    return parent.type() == pugi::node_element ? Wrap(parent) : XmlNode();
}

QString XmlNode::GetXml() const {
    if (!m_node)
        return {};
    QStringWriter writer;
    m_node.print(writer, "", pugi::format_raw, pugi::encoding_utf16);
    return writer.text;
}

// ---- XmlNodes --------------------------------------------------------------------------------

int XmlNodes::GetCount() const {
    return m_data ? static_cast<int>(m_data->nodes.size()) : -1;
}

XmlNode XmlNodes::GetItem(int index) const {
    if (!m_data || index < 0 || static_cast<size_t>(index) >= m_data->nodes.size())
        return {};
    return XmlNode(m_data->doc, m_data->nodes[static_cast<size_t>(index)]);
}

// ---- XmlDocument -----------------------------------------------------------------------------

bool XmlDocument::LoadXml(const QString& text) {
    return LoadXml(text, nullptr);
}

bool XmlDocument::LoadXml(const QString& text, XmlLoadError* error) {
    m_doc.reset();
    QStringView view(text);
    // pugixml does not look for a byte-order mark when told the encoding.
    const qsizetype skipped = view.startsWith(QChar(0xFEFF)) ? 1 : 0;
    view = view.mid(skipped);
    // Qt's UTF-8 encoder is faster than pugixml's UTF-16 input conversion, and pugixml works in
    // UTF-8 either way. parse_fragment keeps text outside the document element, so that the
    // check below can refuse it instead of the parser silently dropping it.
    const QByteArray utf8 = view.toUtf8();
    // pugixml counts bytes of that UTF-8 copy, and may stop inside a character; the caller
    // counts units of its own text, up to the start of the character at fault.
    auto refuse = [&](const char* description, std::ptrdiff_t byteOffset) {
        if (error) {
            error->description = QString::fromUtf8(description);
            error->offset = -1;
            if (byteOffset >= 0) {
                qsizetype at = std::min<qsizetype>(byteOffset, utf8.size());
                while (at > 0 && at < utf8.size() && (utf8[at] & 0xC0) == 0x80)
                    --at;
                error->offset = skipped + QString::fromUtf8(utf8.constData(), at).size();
            }
        }
        return false;
    };
    try {
        auto doc = std::make_shared<pugi::xml_document>();
        const pugi::xml_parse_result result =
            doc->load_buffer(utf8.constData(), static_cast<size_t>(utf8.size()),
                             pugi::parse_default | pugi::parse_fragment, pugi::encoding_utf8);
        if (!result)
            return refuse(result.description(), result.offset);
        pugi::xml_node element;
        for (pugi::xml_node child = doc->first_child(); child; child = child.next_sibling()) {
            if (IsText(child)) {
                // Point at the text itself, not at the line break before it.
                qsizetype at = child.offset_debug();
                auto blank = [&](char c) {
                    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
                };
                while (at >= 0 && at < utf8.size() && blank(utf8[at]))
                    ++at;
                return refuse("Text outside the document element", at);
            }
            if (child.type() == pugi::node_element) {
                // An element's offset is that of its name, one past its "<".
                if (element)
                    return refuse("More than one document element", child.offset_debug() - 1);
                element = child;
            }
        }
        if (!element)
            return refuse("No document element", -1);
        m_doc = std::move(doc);
        return true;
    } catch (...) {
        return refuse("Out of memory", -1);
    }
}

bool XmlDocument::LoadElement(const XmlNode& element) {
    m_doc.reset();
    if (element.IsEmpty())
        return false;
    try {
        auto doc = std::make_shared<pugi::xml_document>();
        if (!doc->append_copy(element.m_node))
            return false;
        m_doc = std::move(doc);
        return true;
    } catch (...) {
        return false;
    }
}

XmlNode XmlDocument::GetRoot() const {
    return m_doc ? XmlNode(m_doc, m_doc->document_element()) : XmlNode();
}

XmlNode XmlDocument::SelectSingleNode(const char* path) const {
    return GetRoot().SelectSingleNode(path);
}

XmlNode XmlDocument::SelectSingleNode(QStringView path) const {
    return GetRoot().SelectSingleNode(path);
}

} // namespace FormXml
