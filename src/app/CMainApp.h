#pragma once

#include <QString>

// The caption of the main window while no file is open, and of the update question. Written once
// at start-up, before the main window exists; only read afterwards, on the user-interface thread.
extern QString appCaption;

// The application object: sets up Qt, shows the splash, then runs the main window until it closes.
class CMainApp
{
public:
    // Returns the process's exit code.
    int Run(int argc, char** argv);
};
