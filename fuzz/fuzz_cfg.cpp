// libFuzzer target for cfg.ini reading: any bytes (UTF-16 LE with its mark, UTF-8 with or without
// one, GBK; CR LF, LF or CR line ends) must read without a crash; a single-key read and a
// section read must agree; and in a file whose text survives decoding, a value written must read
// back while every other value reads as before.
// Built and run by fuzz/run.sh; with VEMO_FUZZ_SEED_MAIN it writes a seed corpus instead.
#include "FuzzSupport.h"
#include "data/CfgFile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#ifndef VEMO_FUZZ_SEED_MAIN

namespace {

// The reads go through a real file, as the client's do; on a memory file system when there is
// one, since every write is synced to disk.
const QString& CfgFilePath() {
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/vemo-fuzz-cfg-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/vemo-fuzz-cfg-XXXXXX"));
    static const QString path = dir.filePath(QStringLiteral("cfg.ini"));
    return path;
}

void WriteBytes(const QByteArray& bytes) {
    QFile file(CfgFilePath());
    Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              file.write(bytes) == bytes.size(),
          "the input is written to a file");
}

// The text when the bytes are exactly its encoding in one of the forms a cfg.ini keeps on
// writing (so a rewrite changes nothing but the key written); nothing for other bytes.
std::optional<QString> FaithfulText(const QByteArray& bytes) {
    const QByteArray utf16Mark("\xFF\xFE", 2);
    const QByteArray utf8Mark("\xEF\xBB\xBF", 3);
    QString text;
    QByteArray again;
    if (bytes.startsWith(utf16Mark)) {
        QStringDecoder decode(QStringConverter::Utf16LE);
        text = decode(bytes.mid(2));
        again = utf16Mark + QStringEncoder(QStringConverter::Utf16LE)(text);
    } else {
        const qsizetype mark = bytes.startsWith(utf8Mark) ? 3 : 0;
        QStringDecoder decode(QStringConverter::Utf8);
        text = decode(bytes.mid(mark));
        if (decode.hasError())
            return std::nullopt;
        again = bytes.left(mark) + text.toUtf8();
    }
    if (again != bytes)
        return std::nullopt;
    return text;
}

// Section and key names worth asking for: fixed ones the client reads, and the first section
// and key that the input itself appears to have.
std::vector<std::pair<QString, QString>> Probes(const QString& text) {
    std::vector<std::pair<QString, QString>> probes = {
        {QStringLiteral("SERVER"), QStringLiteral("NAME")},
        {QStringLiteral("server"), QStringLiteral("dtype")},
        {QStringLiteral("SERVER"), QStringLiteral("TIMEOUT")},
        {QStringLiteral("TABLECOLS"), QStringLiteral("12_9_0")},
    };
    static const QRegularExpression section(QStringLiteral("\\[([^\\]\\r\\n]*)\\]"));
    static const QRegularExpression key(QStringLiteral("(?:^|\\n)\\s*([^=;\\[\\r\\n]+)="));
    const QString sectionName = section.match(text).captured(1).trimmed();
    const QString keyName = key.match(text).captured(1).trimmed();
    if (!sectionName.isEmpty() && !keyName.isEmpty())
        probes.emplace_back(sectionName, keyName);
    return probes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    WriteBytes(bytes);
    const std::optional<QString> faithful = FaithfulText(bytes);
    const auto probes = Probes(faithful ? *faithful : QString::fromLatin1(bytes));

    QStringList before;
    for (const auto& [section, key] : probes) {
        const QString value = ReadCfg(CfgFilePath(), section, key);
        Check(value.size() <= kCfgValueMaxLength, "a value is cut to its longest length");
        Check(CfgSection(CfgFilePath(), section).Value(key) == value,
              "a section read answers as a single-key read");
        before.append(value);
    }
    ReadTimeoutSeconds(CfgFilePath());
    if (!faithful)
        return 0;

    // A value as the client writes them: no quotes or blanks around it, and possibly a lone CR
    // or LF (scrambled connection texts hold them), but never a CR LF, which no file can hold.
    QString value = QStringLiteral("v") + faithful->left(200);
    while (value.contains(QLatin1String("\r\n")))
        value.remove(QLatin1String("\r\n"));
    const QString section = QStringLiteral("SERVER");
    const QString key = QStringLiteral("APPNAME");
    WriteCfg(CfgFilePath(), section, key, value);
    Check(ReadCfg(CfgFilePath(), section, key) == value, "a written value reads back");
    for (std::size_t i = 0; i < probes.size(); ++i) {
        const auto& [s, k] = probes[i];
        if (s.compare(section, Qt::CaseInsensitive) == 0 &&
            k.compare(key, Qt::CaseInsensitive) == 0)
            continue;
        Check(ReadCfg(CfgFilePath(), s, k) == before[qsizetype(i)],
              "writing one value leaves the others as they were");
    }
    return 0;
}

#else

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SEED_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    // As the client writes it: UTF-16 LE with its mark, CR LF, a scrambled value holding a lone
    // CR and LF.
    const QString written = folder.filePath(QStringLiteral("seed-0.ini"));
    QFile::remove(written);
    WriteCfg(written, QStringLiteral("SERVER"), QStringLiteral("DTYPE"), QStringLiteral("2"));
    WriteCfg(written, QStringLiteral("SERVER"), QStringLiteral("NAME"),
             QStringLiteral("x\rq\n\u7532 ;=[z]"));
    WriteCfg(written, QStringLiteral("TABLECOLS"), QStringLiteral("12_9_0"), QStringLiteral("80"));
    const QList<QByteArray> handWritten = {
        // UTF-8 with a mark, LF, quotes, comments and a repeated section.
        "\xEF\xBB\xBF; settings\n[Server]\n  dtype = 3 \nName=\"a b\"\n\n[server]\nTIMEOUT=999x\n",
        // UTF-8 without a mark, CR only.
        "[SERVER]\rTIMEOUT= -12\r[TABLECOLS]\r12_9_0='7'\r",
        // GBK (not UTF-8): a section and value in Chinese.
        "[\xB7\xFE\xCE\xF1]\r\nNAME=\xD5\xCB\xCC\xD7\r\n[SERVER]\r\nDTYPE=1\r\n",
    };
    if (const int status = WriteSeeds(argc, argv, handWritten, ".ini", 1))
        return status;
    return QFile::exists(written) ? 0 : 1;
}

#endif
