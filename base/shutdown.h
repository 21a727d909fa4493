#pragma once
// Ending the program: the name every copy of it runs under, and the request
// that ends the message loop.

// Every process of this name is ended at exit, the program's own included.
inline constexpr const char* kProgramExecutableName = "Zelvoran.exe";

// Posts a quit request to the message loop. A request made before the loop
// runs (while the first showing loads the grid) ends the loop as soon as it
// starts.
void RequestApplicationEnd();
bool ApplicationEndRequested();
