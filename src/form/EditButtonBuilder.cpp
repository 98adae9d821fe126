// The edit-with-button box: its button's mode, its pop-up form and its pick list.
#include "form/ControlBuilders.h"

#include "data/DbSession.h"
#include "form/ControlHost.h"
#include "platform/StyleBits.h"
#include "platform/ValueGrammars.h"
#include "widgets/EditWithButton.h"
#include "widgets/GridView.h"
#include "widgets/TypingLimit.h"

#include <QRegularExpression>

#include <optional>

using FormXml::XmlNode;

namespace {

struct EditButtonSettings {
    int style = 0;
    EditWithButton::Mode mode = EditWithButton::Mode::TextEditor;
    QString popupValue;
    QString popupDocument; // the serialised popup/html element the `popup` names
    int minLength = 0;     // the pop-up form's column offset; negative: the first column's width
    int maxLength = 0;     // the typing limit; negative: the pick list's width
    QString value;         // the pick-list query, or else the text shown
    bool pickList = false; // `value` is a query
    QList<int> pickParameters;
    bool readOnly = false;
    bool disabled = false;
    QColor textColor;
    QColor background;
    bool buttonShaded = true;
};

EditButtonSettings ReadEditButton(const XmlNode& element, const ControlBuildContext& context) {
    EditButtonSettings settings;
    settings.style = element.GetAttributeInt("style", 0);
    settings.popupValue = element.GetAttribute("popup");
    if (settings.popupValue == QLatin1String("-1")) {
        settings.mode = EditWithButton::Mode::ColorChooser;
    } else if (!settings.popupValue.isEmpty()) {
        settings.mode = EditWithButton::Mode::PopupForm;
        settings.popupDocument =
            context.body
                .SelectSingleNode(QStringLiteral("popup/html[@id=%1]").arg(settings.popupValue))
                .GetXml();
    }
    settings.minLength = element.GetAttributeInt("minlen", 0);
    settings.maxLength = element.GetAttributeInt("maxlen", 0);
    settings.value = element.GetAttribute("value");
    settings.pickList = settings.value.startsWith(QLatin1String("SELECT ")) ||
                        settings.value.startsWith(QLatin1String("EXEC "));
    // An empty part keeps its place in the numbering: "51;;52" makes 52 the third parameter.
    for (const QString& part : element.GetAttribute("desp").split(QLatin1Char(';')))
        settings.pickParameters.append(ParseIntegerText(part));
    settings.readOnly = element.GetAttributeInt("readonly", 0) != 0;
    settings.disabled = element.GetAttributeInt("disabled", 0) != 0;
    settings.textColor = ColorAttribute(element, "color");
    settings.background = ColorAttribute(element, "img");
    settings.buttonShaded = element.GetAttribute("shade") != QLatin1String("0");
    return settings;
}

// The pick-list query with its placeholders filled in: "{{1}}" the typed text, "{{userid}}" the
// user, "{{p<n>}}" the text of the n-th parameter control (ids above 49) and, for a cell editor,
// "{{c<n>}}" the edited row's key (id 0) or its cell in column id - 1 (ids up to 49).
QString PickListStatement(const QString& query, const QString& typed,
                          const QList<int>& parameterIds, const QString& userUid,
                          const std::function<QString(int documentId)>& controlText,
                          const std::function<std::optional<QString>(int id)>& cellText) {
    // One pass over the query: a filled-in text is never searched for placeholders again, so
    // whatever the user types stays text. Form authors put {{1}} inside a quoted literal; its
    // quotes are doubled so that the typed text cannot end that literal.
    static const QRegularExpression placeholder(
        QStringLiteral("\\{\\{(1|userid|([pc])([1-9]\\d*))\\}\\}"));
    QString sql;
    qsizetype copied = 0;
    for (auto it = placeholder.globalMatch(query); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString name = match.captured(1);
        std::optional<QString> value;
        if (name == QLatin1String("1")) {
            value = QString(typed).replace(QLatin1Char('\''), QLatin1String("''"));
        } else if (name == QLatin1String("userid")) {
            value = userUid;
        } else {
            const int n = match.captured(3).toInt();
            const bool known = n >= 1 && n <= parameterIds.size();
            const int id = known ? parameterIds[n - 1] : -1;
            if (match.captured(2) == QLatin1String("p")) {
                if (id > 49 && controlText)
                    value = controlText(id);
            } else if (id >= 0 && id <= 49 && cellText) {
                value = cellText(id);
            }
            // Form texts go in with their quotes doubled, like the typed text.
            if (value)
                value->replace(QLatin1Char('\''), QLatin1String("''"));
        }
        if (!value)
            continue;
        sql += QStringView(query).mid(copied, match.capturedStart() - copied);
        sql += *value;
        copied = match.capturedEnd();
    }
    sql += QStringView(query).mid(copied);
    return sql;
}

// Rows as code and name pairs, on a session of the worker's own.
QStringList FindPickListRows(const QString& sql) {
    QStringList cells;
    DbSession session(DbSession::FromConfig);
    if (session.Open()) {
        if (auto rows = session.OpenRecordset(sql)) {
            for (rows->MoveFirst(); !rows->IsEof(); rows->MoveNext()) {
                cells.append(rows->Text(0));
                cells.append(rows->FieldCount() > 1 ? rows->Text(1) : QString());
            }
        }
    }
    return cells;
}

QWidget* CreateEditButton(const EditButtonSettings& settings, const ControlBuildContext& context) {
    auto* box = new EditWithButton(context.host.FormWidget());
    box->SetHost(&context.host);
    StyleBits::ApplyEditStyle(box, settings.style);
    box->SetMode(settings.mode);
    if (settings.mode == EditWithButton::Mode::PopupForm)
        box->SetPopup(settings.popupValue, settings.popupDocument);
    box->SetColumnOffset(settings.minLength);

    const int firstColumn = settings.minLength < 0 ? -settings.minLength : 280;
    const int totalWidth = settings.maxLength < 0 ? -settings.maxLength : 800;
    if (settings.pickList) {
        // The statement is made on the interface thread, where the other controls may be read;
        // only the finished text goes to the worker.
        // The edited row's cells, read on the interface thread when the box edits a grid cell.
        auto cellText = [box](int id) -> std::optional<QString> {
            GridView* grid = box->EditedGrid();
            const int row = box->EditedRow();
            if (!grid || row < 0)
                return std::nullopt;
            return id == 0 ? grid->RowKey(row) : grid->CellText(row, id - 1);
        };
        box->SetPickList(
            [query = settings.value, parameters = settings.pickParameters, user = context.userUid,
             controlText = context.controlText,
             cellText](const QString& typed) -> EditWithButton::PickListRows {
                return [sql = PickListStatement(query, typed, parameters, user, controlText,
                                                cellText)] { return FindPickListRows(sql); };
            },
            firstColumn, totalWidth);
    } else {
        box->setText(settings.value);
        box->setCursorPosition(0);
    }

    if (settings.readOnly)
        box->setReadOnly(true);
    LimitTyping(box, settings.maxLength);
    if (settings.disabled)
        box->setEnabled(false);
    QPalette palette = box->palette();
    if (settings.textColor.isValid())
        palette.setColor(QPalette::Text, settings.textColor);
    if (settings.background.isValid())
        palette.setColor(QPalette::Base, settings.background);
    box->setPalette(palette);
    box->SetButtonShaded(settings.buttonShaded);
    return box;
}

} // namespace

QWidget* BuildEditButton(const XmlNode& element, const ControlBuildContext& context) {
    return CreateEditButton(ReadEditButton(element, context), context);
}
