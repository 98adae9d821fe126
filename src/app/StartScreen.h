#pragma once
class CMainApp;

// Stands where the login dialog will be: opens the configured account set and tells the user,
// in one message, how far start-up got. Returns true to go on to the exit sequence normally.
bool ShowStartScreen(CMainApp& app);
