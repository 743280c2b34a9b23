// Start-up: the classes, menus, hidden statistics window and tray icon made before the message loop runs.
#pragma once

// Registers the classes, loads the menus, creates the hidden statistics window and adds the tray icon.
bool initApplication();
