#pragma once
// The HTML reader of the web-page commands: a tokenizer and an element collector of our own.
// The commands' matching rules are narrow and exact (a path spec looks at the first attribute
// only; an element's inner text is the source between its tags), so the reader keeps the page
// as it was written: no implied elements, no re-parenting, only spans into the source.
// Any input is read to its end without recursion, in time linear in its length.
#include <QString>
#include <QStringView>

#include <string>
#include <unordered_map>
#include <vector>

struct HtmlAttribute {
    QStringView name;
    QStringView rawValue; // as written, character references not resolved
    bool hasValue = false;
    bool quoted = false;
};

enum class HtmlTokenKind { StartTag, EndTag, Text, Comment };

struct HtmlToken {
    HtmlTokenKind kind = HtmlTokenKind::Text;
    QStringView name;    // tags
    QStringView raw;     // text (character references not resolved) and comment contents
    qsizetype begin = 0; // the token's span in the source, [begin, end)
    qsizetype end = 0;
    const std::vector<HtmlAttribute>* attributes = nullptr; // start tags
    bool selfClosing = false;                               // a start tag ending in "/>"

    // The text of a text token with its character references resolved.
    QString Text() const;
};

class HtmlTokenHandler {
public:
    virtual ~HtmlTokenHandler() = default;
    virtual void OnToken(const HtmlToken& token) = 0;
};

// Hands every token of `text` to `handler` in source order. The contents of a script element
// reach the handler as one text token. A tag left open at the end of the text is text.
void TokenizeHtml(QStringView text, HtmlTokenHandler& handler);

// Replaces decimal ("&#65;") and hexadecimal ("&#x41;") references and the named entities of
// HTML 4; a number that is no character gives U+FFFD; anything else stays as written.
QString ResolveCharacterReferences(QStringView text);

// "tag,attribute,value": one to three parts, later ones optional.
struct HtmlPathSpec {
    QString tag;
    QString attribute;
    QString value;
    static HtmlPathSpec Parse(const QString& text);
};

struct HtmlElement {
    qsizetype nameBegin = 0;
    qsizetype nameLength = 0;
    int nameId = 0; // the same for names that differ in letter case only
    int parent = -1;
    qsizetype startBegin = 0; // span of the start tag
    qsizetype startEnd = 0;
    qsizetype endBegin = -1; // span of the end tag; -1 while the element was never closed
    qsizetype endEnd = -1;
    bool hasAttribute = false; // the first attribute:
    qsizetype attributeNameBegin = 0;
    qsizetype attributeNameLength = 0;
    qsizetype attributeValueBegin = 0; // raw, as written
    qsizetype attributeValueLength = 0;
};

// The elements of one HTML text. A start tag opens an element under the innermost open one; an
// end tag closes the nearest open element of its name (letter case ignored) with every element
// opened inside it; an end tag that matches no open element is ignored.
class HtmlDocument : private HtmlTokenHandler {
public:
    void Parse(const QString& text);

    int ElementCount() const { return static_cast<int>(elements_.size()); }
    const HtmlElement& Element(int index) const { return elements_[size_t(index)]; }
    QStringView Name(int index) const;

    bool Matches(int index, const HtmlPathSpec& spec) const;
    // Indices of the matching elements in document order.
    std::vector<int> Find(const HtmlPathSpec& spec) const;
    // The source of the start tag.
    QString TagText(int index) const;
    // The source between the start and the end tag; the start tag's source when never closed.
    QString InnerText(int index) const;

private:
    void OnToken(const HtmlToken& token) override;
    int NameId(QStringView name, bool add);

    QString source_;
    std::vector<HtmlElement> elements_;
    std::vector<int> open_;
    std::vector<int> openCount_; // open elements per name id
    std::unordered_map<std::u16string, int> nameIds_;
};
