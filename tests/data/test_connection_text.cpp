// Connection texts: the stored forms, how a session resolves its text from cfg.ini (connection
// service and server address look-up over real HTTP on loopback), and the driver mapping.
#include "app/Application.h"
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/ConnectionText.h"
#include "support/LoopbackHttpServer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(ConnectionText, StoredFormsAndTheirDriverMapping) {
    EXPECT_EQ(AccessConnectionText("/srv/账套/a.dat"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/账套/a.dat;Jet OLEDB:Database "
              "Password=Zr4-Mulvadine-Tq8w;");
    // Only a lower-case ".dat" selects the second password.
    EXPECT_TRUE(AccessConnectionText("/srv/a.DAT").endsWith("Password=Qy7-Pelvantor-Kx3z;"));
    EXPECT_TRUE(AccessConnectionText("/srv/a.db").endsWith("Password=Qy7-Pelvantor-Kx3z;"));

    const DriverConnection file = MapToDriver(AccessConnectionText("/srv/账套/a.dat"));
    EXPECT_EQ(file.driver, "QSQLITE");
    EXPECT_EQ(file.databaseName, "/srv/账套/a.dat");
    EXPECT_EQ(AccountSetPathOf(AccessConnectionText("/srv/账套/a.dat")), "/srv/账套/a.dat");
    // The per-form text session runs in memory.
    EXPECT_EQ(MapToDriver("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/vemo/;Extended "
                          "Properties=text;Persist Security Info=False;")
                  .databaseName,
              ":memory:");

    const QString pgText = PostgresConnectionText("db.local", "5433", "shop", "clerk", "p@ss");
    EXPECT_EQ(pgText, "Provider=MSDASQL.1;Password=p@ss;User Properties=\"DRIVER={PostgreSQL};"
                      "DATABASE=shop;SERVER=db.local;\t\t\t\t PORT=5433;UID=clerk;PWD=p@ss;"
                      "TextAsLongVarchar=0;ByteaAsLongVarBinary=1\"");
    const DriverConnection pg = MapToDriver(pgText);
    EXPECT_EQ(pg.driver, "QPSQL");
    EXPECT_EQ(pg.host, "db.local");
    EXPECT_EQ(pg.port, 5433);
    EXPECT_EQ(pg.databaseName, "shop");
    EXPECT_EQ(pg.user, "clerk");
    EXPECT_EQ(pg.password, "p@ss");

    const QString msText = SqlServerConnectionText("10.1.1.5", "1433", "erp", "sa", "pw");
    EXPECT_EQ(msText, "driver={SQL Server};Server=10.1.1.5,1433;DATABASE=erp;UID=sa;PWD=pw;");
    const DriverConnection ms = MapToDriver(msText);
    EXPECT_EQ(ms.driver, "QODBC");
    EXPECT_EQ(ms.databaseName, "DRIVER={FreeTDS};SERVER=10.1.1.5;PORT=1433;DATABASE=erp;UID=sa;"
                               "PWD=pw;TDS_Version=auto;ClientCharset=UTF-8;");

    EXPECT_EQ(KindOfConnection(msText), DbKindCode::SqlServer);
    EXPECT_EQ(KindOfConnection(AccessConnectionText("/a.dat")), DbKindCode::LocalFile);
    EXPECT_EQ(KindOfConnection(pgText), DbKindCode::Other);
}

class ConnectionResolution : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("VEMO_UPDATE_SITE", QStringLiteral("127.0.0.1:%1").arg(server_.port()).toUtf8());
        Application::Instance().session.SetStoredConnectionText(QString());
        cfg_ = dir_.filePath("cfg.ini");
    }
    void TearDown() override {
        qunsetenv("VEMO_UPDATE_SITE");
        Application::Instance().session.SetStoredConnectionText(QString());
    }
    void StoreName(const QString& plain) {
        WriteCfg(cfg_, "SERVER", "NAME", ScrambleCfgText(plain, 1));
    }

    LoopbackHttpServer server_;
    QTemporaryDir dir_;
    QString cfg_;
};

TEST_F(ConnectionResolution, LocalFileTextIsUsedAndKeptForTheProcess) {
    const QString text = AccessConnectionText("/data/a.dat");
    StoreName(text);
    EXPECT_EQ(ResolveSessionConnection(cfg_), text);
    EXPECT_EQ(Application::Instance().session.dbKind.Get(), "2");
    // Later changes of cfg.ini take effect only after a restart.
    StoreName(AccessConnectionText("/data/other.dat"));
    EXPECT_EQ(ResolveSessionConnection(cfg_), text);
    EXPECT_EQ(ResolveLoginConnection(cfg_), text);
    EXPECT_EQ(Application::Instance().session.accountSetPath, "/data/a.dat");
}

TEST_F(ConnectionResolution, ConnectionServiceAnswersTheScrambledText) {
    const QString real = SqlServerConnectionText("10.0.0.9", "1433", "erp", "sa", "pw");
    server_.setRoute("/cs/shop1", 200, ScrambleCfgText(real, 1).toUtf8());
    StoreName(server_.baseUrl() + "/cs/shop1");
    EXPECT_EQ(ResolveSessionConnection(cfg_), real);
    EXPECT_EQ(Application::Instance().session.storedConnectionText.Get(), ScrambleCfgText(real, 1));
    EXPECT_EQ(Application::Instance().session.dbKind.Get(), "1");
}

TEST_F(ConnectionResolution, ServerAddressGivenAsUrlIsLookedUp) {
    server_.setRoute("/addr", 200, "10.0.0.7");
    const QString url = server_.baseUrl() + "/addr";
    StoreName(SqlServerConnectionText(url, "1433", "erp", "sa", "pw"));
    EXPECT_EQ(ResolveSessionConnection(cfg_),
              SqlServerConnectionText("10.0.0.7", "1433", "erp", "sa", "pw"));

    // An address whose only slash is its first character is used as it is.
    Application::Instance().session.SetStoredConnectionText(QString());
    StoreName(SqlServerConnectionText("/srv", "1433", "erp", "sa", "pw"));
    EXPECT_EQ(ResolveSessionConnection(cfg_),
              SqlServerConnectionText("/srv", "1433", "erp", "sa", "pw"));
    EXPECT_EQ(server_.requests().size(), 1);
}

TEST_F(ConnectionResolution, MissingConfigurationGivesAnEmptyText) {
    EXPECT_TRUE(ResolveSessionConnection(dir_.filePath("none.ini")).isEmpty());
    EXPECT_EQ(Application::Instance().session.dbKind.Get(), "2");
}

} // namespace
