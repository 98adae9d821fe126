#include "net/HtmlReader.h"

#include "net/HtmlEntities.h"

#include <QStringList>

#include <string_view>

namespace {

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool IsAsciiAlpha(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsAsciiAlnum(char16_t c) {
    return IsAsciiAlpha(c) || (c >= u'0' && c <= u'9');
}

int DigitValue(char16_t c, int base) {
    int value = -1;
    if (c >= u'0' && c <= u'9')
        value = c - u'0';
    else if (c >= u'a' && c <= u'f')
        value = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        value = c - u'A' + 10;
    return value < base ? value : -1;
}

qsizetype Find(const char16_t* p, qsizetype from, qsizetype n, char16_t c) {
    if (from >= n)
        return -1;
    const char16_t* hit = std::char_traits<char16_t>::find(p + from, size_t(n - from), c);
    return hit ? hit - p : -1;
}

qsizetype FindText(QStringView text, qsizetype from, QStringView what) {
    return from > text.size() ? -1 : text.indexOf(what, from);
}

// Where the script element that starts at `from` ends: the "<" of its "</script"; -1 when the
// text ends first.
qsizetype FindScriptEnd(QStringView text, qsizetype from) {
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    static constexpr std::u16string_view kClose = u"/script";
    for (qsizetype i = Find(p, from, n, u'<'); i >= 0; i = Find(p, i + 1, n, u'<')) {
        const qsizetype after = i + 1 + qsizetype(kClose.size());
        if (after > n)
            return -1;
        if (text.mid(i + 1, qsizetype(kClose.size()))
                    .compare(QStringView(kClose), Qt::CaseInsensitive) == 0 &&
            (after == n || IsSpace(p[after]) || p[after] == u'/' || p[after] == u'>'))
            return i;
    }
    return -1;
}

void AppendCodePoint(QString& out, char32_t c) {
    if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c > 0xFFFF) {
        out.append(QChar(QChar::highSurrogate(c)));
        out.append(QChar(QChar::lowSurrogate(c)));
    } else {
        out.append(QChar(char16_t(c)));
    }
}

} // namespace

QString ResolveCharacterReferences(QStringView text) {
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = Find(p, 0, n, u'&');
    if (i < 0)
        return text.toString();
    QString out;
    out.reserve(n);
    out.append(text.first(i));
    while (i < n) {
        if (p[i] != u'&') {
            const qsizetype next = Find(p, i, n, u'&');
            const qsizetype stop = next < 0 ? n : next;
            out.append(text.mid(i, stop - i));
            i = stop;
            continue;
        }
        qsizetype k = i + 1;
        if (k < n && p[k] == u'#') {
            ++k;
            int base = 10;
            if (k < n && (p[k] == u'x' || p[k] == u'X')) {
                base = 16;
                ++k;
            }
            const qsizetype digits = k;
            char32_t value = 0;
            for (int d; k < n && (d = DigitValue(p[k], base)) >= 0; ++k)
                if (value <= 0x10FFFF) // past it the number is no character anyway
                    value = value * char32_t(base) + char32_t(d);
            if (k == digits) {
                out.append(QLatin1Char('&'));
                ++i;
                continue;
            }
            if (k < n && p[k] == u';')
                ++k;
            AppendCodePoint(out, value);
            i = k;
            continue;
        }
        while (k < n && k - i <= 8 && IsAsciiAlnum(p[k]))
            ++k;
        if (k < n && k > i + 1 && p[k] == u';') {
            if (const char32_t c =
                    LookUpHtmlEntity(std::u16string_view(p + i + 1, size_t(k - i - 1)))) {
                AppendCodePoint(out, c);
                i = k + 1;
                continue;
            }
        }
        out.append(QLatin1Char('&'));
        ++i;
    }
    return out;
}

QString HtmlToken::Text() const {
    return ResolveCharacterReferences(raw);
}

void TokenizeHtml(QStringView text, HtmlTokenHandler& handler) {
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    std::vector<HtmlAttribute> attributes;
    qsizetype textStart = 0;
    const auto flushText = [&](qsizetype upTo) {
        if (upTo <= textStart)
            return;
        HtmlToken token;
        token.kind = HtmlTokenKind::Text;
        token.raw = text.mid(textStart, upTo - textStart);
        token.begin = textStart;
        token.end = upTo;
        handler.OnToken(token);
    };
    const auto deliver = [&](HtmlToken& token) {
        flushText(token.begin);
        handler.OnToken(token);
        textStart = token.end;
    };

    qsizetype i = 0;
    while ((i = Find(p, i, n, u'<')) >= 0 && i + 1 < n) {
        const char16_t c = p[i + 1];
        if (c == u'!' && i + 3 < n && p[i + 2] == u'-' && p[i + 3] == u'-') {
            const qsizetype close = FindText(text, i + 4, u"-->");
            HtmlToken token;
            token.kind = HtmlTokenKind::Comment;
            token.begin = i;
            token.end = close < 0 ? n : close + 3;
            token.raw = text.mid(i + 4, (close < 0 ? n : close) - (i + 4));
            deliver(token);
            i = token.end;
            continue;
        }
        if (c == u'!' || c == u'?') {
            // A declaration or processing instruction: no token, no text.
            const qsizetype close = Find(p, i + 2, n, u'>');
            if (close < 0)
                break;
            flushText(i);
            i = textStart = close + 1;
            continue;
        }
        if (c == u'/' && i + 2 < n && IsAsciiAlpha(p[i + 2])) {
            qsizetype j = i + 2;
            while (j < n && !IsSpace(p[j]) && p[j] != u'/' && p[j] != u'>')
                ++j;
            const qsizetype close = Find(p, j, n, u'>');
            if (close < 0)
                break;
            HtmlToken token;
            token.kind = HtmlTokenKind::EndTag;
            token.name = text.mid(i + 2, j - (i + 2));
            token.begin = i;
            token.end = close + 1;
            deliver(token);
            i = token.end;
            continue;
        }
        if (!IsAsciiAlpha(c)) {
            ++i; // a "<" that starts no tag is text
            continue;
        }

        qsizetype j = i + 1;
        while (j < n && !IsSpace(p[j]) && p[j] != u'/' && p[j] != u'>')
            ++j;
        HtmlToken token;
        token.kind = HtmlTokenKind::StartTag;
        token.name = text.mid(i + 1, j - (i + 1));
        attributes.clear();
        bool complete = false;
        while (j < n) {
            if (IsSpace(p[j]) || p[j] == u'/') {
                token.selfClosing = p[j] == u'/' && j + 1 < n && p[j + 1] == u'>';
                ++j;
                continue;
            }
            if (p[j] == u'>') {
                complete = true;
                ++j;
                break;
            }
            token.selfClosing = false;
            HtmlAttribute attribute;
            const qsizetype nameBegin = j;
            ++j; // the first character belongs to the name, even an "="
            while (j < n && !IsSpace(p[j]) && p[j] != u'/' && p[j] != u'>' && p[j] != u'=')
                ++j;
            attribute.name = text.mid(nameBegin, j - nameBegin);
            qsizetype k = j;
            while (k < n && IsSpace(p[k]))
                ++k;
            if (k < n && p[k] == u'=') {
                ++k;
                while (k < n && IsSpace(p[k]))
                    ++k;
                if (k >= n)
                    break;
                attribute.hasValue = true;
                if (p[k] == u'"' || p[k] == u'\'') {
                    const qsizetype close = Find(p, k + 1, n, p[k]);
                    if (close < 0) {
                        j = n;
                        break;
                    }
                    attribute.quoted = true;
                    attribute.rawValue = text.mid(k + 1, close - (k + 1));
                    j = close + 1;
                } else {
                    const qsizetype valueBegin = k;
                    while (k < n && !IsSpace(p[k]) && p[k] != u'>')
                        ++k;
                    attribute.rawValue = text.mid(valueBegin, k - valueBegin);
                    j = k;
                }
            }
            attributes.push_back(attribute);
        }
        if (!complete)
            break;
        token.begin = i;
        token.end = j;
        token.attributes = &attributes;
        deliver(token);
        i = j;
        if (!token.selfClosing && token.name.compare(u"script", Qt::CaseInsensitive) == 0) {
            const qsizetype close = FindScriptEnd(text, i);
            if (close < 0)
                break;
            flushText(close);
            textStart = i = close;
        }
    }
    textStart = std::min(textStart, n);
    flushText(n);
}

HtmlPathSpec HtmlPathSpec::Parse(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    HtmlPathSpec spec;
    spec.tag = parts.value(0);
    spec.attribute = parts.value(1);
    spec.value = parts.value(2);
    return spec;
}

void HtmlDocument::Parse(const QString& text) {
    source_ = text;
    elements_.clear();
    open_.clear();
    openCount_.clear();
    nameIds_.clear();
    TokenizeHtml(source_, *this);
}

int HtmlDocument::NameId(QStringView name, bool add) {
    std::u16string key;
    key.reserve(size_t(name.size()));
    for (const QChar c : name)
        key.push_back(c.toCaseFolded().unicode());
    const auto it = nameIds_.find(key);
    if (it != nameIds_.end())
        return it->second;
    if (!add)
        return -1;
    const int id = static_cast<int>(nameIds_.size());
    nameIds_.emplace(std::move(key), id);
    openCount_.push_back(0);
    return id;
}

void HtmlDocument::OnToken(const HtmlToken& token) {
    if (token.kind == HtmlTokenKind::StartTag) {
        const QChar* base = source_.constData();
        HtmlElement element;
        element.nameBegin = token.name.constData() - base;
        element.nameLength = token.name.size();
        element.nameId = NameId(token.name, true);
        element.parent = open_.empty() ? -1 : open_.back();
        element.startBegin = token.begin;
        element.startEnd = token.end;
        if (!token.attributes->empty()) {
            const HtmlAttribute& first = token.attributes->front();
            element.hasAttribute = true;
            element.attributeNameBegin = first.name.constData() - base;
            element.attributeNameLength = first.name.size();
            element.attributeValueBegin =
                first.hasValue ? first.rawValue.constData() - base : element.attributeNameBegin;
            element.attributeValueLength = first.rawValue.size();
        }
        open_.push_back(static_cast<int>(elements_.size()));
        ++openCount_[size_t(element.nameId)];
        elements_.push_back(element);
    } else if (token.kind == HtmlTokenKind::EndTag) {
        // The count per name spares the walk down the open elements for an end tag that
        // matches none, so no input costs more than linear time.
        const int id = NameId(token.name, false);
        if (id < 0 || openCount_[size_t(id)] == 0)
            return;
        while (!open_.empty()) {
            HtmlElement& element = elements_[size_t(open_.back())];
            open_.pop_back();
            --openCount_[size_t(element.nameId)];
            if (element.nameId == id) {
                element.endBegin = token.begin;
                element.endEnd = token.end;
                break;
            }
        }
    }
}

QStringView HtmlDocument::Name(int index) const {
    const HtmlElement& e = Element(index);
    return QStringView(source_).mid(e.nameBegin, e.nameLength);
}

bool HtmlDocument::Matches(int index, const HtmlPathSpec& spec) const {
    if (spec.tag.isEmpty())
        return true;
    if (Name(index).compare(spec.tag, Qt::CaseInsensitive) != 0)
        return false;
    if (spec.attribute.isEmpty())
        return true;
    const HtmlElement& e = Element(index);
    if (!e.hasAttribute)
        return false;
    const QStringView view(source_);
    if (view.mid(e.attributeNameBegin, e.attributeNameLength)
            .compare(spec.attribute, Qt::CaseInsensitive) != 0)
        return false;
    if (spec.value.isEmpty())
        return true;
    const QStringView raw = view.mid(e.attributeValueBegin, e.attributeValueLength);
    if (!raw.contains(QLatin1Char('&')))
        return raw.compare(spec.value, Qt::CaseInsensitive) == 0;
    return ResolveCharacterReferences(raw).compare(spec.value, Qt::CaseInsensitive) == 0;
}

std::vector<int> HtmlDocument::Find(const HtmlPathSpec& spec) const {
    std::vector<int> found;
    for (int i = 0; i < ElementCount(); ++i)
        if (Matches(i, spec))
            found.push_back(i);
    return found;
}

QString HtmlDocument::TagText(int index) const {
    const HtmlElement& e = Element(index);
    return source_.mid(e.startBegin, e.startEnd - e.startBegin);
}

QString HtmlDocument::InnerText(int index) const {
    const HtmlElement& e = Element(index);
    if (e.endBegin < 0)
        return TagText(index);
    return source_.mid(e.startEnd, e.endBegin - e.startEnd);
}
