#pragma once
// The complete table of command names an action may use, each with the family that implements
// it and its handler once that family exists. Dispatch goes through the table: a family plugs
// in by putting its handler into its rows. Names are compared exactly; a name the table knows
// without a handler fails its action with a message naming it, while a name the table does not
// know is ignored (it succeeds).
#include "form/XmlDocument.h"

#include <span>

class CommandContext;
struct CommandResult;

// A handler fills its result (messages, jump) and says whether the command succeeded; it sees
// the form only through the context.
using CommandFunction = bool (*)(CommandContext& form, CommandResult& result,
                                 const FormXml::XmlNode& command, int windowId);

enum class CommandFamily {
    Flow,     // steering the action runner
    Query,    // reading into fields, lists, grids and trees
    Save,     // writing records
    Grid,     // grid and tree manipulation
    Window,   // windows, input and the system
    Print,    // printing
    TreeList, // the tree-list
    Chart,    // charts
    Web,      // web pages
    File,     // files and spreadsheets
};

struct CommandEntry {
    const char* name;
    CommandFamily family;
    CommandFunction handler; // null until the family is built
};

// Every command name, grouped by family.
std::span<const CommandEntry> CommandTable();

// Puts every handler of the table into the form engine's command registry.
void RegisterCommandFamilies();

// --- Handlers, by family ---

// Flow: moves the runner by the number its query gives (the result's jump).
bool Jump(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
          int windowId);
