#pragma once
// Hooks that let tests drive the whole program as a separate process; only
// the test build of the program (zelvoran_testable) has them. They are read
// from the environment once at start-up and do nothing when unset:
//   ZELVORAN_TEST_MESSAGE_LOG=<file>  every message box is appended to the
//       file as "caption<TAB>text<LF>" (UTF-8) and answered with OK at once;
//       an export's save dialog is logged as "(save dialog)<TAB><start
//       folder><LF>" and cancelled;
//   ZELVORAN_TEST_CLOSE=<what>@<ms>[,...]  after <ms> of running, the
//       window ("main" or "progress") is closed as by its close box, or
//       ("exit") the exit button "退出" is clicked; <what>@<file> does the
//       same once that file exists (a script closes the program when it
//       is done with it). Two more actions, given with a file: "search"
//       types the file's text (UTF-8) into the search box and releases
//       Enter there, "click.<objectName>" clicks that button of the main
//       window (a modal window it opens does not hold up later actions);
//   ZELVORAN_TEST_STATE=<file>  what the windows show, rewritten whole
//       every 100 ms as UTF-8 lines "<what><TAB><value>...": "window" and
//       the object name of each visible top-level window, "search" and the
//       search box's text, "progress" and the position of the main window's
//       progress bar (above 0 while a fill runs), "rows" and the grid's row
//       count, "row" and the cells of each of the grid's first rows,
//       "label", the object name
//       and the text of every visible label, "check", the object name, 1 or
//       0 and the caption of every visible check box and radio button;
//   ZELVORAN_TEST_END_NAME=<name>  the executable name (bare, or a full
//       path) that the exit sequence and the progress window end. Unset,
//       the test build ends the full path it runs under, so it ends itself
//       inside that call as the program does, and never a Zelvoran that
//       someone has open nor a copy that another test runs elsewhere;
//   ZELVORAN_TEST_LOCK_FOLDER=<folder>  the single-instance lock is taken
//       there instead of in the user's own places, so a test's copies meet
//       each other and no copy that someone has open.
class QWidget;

// Before any message box can appear.
void InstallTestMessageLog();
// Before the main window is created.
void InstallTestEndName();
// Before the main window is shown.
void InstallTestCloseTimers(QWidget* mainWindow);
void InstallTestStateReport(QWidget* mainWindow);
