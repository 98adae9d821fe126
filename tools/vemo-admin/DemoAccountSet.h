#pragma once
// The demo account set: a small trading company with its business tables, a believable amount
// of data, a menu tree whose leaves carry the demo forms, two users and the clerk's button
// rights. The readable sources live in demo/ and are compiled in, so the tool works anywhere.
#include <QString>

#include <span>

class DbSession;

// One business function of the demo: its menu uid and its form file under demo/forms/.
struct DemoFunction {
    int menuUid;
    const char* name;
    const char* formFile;
};

// Every menu leaf of the demo, in menu order.
std::span<const DemoFunction> DemoFunctions();

// The definition text of a demo form file (e.g. "materials.xml"); empty when there is none.
QString DemoFormText(const QString& formFile);

// Writes the demo content into an account set that holds the client's schema and its first
// rows (as a new account set does): the business tables, the seed data, the menu rows with
// their packed forms and the button rights. Runs inside the caller's transaction; false with
// `error` set at the first failure.
bool AddDemoContent(DbSession& session, QString& error);

// Creates a new SQLite account set with the demo content (`init --sqlite FILE --demo`). Like
// a plain account set, an existing file is refused and a failure leaves nothing behind.
bool InitSqliteDemoAccountSet(const QString& filePath, QString& error);

// The same demo in the (empty) PostgreSQL database that the libpq conninfo names
// (`init --pg CONNINFO --demo`), in one transaction.
bool InitPostgresDemoAccountSet(const QString& connInfo, QString& error);
