#pragma once

class frmTovrane;
namespace appcore {
struct ProgramInfo;
}

// The program from its first window to its end: the splash window, which
// brings up `main`, then the event loop until the main window is closed.
// The splash starts from inside the event loop, so that closing the main
// window at any moment (also while its start-up waits for the update check
// or its question) ends the program. The system's requests to end (SIGTERM,
// SIGINT and SIGHUP; on Windows the console's Ctrl+C and close) end it as
// Exit does: the windows waiting for an answer are closed (as No or Cancel),
// then the main window. Returns the exit code.
int runProgram(frmTovrane &main, const appcore::ProgramInfo &info);

// True once the system has asked the program to end. Work that
// runs without letting events through (the builds) asks between files and
// stops there, so that the program ends without leaving a file half written.
bool endRequested();
