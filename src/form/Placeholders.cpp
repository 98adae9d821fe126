#include "form/Placeholders.h"

#include "data/InsertedText.h"
#include "data/SessionContext.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <ctime>
#include <type_traits>

namespace {

// The token kinds in the order in which they are replaced.
enum Step : int {
    kPickListOwner,
    kFormType,
    kCompany,
    kYear,
    kMonth,
    kDay,
    kTodaySlashed,
    kOpener,
    kUserUid,
    kLoginId,
    kUserName,
    kDate,
    kDateTime,
    kYearBig,
    kMonthBig,
    kDayBig,
    kLoadedKeys,
    kSelectedNow,
    kAccountSetPath,
    kExeVersion,
    kExeName,
    kLoginTime,
    kTop30,
    kTop100,
    kGlobal0,
    kStepCount = kGlobal0 + 10
};
static_assert(std::tuple_size_v<std::remove_cvref_t<decltype(SessionContext::globals)>> ==
              kStepCount - kGlobal0);

const std::array<QString, kStepCount>& Tokens() {
    static const std::array<QString, kStepCount> tokens = {
        QStringLiteral("{{index2}}"),
        QStringLiteral("{{type}}"),
        QStringLiteral("{{cpy}}"),
        QStringLiteral("{{today:year}}"),
        QStringLiteral("{{today:month}}"),
        QStringLiteral("{{today:day}}"),
        QStringLiteral("{{today:today}}"),
        QStringLiteral("{{index}}"),
        QStringLiteral("{{userid}}"),
        QStringLiteral("{{user_id}}"),
        QStringLiteral("{{username}}"),
        QStringLiteral("{{date}}"),
        QStringLiteral("{{datetime}}"),
        QStringLiteral("{{today:year_big}}"),
        QStringLiteral("{{today:month_big}}"),
        QStringLiteral("{{today:day_big}}"),
        QStringLiteral("{{selected_uid_0}}"),
        QStringLiteral("{{selected_uids_now}}"),
        QStringLiteral("{{db_path}}"),
        QStringLiteral("{{version_exe}}"),
        QStringLiteral("{{exe_name}}"),
        QStringLiteral("{{ltime}}"),
        QStringLiteral("{{TOP30}}"),
        QStringLiteral("{{TOP100}}"),
        QStringLiteral("{{A0}}"),
        QStringLiteral("{{A1}}"),
        QStringLiteral("{{A2}}"),
        QStringLiteral("{{A3}}"),
        QStringLiteral("{{A4}}"),
        QStringLiteral("{{A5}}"),
        QStringLiteral("{{A6}}"),
        QStringLiteral("{{A7}}"),
        QStringLiteral("{{A8}}"),
        QStringLiteral("{{A9}}"),
    };
    return tokens;
}

using TokenSet = std::bitset<kStepCount>;

// Which kinds occur anywhere in `text`. Occurring somewhere is exactly when a left-to-right
// replacement finds something, so kinds outside the set can be skipped without a search. One
// pass over the text; the tokens are only compared where "{{" starts, overlapping starts
// included ("{{{{date}}" holds {{date}} at its third character).
TokenSet TokensIn(const QString& text) {
    TokenSet found;
    const auto& tokens = Tokens();
    const QStringView view(text);
    for (qsizetype at = view.indexOf(u'{'); at >= 0 && at + 1 < view.size();
         at = view.indexOf(u'{', at + 1)) {
        if (view[at + 1] != u'{')
            continue;
        const QStringView rest = view.sliced(at);
        // No token is a prefix of another (each ends in "}}"), so one can start here at most.
        // The name's first character rules out nearly all of them before a full comparison.
        const auto hit = std::find_if(tokens.begin(), tokens.end(), [&](const QString& token) {
            return rest.size() >= token.size() && rest[2] == token[2] && rest.startsWith(token);
        });
        if (hit != tokens.end())
            found.set(static_cast<std::size_t>(hit - tokens.begin()));
    }
    return found;
}

bool ReadsClock(int step) {
    return (step >= kYear && step <= kTodaySlashed) || (step >= kDate && step <= kDayBig);
}

// Values the client makes itself: the clock's, its version and the TOP clauses, which are SQL.
bool IsClientsOwn(int step) {
    return ReadsClock(step) || step == kExeVersion || step == kTop30 || step == kTop100 ||
           step == kSelectedNow;
}

QString SealKeys(const QString& joined) {
    return joined.isEmpty() ? joined : SealKeyList(joined.split(QLatin1Char(',')));
}

QString TwoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString YearText(const ClockReading& now) {
    return QString::number(now.date.year());
}

QString DateText(const ClockReading& now, QChar separator) {
    return YearText(now) + separator + TwoDigits(now.date.month()) + separator +
           TwoDigits(now.date.day());
}

// The value of one kind; nullopt when the kind does not apply to this form.
std::optional<QString> ValueOf(int step, const PlaceholderForm& form, const SessionContext& app,
                               const ClockReading& now) {
    switch (step) {
    case kPickListOwner:
        return form.PickListOwnerText();
    case kFormType:
        return form.FormType();
    case kCompany:
        return app.companyName.Get();
    case kYear:
        return YearText(now);
    case kMonth:
        return TwoDigits(now.date.month());
    case kDay:
        return TwoDigits(now.date.day());
    case kTodaySlashed:
        return DateText(now, u'/');
    case kOpener:
        return form.OpenerValue();
    case kUserUid:
        return app.userUid;
    case kLoginId:
        return app.loginId;
    case kUserName:
        return app.userName;
    case kDate:
        return DateText(now, u'-');
    case kDateTime: {
        return DateText(now, u'-') + u' ' + TwoDigits(now.time.hour()) + u':' +
               TwoDigits(now.time.minute()) + u':' + TwoDigits(now.time.second());
    }
    case kYearBig:
        return CapitalDigits(YearText(now));
    case kMonthBig:
        return CapitalDigits(TwoDigits(now.date.month()));
    case kDayBig:
        return CapitalDigits(TwoDigits(now.date.day()));
    case kLoadedKeys:
        return form.LoadedKeys();
    case kSelectedNow:
        return QString();
    case kAccountSetPath:
        return app.accountSetPath;
    case kExeVersion:
        return app.exeVersion;
    case kExeName:
        return app.exeName.Get();
    case kLoginTime:
        return app.loginTime;
    case kTop30:
        return form.InStartupAction() ? QStringLiteral("TOP 30") : QString();
    case kTop100:
        return form.InStartupAction() ? QStringLiteral("TOP 100") : QString();
    default:
        return app.globals[static_cast<std::size_t>(step - kGlobal0)];
    }
}

} // namespace

ClockReading LocalClockNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
            QTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59))}; // no leap second
}

QString ExpandPlaceholders(const QString& text, const PlaceholderForm& form,
                           const SessionContext& app, PlaceholderUse use) {
    static const PlaceholderClock localClock(&LocalClockNow);
    return ExpandPlaceholders(text, form, app, localClock, use);
}

QString ExpandPlaceholders(const QString& text, const PlaceholderForm& form,
                           const SessionContext& app, const PlaceholderClock& clock,
                           PlaceholderUse use) {
    const TokenSet present = TokensIn(text);
    if (present.none())
        return text;

    std::array<std::optional<QString>, kStepCount> values;
    for (int step = 0; step < kStepCount; ++step) {
        // Every date kind takes its own reading in its turn, so two kinds may straddle a second.
        const ClockReading now = ReadsClock(step) ? clock() : ClockReading{};
        if (!present.test(static_cast<std::size_t>(step)))
            continue;
        auto& value = values[static_cast<std::size_t>(step)];
        value = ValueOf(step, form, app, now);
        if (value && use == PlaceholderUse::Statement && !IsClientsOwn(step))
            *value = step == kLoadedKeys ? SealKeys(*value) : SealInsertedText(*value);
    }

    // One pass over the form's text: a value is inserted once and never looked at again, so a
    // user name or a typed text holding "{{date}}" stays as it was typed.
    const auto& tokens = Tokens();
    const QStringView view(text);
    QString out;
    out.reserve(text.size() + 32);
    qsizetype copied = 0;
    for (qsizetype at = view.indexOf(u"{{"); at >= 0; at = view.indexOf(u"{{", at)) {
        const QStringView rest = view.sliced(at);
        const auto hit = std::find_if(tokens.begin(), tokens.end(), [&](const QString& token) {
            return rest.size() >= token.size() && rest[2] == token[2] && rest.startsWith(token);
        });
        const auto step = static_cast<std::size_t>(hit - tokens.begin());
        if (hit == tokens.end() || !values[step]) {
            ++at;
            continue;
        }
        out.append(view.sliced(copied, at - copied));
        out.append(*values[step]);
        at += hit->size();
        copied = at;
    }
    out.append(view.sliced(copied));
    return out;
}

QString CapitalDigits(const QString& digits) {
    static constexpr char16_t kNumerals[] = u"零壹贰叁肆伍陆柒捌玖";
    QString out;
    out.reserve(digits.size() + 2);
    bool allDigits = !digits.isEmpty();
    int value = 0; // held at 100 once it gets there, which is all the test below needs
    for (const QChar c : digits) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9') {
            out.append(QChar(kNumerals[u - u'0']));
            value = std::min(value * 10 + (u - u'0'), 100);
        } else {
            out.append(c);
            allDigits = false;
        }
    }
    // Two-digit values are read out with 拾 and lose their zeros; a result of two characters
    // then gets a leading 零 so that nothing can be written in front of it.
    if (allDigits && value >= 10 && value <= 99) {
        out.insert(1, QChar(u'拾'));
        out.remove(QChar(u'零'));
        if (out.size() == 2)
            out.prepend(QChar(u'零'));
    }
    return out;
}
