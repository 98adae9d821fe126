#include "FormCommand.h"

#include "data/DbSession.h"
#include "form/DefinitionCodec.h"
#include "form/XmlDocument.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

bool ReadWhole(const QString& path, QByteArray& bytes, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("不能读取文件：%1").arg(path);
        return false;
    }
    bytes = file.readAll();
    return true;
}

// Form files are written by hand: UTF-8 (with or without a byte-order mark) or UTF-16 with one.
bool ReadFormText(const QString& path, QString& text, QString& error) {
    QByteArray bytes;
    if (!ReadWhole(path, bytes, error))
        return false;
    if (bytes.startsWith("\xFF\xFE"))
        text = QStringDecoder(QStringConverter::Utf16LE)(bytes.mid(2));
    else if (bytes.startsWith("\xFE\xFF"))
        text = QStringDecoder(QStringConverter::Utf16BE)(bytes.mid(2));
    else {
        QStringDecoder utf8(QStringConverter::Utf8);
        text = utf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
        if (utf8.hasError()) {
            error = QStringLiteral("文件不是 UTF-8 文本：%1").arg(path);
            return false;
        }
    }
    if (text.contains(QChar(0))) {
        error = QStringLiteral("定义中不能含有 NUL 字符：%1").arg(path);
        return false;
    }
    return true;
}

// The client opens a definition only when this same parse accepts it, so a text it refuses
// must never be stored. `path` names where the text came from.
bool CheckFormXml(const QString& text, const QString& path, QString& error) {
    FormXml::XmlDocument document;
    FormXml::XmlLoadError why;
    if (document.LoadXml(text, &why))
        return true;
    QString where;
    if (why.offset >= 0) {
        const QStringView before = QStringView(text).left(why.offset);
        const qsizetype line = before.count(QLatin1Char('\n')) + 1;
        const qsizetype column = why.offset - (before.lastIndexOf(QLatin1Char('\n')) + 1) + 1;
        where = QStringLiteral("第 %1 行第 %2 列：").arg(line).arg(column);
    }
    error = QStringLiteral("定义不是有效的 XML：%1：%2%3").arg(path, where, why.description);
    return false;
}

// Written under another name and renamed when complete: a failure leaves no output file.
bool WriteWhole(const QString& path, const QByteArray& bytes, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("不能写入文件：%1").arg(path);
        return false;
    }
    return true;
}

bool Pack(const QString& xmlPath, int codeBits, QByteArray& packed, QString& error) {
    if (codeBits < 9 || codeBits > 25) {
        error = QStringLiteral("编码位宽须在 9 到 25 之间：%1").arg(codeBits);
        return false;
    }
    QString text;
    if (!ReadFormText(xmlPath, text, error) || !CheckFormXml(text, xmlPath, error))
        return false;
    packed = PackDefinition(text, codeBits);
    if (packed.isEmpty()) {
        error = QStringLiteral("定义太长，不能存储：%1").arg(xmlPath);
        return false;
    }
    return true;
}

bool OpenSession(DbSession& session, const QString& connectionText, QString& error) {
    session.SetConnectionString(connectionText);
    if (session.Open())
        return true;
    error = session.Message().trimmed() + QLatin1Char(' ') +
            QString(session.Detail()).replace(QLatin1Char('\n'), QLatin1Char(' ')).trimmed();
    return false;
}

} // namespace

bool PackFormFile(const QString& xmlPath, const QString& outPath, int codeBits, QString& error) {
    QByteArray packed;
    return Pack(xmlPath, codeBits, packed, error) && WriteWhole(outPath, packed, error);
}

bool UnpackFormFile(const QString& storedPath, const QString& xmlPath, QString& error) {
    QByteArray stored;
    if (!ReadWhole(storedPath, stored, error))
        return false;
    const UnpackResult unpacked = UnpackDefinition(stored);
    if (!unpacked.ok) {
        error = QStringLiteral("存储的定义已损坏：") + unpacked.error;
        return false;
    }
    // Written whatever it holds: a definition that does not parse is exactly the one an
    // administrator needs to read in order to repair it.
    if (!WriteWhole(xmlPath, unpacked.text.toUtf8(), error))
        return false;
    if (CheckFormXml(unpacked.text, storedPath, error))
        return true;
    error += QStringLiteral("（文本已写入 %1）").arg(xmlPath);
    return false;
}

bool ImportForm(const QString& connectionText, const QString& uid, const QString& xmlPath,
                int codeBits, QString& error) {
    QByteArray packed;
    if (!Pack(xmlPath, codeBits, packed, error))
        return false;
    DbSession session;
    if (!OpenSession(session, connectionText, error))
        return false;
    const QString row =
        QStringLiteral("SELECT uid_0, form_0 FROM c_menu_dh WHERE uid_0=%1").arg(uid);
    if (!session.WriteBinary(row, {QStringLiteral("form_0")}, {packed})) {
        error = session.Message().isEmpty() && session.ResultCode() == 0
                    ? QStringLiteral("c_menu_dh 中没有 uid_0=%1 的功能").arg(uid)
                    : session.Message().trimmed() + QLatin1Char(' ') +
                          QString(session.Detail()).replace(QLatin1Char('\n'), QLatin1Char(' '));
        return false;
    }
    session.Close();
    return true;
}

bool ExportForm(const QString& connectionText, const QString& uid, const QString& xmlPath,
                QString& error) {
    DbSession session;
    if (!OpenSession(session, connectionText, error))
        return false;
    QList<QByteArray> stored;
    const bool found =
        session.ReadBinary(QStringLiteral("SELECT form_0 FROM c_menu_dh WHERE uid_0=%1").arg(uid),
                           {QStringLiteral("form_0")}, stored);
    session.Close();
    if (!found || stored.isEmpty()) {
        error = QStringLiteral("c_menu_dh 中没有 uid_0=%1 的功能").arg(uid);
        return false;
    }
    if (stored.first().isEmpty()) {
        error = QStringLiteral("uid_0=%1 的功能定义为空").arg(uid);
        return false;
    }
    const UnpackResult unpacked = UnpackDefinition(stored.first());
    if (!unpacked.ok) {
        error = QStringLiteral("存储的定义已损坏：") + unpacked.error;
        return false;
    }
    return WriteWhole(xmlPath, unpacked.text.toUtf8(), error);
}
