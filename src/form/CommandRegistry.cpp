#include "form/CommandRegistry.h"

#include <QHash>

namespace {

QHash<QString, CommandHandler>& Table() {
    static QHash<QString, CommandHandler> table;
    return table;
}

} // namespace

void RegisterCommand(const QString& name, CommandHandler handler) {
    Table().insert(name, std::move(handler));
}

CommandHandler FindCommand(const QString& name) {
    return Table().value(name);
}
