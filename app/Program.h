#pragma once

class frmTovrane;
struct ProgramInfo;

// The program from its first window to its end: the splash window, which
// brings up `main`, then the event loop until the main window is closed.
// The splash starts from inside the event loop, so that closing the main
// window at any moment (also while its start-up waits for the update check
// or its question) ends the program. Returns the exit code.
int runProgram(frmTovrane &main, const ProgramInfo &info);
