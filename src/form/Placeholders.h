#pragma once
// Form-level placeholder expansion: the {{name}} tokens whose values come from the session, the
// local clock and the form window. Every control value and every command text passes through it
// last, after the command has replaced its own tokens.
#include <QDate>
#include <QString>
#include <QTime>

#include <functional>
#include <optional>

class SessionContext;

// What the form window tells the expansion about itself.
class PlaceholderForm {
public:
    virtual ~PlaceholderForm() = default;

    // {{index2}}: the current text of the edit-with-button control whose button opened this form
    // as its pop-up; nullopt in every other form, where the token then stays in the text.
    virtual std::optional<QString> PickListOwnerText() const = 0;
    // {{type}}: the form type, from the menu entry or from the opening command.
    virtual QString FormType() const = 0;
    // {{index}}: the value handed over by the opening form; empty when opened from the menu.
    virtual QString OpenerValue() const = 0;
    // {{selected_uid_0}}: keys of the rows the last paged search loaded, joined with ",", less
    // those deleted since; empty before the first search.
    virtual QString LoadedKeys() const = 0;
    // {{TOP30}} / {{TOP100}}: true while the head's INIT action runs after the login-time check.
    virtual bool InStartupAction() const = 0;
};

// A reading of the machine's local wall clock, to the second. Kept as plain date and time fields
// rather than a QDateTime: building a local QDateTime costs microseconds, and the expansion takes
// nine readings per text.
struct ClockReading {
    QDate date;
    QTime time;
};
using PlaceholderClock = std::function<ClockReading()>;

ClockReading LocalClockNow();

// Returns `text` with the form-level tokens replaced in one left-to-right pass:
// {{index2}} {{type}} {{cpy}} {{today:year}} {{today:month}} {{today:day}} {{today:today}}
// {{index}} {{userid}} {{user_id}} {{username}} {{date}} {{datetime}} {{today:year_big}}
// {{today:month_big}} {{today:day_big}} {{selected_uid_0}} {{selected_uids_now}} {{db_path}}
// {{version_exe}} {{exe_name}} {{ltime}} {{TOP30}} {{TOP100}} {{A0}} .. {{A9}}.
// A value is inserted as it is and never scanned again, so a user name holding "{{date}}" stays
// as it is. Unknown tokens, and tokens whose kind does not apply to the form, stay. Names are
// case-sensitive.
// Once the text holds any of these tokens, each of the nine date kinds reads the clock once, in
// the order above, whether or not its token occurs; a text without any of them is returned
// untouched without reading the clock or the form.
// For a statement, every value that comes from a user or the database (the pick-list owner's
// text, the form type, company, opener value, user uid, login id and name, loaded keys, paths,
// login time, {{A0}}..{{A9}}) is sealed, so that the session writes it as a literal; the clock's
// values and {{TOP30}}/{{TOP100}} are the client's own and go in as they are.
enum class PlaceholderUse { Display, Statement };
QString ExpandPlaceholders(const QString& text, const PlaceholderForm& form,
                           const SessionContext& app, PlaceholderUse use = PlaceholderUse::Display);
QString ExpandPlaceholders(const QString& text, const PlaceholderForm& form,
                           const SessionContext& app, const PlaceholderClock& clock,
                           PlaceholderUse use = PlaceholderUse::Display);

// The capital-numeral form of a year, month or day as written on cheques: "01" 零壹, "10" 零壹拾,
// "11" 壹拾壹, "20" 零贰拾, "2024" 贰零贰肆. Characters other than digits are kept as they are.
QString CapitalDigits(const QString& digits);
