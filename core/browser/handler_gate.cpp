#include "core/browser/handler_gate.h"

#include <exception>

#include "core/browser/browser_view.h"

void HandlerGate::Run(std::function<void()> handler) {
  if (depth_ > 0) {
    deferred_.push_back(std::move(handler));
    return;
  }
  if (running_ > 0) {
    Guarded(handler);
    return;
  }
  RunTopLevel(handler);
}

void HandlerGate::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    report_(e.what());
  }
}

void HandlerGate::RunTopLevel(const std::function<void()>& handler) {
  ++running_;
  Guarded(handler);
  --running_;
  // What waited for a loop of this handler runs now, after its error report.
  if (running_ == 0) RunDeferred();
}

void HandlerGate::LeaveLoop() {
  if (--depth_ > 0 || deferred_.empty() || drainPosted_ || running_ > 0) return;
  // A loop run outside any handler: drain once control is back in the loop.
  drainPosted_ = true;
  pump_.Later([this, alive = alive_] {
    if (*alive) RunDeferred();
  });
}

void HandlerGate::RunDeferred() {
  drainPosted_ = false;
  if (running_ > 0) return;  // the running handler drains when it ends
  // A deferred handler may start a loop of its own; what arrives during it
  // is deferred anew and drained after it.
  while (depth_ == 0 && !deferred_.empty()) {
    auto next = std::move(deferred_.front());
    deferred_.erase(deferred_.begin());
    RunTopLevel(next);
  }
}
