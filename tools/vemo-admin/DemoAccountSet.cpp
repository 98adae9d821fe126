#include "DemoAccountSet.h"

#include "AccountSetInit.h"
#include "FormCommand.h"
#include "data/DbSession.h"
#include "form/DefinitionCodec.h"
#include "form/XmlDocument.h"

#include <QFile>

#include <array>

namespace {

constexpr auto kFunctions = std::to_array<DemoFunction>({
    {11, "物料档案", "materials.xml"},
    {12, "供应商档案", "suppliers.xml"},
    {13, "客户档案", "customers.xml"},
    {21, "入库单", "receipts.xml"},
    {22, "库存查询", "stock.xml"},
    {31, "销售合同", "contracts.xml"},
    {41, "用户与权限", "users.xml"},
});

QString ResourceText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// The session runs a script piece by piece and skips a piece that starts with "--", so
// whole-line comments go before it sees the text.
QString ScriptWithoutComments(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (!line.trimmed().startsWith(QLatin1String("--")))
            lines.append(line);
    return lines.join(QLatin1Char('\n'));
}

QString SessionError(const CDbSession& session) {
    QString text = session.Message().trimmed();
    const QString detail = session.Detail().trimmed();
    if (!detail.isEmpty())
        text += QStringLiteral(" (") +
                QString(detail).replace(QLatin1Char('\n'), QLatin1Char(' ')) + QLatin1Char(')');
    return text;
}

bool RunScript(CDbSession& session, const QString& name, QString& error) {
    const QString script = ResourceText(QStringLiteral(":/demo/") + name);
    if (script.isEmpty()) {
        error = QStringLiteral("缺少演示账套文件：%1").arg(name);
        return false;
    }
    if (session.Execute(ScriptWithoutComments(script)))
        return true;
    error = QStringLiteral("%1：%2").arg(name, SessionError(session));
    return false;
}

// A form that does not parse would only show "Load失败" to the user: refuse it here instead.
bool StoreForm(CDbSession& session, const DemoFunction& function, QString& error) {
    const QString file = QString::fromLatin1(function.formFile);
    const QString text = DemoFormText(file);
    ZUDad::CXmlDocument check;
    if (text.isEmpty() || !check.LoadXml(text)) {
        error = QStringLiteral("演示表单不是完整的 XML：%1").arg(file);
        return false;
    }
    const QByteArray packed = PackDefinition(text, kDefaultFormCodeBits);
    const QString row =
        QStringLiteral("SELECT uid_0, form_0 FROM c_menu_dh WHERE uid_0=%1").arg(function.menuUid);
    if (packed.isEmpty() || !session.WriteBinary(row, {QStringLiteral("form_0")}, {packed})) {
        error = QStringLiteral("不能写入表单 %1：%2").arg(file, SessionError(session));
        return false;
    }
    return true;
}

} // namespace

std::span<const DemoFunction> DemoFunctions() {
    return kFunctions;
}

QString DemoFormText(const QString& formFile) {
    return ResourceText(QStringLiteral(":/demo/forms/") + formFile);
}

bool AddDemoContent(CDbSession& session, QString& error) {
    if (!RunScript(session, QStringLiteral("schema.sql"), error) ||
        !RunScript(session, QStringLiteral("seed.sql"), error))
        return false;
    for (const DemoFunction& function : kFunctions)
        if (!StoreForm(session, function, error))
            return false;
    return true;
}

bool InitSqliteDemoAccountSet(const QString& filePath, QString& error) {
    return InitSqliteAccountSet(filePath, error, AddDemoContent);
}
