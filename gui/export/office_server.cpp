#include "gui/export/office_server.h"

namespace {
platform::AutomationServer* installed = nullptr;
}

platform::AutomationServer& OfficeServer() {
  return installed ? *installed : platform::PlatformAutomationServer();
}

void SetOfficeServer(platform::AutomationServer* server) { installed = server; }
