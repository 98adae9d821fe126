#pragma once
// Every command of the table with its handler: the core families, and the families that live
// above the command table (printing, charts), which fill in their handlers at start-up. The client,
// the play runner, the tests and the benchmarks all call this one function, so none of them can
// run forms with a family missing.
void RegisterAllCommands();
