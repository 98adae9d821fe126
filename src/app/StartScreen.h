#pragma once
// The last step of start-up: the main window, until the user leaves the client.
class Application;

// Shows the main window and returns when the user has confirmed leaving.
void RunMainWindow(Application& app);
