// Form-level placeholder expansion: each token's value, the one pass whose inserted values
// are never scanned again, the form-dependent tokens, the clock readings and the capital numerals.
#include "app/Application.h"
#include "form/Placeholders.h"
#include "support/SessionFacts.h"

#include <gtest/gtest.h>

#include <random>

// Readable failure output for texts.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

struct FakeForm : PlaceholderForm {
    std::optional<QString> pickListOwnerText;
    QString formType;
    QString openerValue;
    QString loadedKeys;
    bool inStartupAction = false;

    std::optional<QString> PickListOwnerText() const override { return pickListOwnerText; }
    QString FormType() const override { return formType; }
    QString OpenerValue() const override { return openerValue; }
    QString LoadedKeys() const override { return loadedKeys; }
    bool InStartupAction() const override { return inStartupAction; }
};

const ClockReading kFixedNow{QDate(2024, 3, 5), QTime(19, 8, 9)};

class Placeholders : public ::testing::Test {
protected:
    Placeholders() {
        ChangeUser(app, [&](SessionContext::User& user) {
            user.userUid = "17";
            user.loginId = "zhang";
            user.userName = "张三";
            user.loginTime = "2024-03-05 08:30:00";
        });
        app.SetAccountSetPath("/srv/books/2024.db");
        ChangeStartUp(app, [&](SessionContext::StartUp& facts) {
            facts.exeVersion = "1.0.0.0";
            facts.exeName = "vemo";
        });
        app.SetCompanyName("华东贸易");
        for (int k = 0; k < 10; ++k)
            app.SetGlobal(int(static_cast<size_t>(k)), QStringLiteral("g%1").arg(k));
        form.formType = "采购";
        form.openerValue = "88";
    }

    QString Expand(const QString& text) const {
        return ExpandPlaceholders(text, form, app, [] { return kFixedNow; });
    }

    SessionContext app;
    FakeForm form;
};

TEST_F(Placeholders, EveryTokenAndWhatStays) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"{{type}}|{{cpy}}|{{index}}", "采购|华东贸易|88"},
        {"{{userid}}|{{user_id}}|{{username}}|{{ltime}}", "17|zhang|张三|2024-03-05 08:30:00"},
        {"{{db_path}}|{{version_exe}}|{{exe_name}}", "/srv/books/2024.db|1.0.0.0|vemo"},
        {"{{A0}}{{A1}}{{A2}}{{A3}}{{A4}}{{A5}}{{A6}}{{A7}}{{A8}}{{A9}}", "g0g1g2g3g4g5g6g7g8g9"},
        {"a{{selected_uids_now}}b", "ab"},
        {"uid_0={{userid}} OR owner_0={{userid}}", "uid_0=17 OR owner_0=17"},
        // Not tokens of this expansion: other spellings, command-level tokens, broken braces.
        {"{{Type}} {{USERID}} {{A10}} {{a1}} {{ userid}} {{userid} {userid}}",
         "{{Type}} {{USERID}} {{A10}} {{a1}} {{ userid}} {{userid} {userid}}"},
        {"{{p1}} {{self}} {{id?uid}} {{\\n}} {{}}", "{{p1}} {{self}} {{id?uid}} {{\\n}} {{}}"},
        // Leftmost match wins, surrounding braces stay.
        {"{{{{userid}}}}", "{{17}}"},
        {"{{A1{{A1}}", "{{A1g1"},
        {"", ""},
        {"SELECT name_0 FROM c_user", "SELECT name_0 FROM c_user"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Expand(QString::fromUtf8(c.text)), QString::fromUtf8(c.expected)) << c.text;
}

TEST_F(Placeholders, InsertedValuesAreNeverScannedAgain) {
    // Values come from users and the database: what they hold is text, not more tokens.
    ChangeUser(app, [&](SessionContext::User& user) { user.userName = "{{date}} {{type}}"; });
    form.formType = "{{userid}}";
    app.SetGlobal(0, "{{A9}}");
    app.SetGlobal(9, "{{A0}}");
    ChangeUser(app, [&](SessionContext::User& user) { user.userUid = "{{userid}}"; });
    EXPECT_EQ(Expand("{{username}}"), "{{date}} {{type}}");
    EXPECT_EQ(Expand("{{type}}"), "{{userid}}");
    EXPECT_EQ(Expand("{{A0}}|{{A9}}"), "{{A9}}|{{A0}}");
    EXPECT_EQ(Expand("{{userid}}"), "{{userid}}");
    // Nor do they complete a token with the text around them.
    app.SetGlobal(0, "");
    app.SetGlobal(1, "一");
    ChangeUser(app, [&](SessionContext::User& user) { user.loginId = "A1"; });
    EXPECT_EQ(Expand("{{A1{{A0}}}}"), "{{A1}}");
    EXPECT_EQ(Expand("{{{{user_id}}}}"), "{{A1}}");
    // The values are inserted as they are, quotes included.
    ChangeUser(app, [&](SessionContext::User& user) { user.userName = "O'Brien"; });
    EXPECT_EQ(Expand("name_0='{{username}}'"), "name_0='O'Brien'");
}

TEST_F(Placeholders, PickListOwnerTextOnlyInItsPopUp) {
    const QString text = "WHERE code_0='{{index2}}' AND t='{{type}}'";
    EXPECT_EQ(Expand(text), "WHERE code_0='{{index2}}' AND t='采购'");
    form.pickListOwnerText = "42";
    EXPECT_EQ(Expand(text), "WHERE code_0='42' AND t='采购'");
    form.pickListOwnerText = "";
    EXPECT_EQ(Expand(text), "WHERE code_0='' AND t='采购'");
    // What the user typed in the owner is inserted as typed.
    form.pickListOwnerText = "{{type}}";
    EXPECT_EQ(Expand("{{index2}}"), "{{type}}");
}

TEST_F(Placeholders, FormStateTokens) {
    const QString query = "SELECT {{TOP30}} name_0 FROM t WHERE k IN ({{selected_uid_0}}) "
                          "UNION SELECT {{TOP100}} name_0 FROM t2 WHERE m='{{index}}'";
    form.openerValue = "";
    EXPECT_EQ(Expand(query), "SELECT  name_0 FROM t WHERE k IN () "
                             "UNION SELECT  name_0 FROM t2 WHERE m=''");
    form.inStartupAction = true;
    form.loadedKeys = "3,5,8";
    form.openerValue = "C-7";
    EXPECT_EQ(Expand(query), "SELECT TOP 30 name_0 FROM t WHERE k IN (3,5,8) "
                             "UNION SELECT TOP 100 name_0 FROM t2 WHERE m='C-7'");
}

TEST_F(Placeholders, DateTokens) {
    EXPECT_EQ(Expand("{{today:year}}|{{today:month}}|{{today:day}}|{{today:today}}"),
              "2024|03|05|2024/03/05");
    EXPECT_EQ(Expand("{{date}}|{{datetime}}"), "2024-03-05|2024-03-05 19:08:09");
    EXPECT_EQ(Expand("{{today:year_big}}年{{today:month_big}}月{{today:day_big}}日"),
              "贰零贰肆年零叁月零伍日");
}

TEST_F(Placeholders, EachDateTokenReadsTheClockInItsTurn) {
    // A clock one second later at every reading, starting two seconds before a new year.
    QDateTime next(QDate(2024, 12, 31), QTime(23, 59, 58), Qt::UTC);
    int readings = 0;
    const PlaceholderClock ticking = [&] {
        ++readings;
        const ClockReading now{next.date(), next.time()};
        next = next.addSecs(1);
        return now;
    };
    // Readings in order: year, month, day, today, date, datetime, year_big, month_big, day_big,
    // each taken whether or not its token occurs.
    EXPECT_EQ(
        ExpandPlaceholders("{{today:year}}|{{datetime}}|{{today:year_big}}", form, app, ticking),
        "2024|2025-01-01 00:00:03|贰零贰伍");
    EXPECT_EQ(readings, 9);

    EXPECT_EQ(ExpandPlaceholders("{{p1}} SELECT 1", form, app, ticking), "{{p1}} SELECT 1");
    EXPECT_EQ(readings, 9);
}

TEST(LocalClockNow, AgreesWithTheLocalTime) {
    // A few seconds of slack: a shared machine's clock may be stepped while the test runs, and
    // a reading that is not local time is hours away.
    const QDateTime before = QDateTime::currentDateTime().addSecs(-5);
    const ClockReading now = LocalClockNow();
    const QDateTime after = QDateTime::currentDateTime().addSecs(5);
    const QDateTime read(now.date, now.time);
    EXPECT_TRUE(before <= read && read <= after) << qPrintable(read.toString(Qt::ISODate));
}

// Replacing kind by kind with QString::replace over the whole text, exactly as the order
// prescribes, must give the same result on texts full of near-tokens and stray braces.
TEST_F(Placeholders, SameAsOnePassReplacement) {
    const QStringList tokens =
        QStringLiteral("{{index2}} {{type}} {{cpy}} {{today:year}} {{today:month}} {{today:day}} "
                       "{{today:today}} {{index}} {{userid}} {{user_id}} {{username}} {{date}} "
                       "{{datetime}} {{today:year_big}} {{today:month_big}} {{today:day_big}} "
                       "{{selected_uid_0}} {{selected_uids_now}} {{db_path}} {{version_exe}} "
                       "{{exe_name}} {{ltime}} {{TOP30}} {{TOP100}} {{A0}} {{A1}} {{A2}} {{A3}} "
                       "{{A4}} {{A5}} {{A6}} {{A7}} {{A8}} {{A9}}")
            .split(u' ');
    const QStringList pieces = {
        "{{",       "}}",     "{",      "}",          "A1",       "A0",         "date",
        "type",     "userid", "x",      "{{A1",       "{{date",   "}}}}",       "{{{{",
        "{{type}}", "{{A0}}", "{{A9}}", "{{userid}}", "{{date}}", "{{index2}}", "{{A10}}"};
    std::mt19937 random(7);
    auto Piece = [&] { return pieces[static_cast<qsizetype>(random() % pieces.size())]; };
    auto Text = [&](int most) {
        QString text;
        for (int n = static_cast<int>(random() % static_cast<unsigned>(most)); n > 0; --n)
            text += Piece();
        return text;
    };

    for (int round = 0; round < 3000; ++round) {
        form.pickListOwnerText = round % 2 ? std::optional<QString>(Text(3)) : std::nullopt;
        form.formType = Text(3);
        ChangeUser(app, [&](SessionContext::User& user) { user.userName = Text(3); });
        ChangeUser(app, [&](SessionContext::User& user) { user.loginId = Text(2); });
        app.SetGlobal(0, Text(2));
        app.SetGlobal(1, Text(2));
        app.SetGlobal(5, Text(2));
        const QString text = Text(12);

        // The values in the same order; the blanks are filled from the fixture below.
        QStringList values =
            QStringLiteral(
                "||华东贸易|2024|03|05|2024/03/05|88|17|||2024-03-05|2024-03-05 19:08:09|"
                "贰零贰肆|零叁|零伍|||/srv/books/2024.db|1.0.0.0|vemo|"
                "2024-03-05 08:30:00||")
                .split(u'|');
        values[0] = form.pickListOwnerText.value_or("{{index2}}");
        values[1] = form.formType;
        values[9] = app.loginId;
        values[10] = app.userName;
        values.append(QStringList(app.globals.begin(), app.globals.end()));
        ASSERT_EQ(values.size(), tokens.size());

        // One pass from the left: a token found is replaced and the scan goes on after it.
        QString expected;
        for (qsizetype at = 0; at < text.size();) {
            qsizetype k = 0;
            while (k < tokens.size() && !QStringView(text).sliced(at).startsWith(tokens[k]))
                ++k;
            if (k == tokens.size() || (k == 0 && !form.pickListOwnerText)) {
                expected += text[at++];
                continue;
            }
            expected += values[k];
            at += tokens[k].size();
        }
        ASSERT_EQ(Expand(text), expected) << qPrintable(text);
    }
}

TEST(CapitalDigits, DatePartsAsOnCheques) {
    const struct {
        const char* digits;
        const char* capital;
    } cases[] = {
        {"01", "零壹"},    {"05", "零伍"},       {"09", "零玖"},   {"10", "零壹拾"},
        {"11", "壹拾壹"},  {"12", "壹拾贰"},     {"19", "壹拾玖"}, {"20", "零贰拾"},
        {"25", "贰拾伍"},  {"30", "零叁拾"},     {"31", "叁拾壹"}, {"2024", "贰零贰肆"},
        {"100", "壹零零"}, {"2030", "贰零叁零"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CapitalDigits(QString::fromUtf8(c.digits)), QString::fromUtf8(c.capital))
            << c.digits;
}

} // namespace
