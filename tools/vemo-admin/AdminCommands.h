#pragma once
// Command-line front of the admin tool. Errors are one line on stderr and a non-zero result.
#include <QStringList>

// Runs one command line (without the program name); returns the process exit code.
int RunAdminCommand(const QStringList& arguments);
