// Clerks saving goods receipts of the demo at once on PostgreSQL, each typing the same materials
// in an order of their own: their saves wait for each other rather than deadlock for a minute,
// every receipt gets a number of its own, and every click ends stored or refused aloud.
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/DbSession.h"
#include "support/TestAccountSet.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace {

const QString kAdmin = QStringLiteral(VEMO_BINARY_DIR "/tools/vemo-admin/vemo-admin");

QString RunAdmin(const QStringList& arguments) {
    QProcess process;
    process.start(kAdmin, arguments);
    process.waitForFinished(120000);
    return process.exitCode() == 0 ? QString() : QString::fromUtf8(process.readAllStandardError());
}

// A clerk's day: `receipts` new receipts, each with the five materials in a shuffled order.
QString ClerkScript(int clerk, int receipts, QRandomGenerator& random) {
    QString text = QStringLiteral("login u%1 1\nopen 21\n").arg(clerk);
    QStringList materials = {"JG0001", "JG0002", "JG0003", "JG0004", "JG0005"};
    for (int n = 0; n < receipts; ++n) {
        std::shuffle(materials.begin(), materials.end(), random);
        text += QStringLiteral("click 50\nclick 23\npick 0\n");
        for (int line = 0; line < materials.size(); ++line)
            text += QStringLiteral("edit 40 %1 1 %2\nedit 40 %1 5 %3\n")
                        .arg(line)
                        .arg(materials[line])
                        .arg(line + 1);
        text += QStringLiteral("click 51\n");
    }
    return text;
}

TEST(ReceiptSaves, TwentyClerksSavingAtOnceAllGetTheirReceiptsStored) {
    QString why;
    const auto set = TestAccountSet::CreateEmptyPostgres(why);
    if (!set)
        GTEST_SKIP() << qPrintable(why);
    const QString dir = set->folder();
    ASSERT_EQ(RunAdmin({"init", "--pg", set->pgConnInfo(), "--demo"}), QString());
    WriteCfg(dir + "cfg.ini", "SERVER", "NAME", ScrambleCfgText(set->connectionText(), 1));
    WriteCfg(dir + "cfg.ini", "SERVER", "TIMEOUT", "60");

    DbSession db;
    db.SetConnectionString(set->connectionText());
    ASSERT_TRUE(db.Open()) << qPrintable(db.Detail());
    const int clerks = 20;
    const int receipts = 10;
    // Clerks of the administrators' group, each with a login of their own.
    for (int i = 0; i < clerks; ++i)
        ASSERT_TRUE(db.Execute("INSERT INTO c_user (id_0, name_0, pass_0, state_0, "
                               "user_group_uid_0) VALUES (?, ?, ?, '正常', 1)",
                               {QStringLiteral("u%1").arg(i), QStringLiteral("店员%1").arg(i),
                                ScrambleCfgText("1", 1)}))
            << qPrintable(db.Detail());
    QString before;
    QString lastSeeded;
    ASSERT_TRUE(db.QueryValue("SELECT COUNT(*) FROM p_receipt", before));
    ASSERT_TRUE(db.QueryValue("SELECT MAX(uid_0) FROM p_receipt", lastSeeded));

    QRandomGenerator random(20261211);
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int c = 0; c < clerks; ++c) {
        const QString path = dir + QStringLiteral("clerk%1.play").arg(c);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ClerkScript(c, receipts, random).toUtf8());
        file.close();
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process->setProcessEnvironment(env);
        process->start(kAdmin, {"play", "--dir", dir, path});
        ASSERT_TRUE(process->waitForStarted(10000));
        processes.push_back(std::move(process));
    }
    int succeeded = 0;
    for (int c = 0; c < clerks; ++c) {
        QProcess& p = *processes[size_t(c)];
        // Two minutes for all of them together, as the shop would wait at most.
        ASSERT_TRUE(p.waitForFinished(120000)) << "clerk " << c << " did not finish";
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        EXPECT_EQ(p.exitCode(), 0) << qPrintable(QString::fromUtf8(p.readAllStandardError()));
        const QStringList messages = out.split('\n').filter(QRegularExpression("^message "));
        EXPECT_EQ(messages.size(), receipts) << "clerk " << c << ":\n" << qPrintable(out);
        succeeded += int(messages.filter(QStringLiteral("操作成功")).size());
    }
    QString after;
    ASSERT_TRUE(db.QueryValue("SELECT COUNT(*) FROM p_receipt", after));
    // Exactly the saves that said so are stored, and nearly all of them did.
    EXPECT_EQ(after.toInt() - before.toInt(), succeeded);
    EXPECT_GE(succeeded, clerks * receipts * 99 / 100);
    QString lines;
    ASSERT_TRUE(db.QueryValue("SELECT COUNT(*) FROM p_receipt r WHERE r.uid_0 > ? AND "
                              "(SELECT COUNT(*) FROM p_receipt_line l WHERE l.head_uid_0 = "
                              "r.uid_0) <> 5",
                              {lastSeeded.toInt()}, lines));
    EXPECT_EQ(lines, "0") << "a receipt stored with only some of its lines";
}

} // namespace
