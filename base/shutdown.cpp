#include "base/shutdown.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {
bool g_endRequested = false;
}

void RequestApplicationEnd() {
  g_endRequested = true;
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

bool ApplicationEndRequested() { return g_endRequested; }
