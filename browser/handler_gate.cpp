#include "browser/handler_gate.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "app/error_report.h"

void HandlerGate::Run(std::function<void()> handler) {
  if (depth_ > 0) {
    deferred_.push_back(std::move(handler));
    return;
  }
  if (running_ > 0) {
    handler();
    return;
  }
  RunTopLevel(handler);
}

void HandlerGate::RunTopLevel(const std::function<void()>& handler) {
  ++running_;
  RunGuarded(handler);
  --running_;
}

void HandlerGate::LeaveLoop() {
  if (--depth_ > 0 || deferred_.empty() || drainPosted_) return;
  drainPosted_ = true;
  QMetaObject::invokeMethod(&context_, [this] { RunDeferred(); }, Qt::QueuedConnection);
}

void HandlerGate::RunDeferred() {
  drainPosted_ = false;
  // A deferred handler may start a loop of its own; what arrives during it
  // is deferred anew and drained after it.
  while (depth_ == 0 && !deferred_.empty()) {
    auto next = std::move(deferred_.front());
    deferred_.erase(deferred_.begin());
    RunTopLevel(next);
  }
}

void PumpMessages() { QCoreApplication::processEvents(); }
