#include "gui/base/shutdown.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "platform/executable.h"

namespace {
bool g_endRequested = false;

std::string& EndedName() {
  static std::string name = platform::ProgramExecutableName();
  return name;
}
}  // namespace

const std::string& ExecutableNameEndedAtExit() { return EndedName(); }

void SetExecutableNameEndedAtExit(std::string name) { EndedName() = std::move(name); }

void RequestApplicationEnd() {
  g_endRequested = true;
  // exit() rather than quit(): quit() first asks every window to close, and
  // the main window's close runs the exit sequence, which may be the very
  // thing that asked for the end.
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

bool ApplicationEndRequested() { return g_endRequested; }
