#pragma once
class CMainApp;

// Stands where the main window will be: tells the logged-in user, in one message, how far the
// client has come.
void ShowMainWindowPlaceholder(CMainApp& app);
