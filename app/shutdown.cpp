#include "app/shutdown.h"

#include <QCoreApplication>
#include <QMetaObject>

void RequestApplicationEnd() {
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}
