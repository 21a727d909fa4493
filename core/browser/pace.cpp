#include "core/browser/pace.h"

#include <chrono>
#include <thread>

namespace {
int g_pauseMs = kRowPauseMs;
}

int RowPauseMs() { return g_pauseMs; }
void SetRowPauseMsForTests(int ms) { g_pauseMs = ms; }

void PauseAfterRow() {
  if (g_pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(g_pauseMs));
}
