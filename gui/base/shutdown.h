#pragma once
// Ending the program: the name every copy of it runs under, and the request
// that ends the message loop.
#include <string>

// The executable name whose every process the exit sequence and the
// progress window's close end: the platform's own name of the program
// (platform::ProgramExecutableName), so that the program's own process is
// one of them and the program ends inside that call. CP936.
const std::string& ExecutableNameEndedAtExit();

// Replaces that name for the rest of the run. Only the test build of the
// program and the tests call it, so that a copy started by a test ends its
// own kind and never a Zelvoran that someone has open.
void SetExecutableNameEndedAtExit(std::string name);

// Ends the message loop: the request is queued and the loop ends when it
// reads it, without closing any window (the windows are destroyed with the
// program). A request made before the loop runs (while the first showing
// loads the grid) keeps the loop from starting.
void RequestApplicationEnd();
bool ApplicationEndRequested();
