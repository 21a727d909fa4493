#pragma once
// Hooks that let tests drive the whole program as a separate process; only
// the test build of the program (zelvoran_testable) has them. They are read
// from the environment once at start-up and do nothing when unset:
//   ZELVORAN_TEST_MESSAGE_LOG=<file>  every message box is appended to the
//       file as "caption<TAB>text<LF>" (UTF-8) and answered with OK at once;
//   ZELVORAN_TEST_CLOSE=<window>@<ms>[,...]  after <ms> of running, the
//       window ("main" or "progress") is closed as by its close box.
class QWidget;

// Before any message box can appear.
void InstallTestMessageLog();
// Before the main window is shown.
void InstallTestCloseTimers(QWidget* mainWindow);
