#include "data/CfgFile.h"

#include "platform/Gbk.h"

#include <QFile>
#include <QList>
#include <QMutex>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringView>
#include <QtDebug>

#include <algorithm>
#include <climits>
#include <optional>

namespace {

enum class CfgEncoding { Utf16Le, Utf8Bom, Utf8, Gbk };

const QByteArray kUtf16LeBom("\xFF\xFE", 2);
const QByteArray kUtf8Bom("\xEF\xBB\xBF", 3);

// One line of the file with its own terminator, so that untouched lines are written back
// byte for byte whatever line ends a hand-edited file uses.
struct CfgLine {
    QString text;
    QString eol;
};

struct CfgText {
    CfgEncoding encoding = CfgEncoding::Utf16Le;
    QList<CfgLine> lines;
};

// A file with CR LF line ends (every file the client writes) is split only at CR LF: a lone
// CR or LF is part of its line, since scrambled connection texts can contain either and must
// survive the file. Hand-written files with LF ends split at LF; a file without any LF at CR.
QList<CfgLine> SplitLines(const QString& text) {
    QList<CfgLine> lines;
    const QString separator = text.contains(u"\r\n") ? QStringLiteral("\r\n")
                              : text.contains(u'\n') ? QStringLiteral("\n")
                                                     : QStringLiteral("\r");
    qsizetype start = 0;
    for (qsizetype end; (end = text.indexOf(separator, start)) >= 0; start = end + separator.size())
        lines.append({text.mid(start, end - start), separator});
    if (start < text.size())
        lines.append({text.mid(start), QString()});
    return lines;
}

CfgText DecodeCfg(const QByteArray& bytes) {
    CfgText cfg;
    QString text;
    if (bytes.startsWith(kUtf16LeBom)) {
        cfg.encoding = CfgEncoding::Utf16Le;
        text = QStringDecoder(QStringConverter::Utf16LE)(bytes.mid(kUtf16LeBom.size()));
    } else if (bytes.startsWith(kUtf8Bom)) {
        cfg.encoding = CfgEncoding::Utf8Bom;
        text = QString::fromUtf8(bytes.mid(kUtf8Bom.size()));
    } else {
        // Without a mark, a file that is valid UTF-8 was written by hand on this platform;
        // anything else comes from a Chinese Windows editor in the ANSI code page.
        QStringDecoder utf8(QStringConverter::Utf8);
        text = utf8(bytes);
        cfg.encoding = CfgEncoding::Utf8;
        if (utf8.hasError()) {
            cfg.encoding = CfgEncoding::Gbk;
            text = platform::DecodeGbk(bytes);
        }
    }
    cfg.lines = SplitLines(text);
    return cfg;
}

QByteArray EncodeCfg(const CfgText& cfg) {
    QString text;
    for (const CfgLine& line : cfg.lines)
        text += line.text + line.eol;
    switch (cfg.encoding) {
    case CfgEncoding::Utf16Le:
        return kUtf16LeBom + QStringEncoder(QStringConverter::Utf16LE)(text);
    case CfgEncoding::Utf8Bom:
        return kUtf8Bom + text.toUtf8();
    case CfgEncoding::Utf8:
        return text.toUtf8();
    case CfgEncoding::Gbk:
        return platform::EncodeGbk(text);
    }
    return {};
}

// The profile API's notion of blanks; deliberately not Unicode spaces, so a value's ideographic
// spaces survive.
bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

QStringView TrimBlanks(QStringView s) {
    while (!s.isEmpty() && IsBlank(s.front()))
        s = s.mid(1);
    while (!s.isEmpty() && IsBlank(s.back()))
        s.chop(1);
    return s;
}

// Name of the section a line opens; nothing for other lines.
std::optional<QStringView> SectionOf(QStringView line) {
    const QStringView t = TrimBlanks(line);
    if (!t.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = t.lastIndexOf(u']');
    if (close < 1)
        return std::nullopt;
    return TrimBlanks(t.mid(1, close - 1));
}

struct KeyLine {
    QStringView key;
    QStringView value;
};

QStringView TrimLeadingSpaces(QStringView s) {
    while (!s.isEmpty() && (s.front() == u' ' || s.front() == u'\t'))
        s = s.mid(1);
    return s;
}

QStringView TrimTrailingSpaces(QStringView s) {
    while (!s.isEmpty() && (s.back() == u' ' || s.back() == u'\t'))
        s.chop(1);
    return s;
}

// A value loses the spaces and tabs around it, as the profile API reads it; other control
// characters stay, since scrambled texts may end in them. A value that must keep surrounding
// spaces is written in quotes (QuotedForFile).
std::optional<KeyLine> KeyOf(QStringView line) {
    const QStringView t = TrimLeadingSpaces(line);
    if (t.startsWith(u';'))
        return std::nullopt;
    const qsizetype eq = t.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    const QStringView key = TrimBlanks(t.left(eq));
    if (key.isEmpty())
        return std::nullopt;
    return KeyLine{key, TrimTrailingSpaces(TrimLeadingSpaces(t.mid(eq + 1)))};
}

bool SameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Lines [header, end) of the first section with the given name.
struct SectionSpan {
    qsizetype header = -1;
    qsizetype end = -1;
};

std::optional<SectionSpan> FindSection(const QList<CfgLine>& lines, QStringView section) {
    qsizetype i = 0;
    for (; i < lines.size(); ++i) {
        const auto name = SectionOf(lines[i].text);
        if (name && SameName(*name, section))
            break;
    }
    if (i == lines.size())
        return std::nullopt;
    SectionSpan span{i, i + 1};
    while (span.end < lines.size() && !SectionOf(lines[span.end].text))
        ++span.end;
    return span;
}

qsizetype FindKey(const QList<CfgLine>& lines, SectionSpan span, QStringView key) {
    for (qsizetype i = span.header + 1; i < span.end; ++i) {
        const auto entry = KeyOf(lines[i].text);
        if (entry && SameName(entry->key, key))
            return i;
    }
    return -1;
}

QStringView Unquote(QStringView value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// The value as it must stand in the file to read back unchanged: quoted when reading would
// otherwise drop its surrounding spaces or a pair of surrounding quotes.
QString QuotedForFile(const QString& value) {
    if (value.isEmpty())
        return value;
    const QStringView view(value);
    const bool spaced = TrimTrailingSpaces(TrimLeadingSpaces(view)).size() != view.size();
    if (spaced || Unquote(view).size() != view.size())
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

struct SectionText {
    CfgText cfg;
    SectionSpan span;
};

// The decoded file and where the section is in it; nothing when either is missing.
std::optional<SectionText> ReadSectionText(const QString& file, const QString& section) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    SectionText text{DecodeCfg(in.readAll()), {}};
    const auto span = FindSection(text.cfg.lines, section);
    if (!span)
        return std::nullopt;
    text.span = *span;
    return text;
}

QString ValueText(const KeyLine& entry) {
    return Unquote(entry.value).left(kCfgValueMaxLength).toString();
}

// Section and key names end at a NUL, as zero-terminated names always did. Values keep theirs:
// a scrambled connection text can contain one, and cutting it there lost the settings.
QString CutAtNul(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

QString FileEol(const QList<CfgLine>& lines) {
    for (const CfgLine& line : lines)
        if (!line.eol.isEmpty())
            return line.eol;
    return QStringLiteral("\r\n");
}

void SetValue(QList<CfgLine>& lines, const QString& section, const QString& key,
              const QString& value) {
    const QString eol = FileEol(lines);
    const auto span = FindSection(lines, section);
    if (!span) {
        if (!lines.isEmpty() && lines.back().eol.isEmpty())
            lines.back().eol = eol;
        lines.append({QLatin1Char('[') + section + QLatin1Char(']'), eol});
        lines.append({key + QLatin1Char('=') + value, eol});
        return;
    }
    const qsizetype existing = FindKey(lines, *span, key);
    if (existing >= 0) {
        // Keep the key's spelling from the file; only the value changes.
        const QString name = KeyOf(lines[existing].text)->key.toString();
        lines[existing].text = name + QLatin1Char('=') + value;
        return;
    }
    // After the section's last non-blank line, so blank lines separating it from the next
    // section stay where they are.
    qsizetype after = span->header;
    for (qsizetype i = span->header + 1; i < span->end; ++i)
        if (!TrimBlanks(lines[i].text).isEmpty())
            after = i;
    if (lines[after].eol.isEmpty())
        lines[after].eol = eol;
    lines.insert(after + 1, {key + QLatin1Char('=') + value, eol});
}

// True when the lines, written out, split into the same lines again. A file that splits at LF
// or CR alone stops doing so once a line brings in a CR LF (a value ending in CR, or a CR at the
// end of the last line that now gets its line end) or its own separator (a value holding one).
bool SplitsAsWritten(const QList<CfgLine>& lines) {
    QString text;
    for (const CfgLine& line : lines)
        text += line.text + line.eol;
    const QList<CfgLine> again = SplitLines(text);
    if (again.size() != lines.size())
        return false;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (again[i].text != lines[i].text || again[i].eol != lines[i].eol)
            return false;
    return true;
}

} // namespace

QString ReadCfg(const QString& file, const QString& section, const QString& key) {
    const auto text = ReadSectionText(file, section);
    if (!text)
        return {};
    const qsizetype line = FindKey(text->cfg.lines, text->span, key);
    return line < 0 ? QString() : ValueText(*KeyOf(text->cfg.lines[line].text));
}

CfgSection::CfgSection(const QString& file, const QString& section) {
    const auto text = ReadSectionText(file, section);
    if (!text)
        return;
    for (qsizetype i = text->span.header + 1; i < text->span.end; ++i)
        if (const auto entry = KeyOf(text->cfg.lines[i].text)) {
            keys_.append(entry->key.toString());
            values_.append(ValueText(*entry));
        }
}

QString CfgSection::Value(const QString& key) const {
    for (qsizetype i = 0; i < keys_.size(); ++i)
        if (SameName(keys_[i], key))
            return values_[i];
    return {};
}

void WriteCfg(const QString& file, const QString& section, const QString& key,
              const QString& value) {
    // Read-modify-write of the whole file: two writers in this process must not interleave.
    static QMutex mutex;
    QMutexLocker lock(&mutex);

    CfgText cfg; // a new file is UTF-16 LE with its mark
    QFile in(file);
    if (in.exists()) {
        if (!in.open(QIODevice::ReadOnly)) {
            // Rewriting a file we could not read would lose its contents.
            qWarning() << "cfg.ini: cannot read" << file << in.errorString();
            return;
        }
        cfg = DecodeCfg(in.readAll());
        in.close();
    }
    SetValue(cfg.lines, CutAtNul(section), CutAtNul(key), QuotedForFile(value));
    // CR LF ends, the client's own, hold every line as it was read: no line text of a file
    // split at LF or at CR contains a CR LF. Only then are the file's line ends changed.
    if (!SplitsAsWritten(cfg.lines))
        for (CfgLine& line : cfg.lines)
            if (!line.eol.isEmpty())
                line.eol = QStringLiteral("\r\n");

    // Temporary file in the same folder, renamed over the old one: a crash leaves either the
    // old or the new cfg.ini, never a half-written one.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(EncodeCfg(cfg)) < 0 || !out.commit())
        qWarning() << "cfg.ini: cannot write" << file << out.errorString();
}

QString CfgPath(const QString& exeFolder) {
    return exeFolder + QStringLiteral("cfg.ini");
}

int ParseTimeoutSeconds(const QString& value) {
    if (value.isEmpty())
        return kCfgDefaultTimeoutSeconds;
    qsizetype i = 0;
    while (i < value.size() && IsBlank(value[i]))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == u'+' || value[i] == u'-')) {
        negative = value[i] == u'-';
        ++i;
    }
    // Saturate instead of overflowing on absurdly long digit runs.
    constexpr qint64 kLimit = qint64(INT_MAX) + 1;
    qint64 number = 0;
    for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i)
        number = std::min(kLimit, number * 10 + (value[i].unicode() - u'0'));
    if (negative)
        number = -number;
    return static_cast<int>(std::clamp<qint64>(number, INT_MIN, kCfgMaxTimeoutSeconds));
}

int ReadTimeoutSeconds(const QString& file) {
    return ParseTimeoutSeconds(ReadCfg(file, QStringLiteral("SERVER"), QStringLiteral("TIMEOUT")));
}
