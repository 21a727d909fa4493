#pragma once
// The automation server that the Excel and Word writers obtain their office
// application from: the platform's own unless a test installed another.
#include "platform/dispatch.h"

platform::AutomationServer& OfficeServer();
// Installs `server` (not owned); nullptr goes back to the platform's server.
void SetOfficeServer(platform::AutomationServer* server);
