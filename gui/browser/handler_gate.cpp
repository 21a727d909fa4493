#include "gui/browser/handler_gate.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <utility>

#include "gui/base/error_report.h"

void HandlerGate::Run(std::function<void()> handler) {
  if (depth_ > 0) {
    deferred_.push_back(std::move(handler));
    return;
  }
  if (running_ > 0) {
    try {
      handler();
    } catch (...) {
      if (!pending_) pending_ = std::current_exception();
    }
    return;
  }
  RunTopLevel(handler);
}

void HandlerGate::RethrowPending() {
  if (pending_) std::rethrow_exception(std::exchange(pending_, nullptr));
}

void HandlerGate::RunTopLevel(const std::function<void()>& handler) {
  ++running_;
  RunGuarded(handler);
  --running_;
  pending_ = nullptr;
  // What waited for a loop of this handler runs now, after its error report.
  if (running_ == 0) RunDeferred();
}

void HandlerGate::LeaveLoop() {
  if (--depth_ > 0 || deferred_.empty() || drainPosted_ || running_ > 0) return;
  // A loop run outside any handler: drain once control is back in the loop.
  drainPosted_ = true;
  QMetaObject::invokeMethod(&context_, [this] { RunDeferred(); }, Qt::QueuedConnection);
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

void PumpMessages() { QCoreApplication::processEvents(); }
