#pragma once

// Access functions that SQLite lacks, registered on a connection so that translated statements
// can call them by their Access names: instr with a start (and compare) argument, cstr, lcase,
// ucase, len, mid, nz, now and getdate.

struct sqlite3;

// Returns false when db is null or any registration fails.
bool RegisterAccessFunctions(sqlite3* db);
