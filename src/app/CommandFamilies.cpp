#include "app/CommandFamilies.h"

#include "chart/ChartCommands.h"
#include "commands/CommandTable.h"
#include "print/PrintCommands.h"

void RegisterAllCommands() {
    RegisterCommandFamilies();
    RegisterPrintCommands();
    RegisterChartCommands();
}
