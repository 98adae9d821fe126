#include "DemoAccountSet.h"

#include "AccountSetInit.h"
#include "FormCommand.h"
#include "data/ConnectionText.h"
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
    {14, "物料分类", "categories.xml"},
    {15, "网上报价", "web.xml"},
    {21, "入库单", "receipts.xml"},
    {22, "库存查询", "stock.xml"},
    {31, "销售合同", "contracts.xml"},
    {32, "交货计划", "delivery.xml"},
    {33, "销售分析", "analysis.xml"},
    {41, "用户与权限", "users.xml"},
});

bool RunScript(DbSession& session, const QString& name, QString& error) {
    const QString script = ResourceScript(QStringLiteral(":/demo/") + name);
    if (script.isEmpty()) {
        error = QStringLiteral("缺少演示账套文件：%1").arg(name);
        return false;
    }
    if (session.Execute(script))
        return true;
    error = QStringLiteral("%1：%2").arg(name, SessionError(session));
    return false;
}

// A form that does not parse would only show "Load失败" to the user: refuse it here instead.
bool StoreForm(DbSession& session, const DemoFunction& function, QString& error) {
    const QString file = QString::fromLatin1(function.formFile);
    const QString text = DemoFormText(file);
    FormXml::XmlDocument check;
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

// The spreadsheet templates that exports fill, stored as a shop would store them.
bool StoreTemplates(DbSession& session, QString& error) {
    QFile file(QStringLiteral(":/demo/templates/stock.xlsx"));
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("缺少演示账套文件：templates/stock.xlsx");
        return false;
    }
    if (!session.WriteBinary(QStringLiteral("SELECT * FROM c_xltx WHERE uid_0=1"),
                             {QStringLiteral("file_0")}, {file.readAll()})) {
        error = QStringLiteral("不能写入模板：%1").arg(SessionError(session));
        return false;
    }
    return true;
}

bool AddDemoContent(DbSession& session, QString& error) {
    // The seed is written in the Access SQL that both kinds translate; only the table
    // definitions differ, and PostgreSQL's key sequences must learn of the seeded keys.
    const bool postgres = session.Kind() == int(DbKindCode::Other);
    if (!RunScript(session,
                   postgres ? QStringLiteral("schema.postgres.sql") : QStringLiteral("schema.sql"),
                   error) ||
        !RunScript(session, QStringLiteral("seed.sql"), error) ||
        (postgres && !RunScript(session, QStringLiteral("sequences.postgres.sql"), error)) ||
        !StoreTemplates(session, error))
        return false;
    for (const DemoFunction& function : kFunctions)
        if (!StoreForm(session, function, error))
            return false;
    return true;
}

bool InitSqliteDemoAccountSet(const QString& filePath, QString& error) {
    return InitSqliteAccountSet(filePath, error, AddDemoContent);
}

bool InitPostgresDemoAccountSet(const QString& connInfo, QString& error) {
    return InitPostgresAccountSet(connInfo, error, AddDemoContent);
}
