// The client's own statements, written for the local-file kind, run through the session on the
// account-set schema of both engines.
#include "data/DbSession.h"
#include "support/TestAccountSet.h"

#include <gtest/gtest.h>

namespace {

class ClientStatements : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        QString why;
        set_ = TestAccountSet::Create(GetParam(), why);
        if (!set_)
            GTEST_SKIP() << qPrintable(why);
        session_.SetConnectionString(set_->connectionText());
        ASSERT_TRUE(session_.Open()) << qPrintable(session_.Detail());
        // Menu 5 with buttons 3 (group state -1), 4 (default -1, group 0), 6 (default -1,
        // group 1); user 2 in group 2 sees menus 1 and 5 and keeps 5 as a favourite.
        ASSERT_TRUE(session_.Execute(QStringLiteral(
            "INSERT INTO c_user_group (name_0, auth_0) VALUES ('店员', '1,5');"
            "INSERT INTO c_user (id_0, name_0, pass_0, user_group_uid_0, auth1_0) "
            "VALUES ('clerk', '店员', 'x', 2, '5');"
            "INSERT INTO c_menu_dh (pUid_0, leaf_0, name_0, level_0, order_0) VALUES "
            "(0,0,'业务',0,1);"
            "INSERT INTO c_menu_dh (pUid_0, leaf_0, name_0, level_0, order_0) VALUES "
            "(1,1,'物料',1,1);"
            "INSERT INTO c_menu_dh (pUid_0, leaf_0, name_0, level_0, order_0) VALUES "
            "(1,1,'入库',1,2);"
            "INSERT INTO c_menu_dh (pUid_0, leaf_0, name_0, level_0, order_0) VALUES "
            "(1,1,'合同',1,3);"
            "INSERT INTO c_menu_dh (pUid_0, leaf_0, name_0, level_0, order_0) VALUES "
            "(1,1,'用户',1,4);"
            "INSERT INTO c_menu_button (menu_uid_0, button_id_0, sta_0) VALUES (5, 3, 0);"
            "INSERT INTO c_menu_button (menu_uid_0, button_id_0, sta_0) VALUES (5, 4, -1);"
            "INSERT INTO c_menu_button (menu_uid_0, button_id_0, sta_0) VALUES (5, 6, -1);"
            "INSERT INTO c_menu_button_group (menu_button_uid_0, group_uid_0, sta_0) VALUES (1, 2, "
            "-1);"
            "INSERT INTO c_menu_button_group (menu_button_uid_0, group_uid_0, sta_0) VALUES (2, 2, "
            "0);"
            "INSERT INTO c_menu_button_group (menu_button_uid_0, group_uid_0, sta_0) VALUES (3, 2, "
            "1);"
            "UPDATE c_app SET ver_0='1.2.0.0' WHERE uid_0=1")))
            << qPrintable(session_.Detail());
    }

    std::unique_ptr<TestAccountSet> set_;
    DbSession session_;
};

TEST_P(ClientStatements, ButtonRightTestFindsForbiddenButtons) {
    const QString test = QStringLiteral(
        "SELECT TOP 1 1 FROM (c_menu_button \t\tLEFT JOIN c_menu_button_group ON "
        "c_menu_button.uid_0 = c_menu_button_group.menu_button_uid_0) \t\tLEFT JOIN c_user ON "
        "c_menu_button_group.group_uid_0 = c_user.user_group_uid_0 \t\tWHERE "
        "(c_menu_button.menu_uid_0=0%1 AND c_menu_button.button_id_0=%2 AND c_user.uid_0=%3 "
        "\t\tAND (c_menu_button_group.sta_0<0 OR (c_menu_button.sta_0<0 AND "
        "c_menu_button_group.sta_0=0)))");
    EXPECT_TRUE(session_.Exists(test.arg("5").arg(3).arg("2"))) << qPrintable(session_.Detail());
    EXPECT_TRUE(session_.Exists(test.arg("5").arg(4).arg("2")));
    EXPECT_FALSE(session_.Exists(test.arg("5").arg(6).arg("2")));
    EXPECT_FALSE(session_.Exists(test.arg("5").arg(3).arg("1")));
}

TEST_P(ClientStatements, MinimumVersionAndLoginQueries) {
    QString version;
    EXPECT_TRUE(session_.QueryValue(QStringLiteral("SELECT TOP 1 ver_0 FROM c_app WHERE uid_0=1"),
                                    version));
    EXPECT_EQ(version, QStringLiteral("1.2.0.0"));

    QStringList user;
    EXPECT_TRUE(session_.QueryColumns(
        QStringLiteral("SELECT uid_0,auth_0,name_0,pass_0 FROM view_c_user WHERE  state_0='正常' "
                       "AND  id_0='%1' AND pass_0='%2'")
            .arg("clerk", "x"),
        {"uid_0", "auth_0", "name_0", "pass_0"}, user));
    EXPECT_EQ(user, (QStringList{"2", "1,5", "店员", "x"}));

    ASSERT_TRUE(
        session_.Execute(QStringLiteral("UPDATE c_user SET loginTime_0=NOW() WHERE uid_0=2")));
    QString stamped;
    EXPECT_TRUE(session_.QueryValue(QStringLiteral("SELECT loginTime_0 FROM c_user WHERE uid_0=2"),
                                    stamped));
    EXPECT_TRUE(QDateTime::fromString(stamped, QStringLiteral("yyyy-MM-dd HH:mm:ss")).isValid())
        << qPrintable(stamped);

    const QString success = QStringLiteral(
        "INSERT INTO log_client_login(user_uid_0,name_0,ip_0,time_0,cpt_name_0,mac_0) "
        "\t\t\t\t\t\t\t\tselect top 1 %1 as user_uid_0,'%2' as name_0,'%3' as ip_0,now() as  "
        "time_0,'%4 - %5' as cpt_name_0,'%6' as mac_0 ");
    const QString failure = QStringLiteral(
        "INSERT INTO log_client_login(user_uid_0,name_0,ip_0,time_0,cpt_name_0,mac_0) "
        "\t\t\t\t\t\t\t\tselect top 1 0 as user_uid_0,'%1' as name_0,'%2' as ip_0,now() as  "
        "time_0,'%3' as cpt_name_0,'%4' as mac_0 ");
    EXPECT_TRUE(session_.Execute(
        success.arg("2", "clerk", "192.168.1.20", "pc-01", "1.0.0.0", "00-1A-2B-3C-4D-5E")))
        << qPrintable(session_.Detail());
    EXPECT_TRUE(
        session_.Execute(failure.arg("o''neil", "192.168.1.20", "pc-01", "00-1A-2B-3C-4D-5E")));
    QStringList rows;
    EXPECT_EQ(session_.QueryList(QStringLiteral("SELECT user_uid_0, name_0, cpt_name_0 FROM "
                                                "log_client_login ORDER BY uid_0"),
                                 rows),
              1);
    EXPECT_EQ(rows, (QStringList{"2", "clerk", "pc-01 - 1.0.0.0", "0", "o'neil", "pc-01"}));
}

TEST_P(ClientStatements, NavigationAndFavouritesFollowTheRights) {
    QStringList auth, fav;
    ASSERT_EQ(
        session_.QueryList(QStringLiteral("select auth_0 from view_c_user where uid_0=2"), auth),
        1);
    ASSERT_EQ(
        session_.QueryList(QStringLiteral("select auth1_0 from view_c_user where uid_0=2"), fav),
        1);
    const QString wrappedAuth = QStringLiteral(",") + auth.value(0) + QStringLiteral(",");
    const QString wrappedFav = QStringLiteral(",") + fav.value(0) + QStringLiteral(",");

    QStringList tree;
    ASSERT_EQ(session_.QueryList(QStringLiteral("SELECT pUid_0,leaf_0,name_0,uid_0 FROM c_menu_dh "
                                                "\t\t\twhere InStr((' ") +
                                     wrappedAuth +
                                     QStringLiteral("'),(','+CStr(uid_0)+','))>0 \t\t\torder by "
                                                    "level_0,pUid_0,order_0,uid_0"),
                                 tree),
              1)
        << qPrintable(session_.Detail());
    EXPECT_EQ(tree, (QStringList{"0", "0", "业务", "1", "1", "1", "用户", "5"}));

    QStringList favourites;
    ASSERT_EQ(session_.QueryList(
                  QStringLiteral("SELECT pUid_0,leaf_0,name_0,uid_0 FROM c_menu_dh \t\t\twhere "
                                 "InStr(('") +
                      wrappedAuth +
                      QStringLiteral("'),(','+CStr(uid_0)+','))>0 \t\t\tAND InStr(('") +
                      wrappedFav +
                      QStringLiteral("'),(','+CStr(uid_0)+','))>0 \t\t\torder by "
                                     "level_0,pUid_0,order_0,uid_0"),
                  favourites),
              1);
    EXPECT_EQ(favourites, (QStringList{"1", "1", "用户", "5"}));

    QStringList all;
    ASSERT_EQ(session_.QueryList(QStringLiteral("SELECT pUid_0,leaf_0,name_0,uid_0 FROM c_menu_dh "
                                                "order by level_0,pUid_0,order_0,uid_0"),
                                 all),
              1);
    EXPECT_EQ(all.size(), 5 * 4);

    EXPECT_TRUE(session_.Execute(
        QStringLiteral("UPDATE c_user SET auth1_0='%1' WHERE uid_0=%2").arg("5,2", "2")));
}

INSTANTIATE_TEST_SUITE_P(Engines, ClientStatements,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(EngineName(info.param)); });

} // namespace
