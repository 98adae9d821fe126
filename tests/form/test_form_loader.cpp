// Loading a business function's definition from c_menu_dh through the form-definition cache.
#include "app/Application.h"
#include "data/DbSession.h"
#include "form/DefinitionCodec.h"
#include "form/FormDefinitionLoader.h"
#include "support/TestAccountSet.h"

#include <gtest/gtest.h>

namespace {

TEST(FormDefinitionLoader, FoundMissingEmptyAndDamagedDefinitions) {
    QString why;
    auto set = TestAccountSet::Create(Engine::Sqlite, why);
    ASSERT_TRUE(set) << qPrintable(why);
    DbSession session;
    session.SetConnectionString(set->connectionText());
    ASSERT_TRUE(session.Open());
    ASSERT_TRUE(session.Execute("INSERT INTO c_menu_dh (name_0) VALUES ('good');"
                                "INSERT INTO c_menu_dh (name_0) VALUES ('empty');"
                                "INSERT INTO c_menu_dh (name_0) VALUES ('damaged');"
                                "INSERT INTO c_menu_dh (name_0) VALUES ('null')"));
    const QString form = QStringLiteral("<html version='1.0' id='0'><head title='入库单'/></html>");
    const QByteArray packed = PackDefinition(form, 12);
    ASSERT_TRUE(session.WriteBinary("SELECT * FROM c_menu_dh WHERE uid_0=1", {"form_0"}, {packed}));
    ASSERT_TRUE(
        session.WriteBinary("SELECT * FROM c_menu_dh WHERE uid_0=2", {"form_0"}, {QByteArray()}));
    ASSERT_TRUE(session.WriteBinary("SELECT * FROM c_menu_dh WHERE uid_0=3", {"form_0"},
                                    {packed.left(packed.size() / 2)}));

    FormRegistry app;
    QString text;
    EXPECT_EQ(LoadFormDefinition(app, session, "1", text), 1);
    EXPECT_EQ(text, form);
    EXPECT_EQ(app.formCache.value("1"), form);

    // Served from the cache: the stored value no longer matters.
    ASSERT_TRUE(session.Execute("UPDATE c_menu_dh SET form_0=NULL WHERE uid_0=1"));
    text.clear();
    EXPECT_EQ(LoadFormDefinition(app, session, "1", text), 1);
    EXPECT_EQ(text, form);

    // Four hours later the cache is emptied and the row is read again.
    app.formCacheFlushTick -= kFormCacheLifetimeMs + 1;
    text.clear();
    EXPECT_EQ(LoadFormDefinition(app, session, "1", text), -1);

    text.clear();
    EXPECT_EQ(LoadFormDefinition(app, session, "99", text), 0);
    EXPECT_EQ(text, QString::fromLatin1(kEmptyFormDefinition));

    for (const char* uid : {"2", "3", "4"}) {
        text.clear();
        QString error;
        EXPECT_EQ(LoadFormDefinition(app, session, uid, text, &error), -1) << uid;
        EXPECT_FALSE(error.isEmpty()) << uid;
        EXPECT_FALSE(app.formCache.contains(uid));
    }
}

} // namespace
