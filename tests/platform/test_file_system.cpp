// Names of the files the client writes from texts of the user or the database: whatever the
// text holds, the file stays in its folder and its name is one the file system takes.
#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(FileNames, TextsBecomeBaseNamesThatStayInTheirFolder) {
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("RK20240905-001"), QStringLiteral("RK20240905-001")},
        {QStringLiteral("  合同 HT-1 "), QStringLiteral("合同 HT-1")},
        {QStringLiteral("../../etc/passwd"), QStringLiteral(".._.._etc_passwd")},
        {QStringLiteral("a\\b:c*d?e\"f<g>h|i"), QStringLiteral("a_b_c_d_e_f_g_h_i")},
        {QStringLiteral("行1\n行2\t"), QStringLiteral("行1_行2")},
        {QStringLiteral(""), QStringLiteral("打印")},
        {QStringLiteral("   "), QStringLiteral("打印")},
    };
    QTemporaryDir dir;
    for (const auto& [text, name] : cases) {
        EXPECT_EQ(platform::FileBaseNameOf(text, QStringLiteral("打印")), name)
            << text.toStdString();
        const QString path = platform::FreeNumberedPath(
            dir.path(), platform::FileBaseNameOf(text, QStringLiteral("打印")),
            QStringLiteral("pdf"));
        EXPECT_EQ(QFileInfo(path).absolutePath(), QDir(dir.path()).absolutePath())
            << text.toStdString();
    }
}

} // namespace
