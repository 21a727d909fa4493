#pragma once
// The browser's one query is read row by row by loops that let pending window
// messages run (clearing the grid, the show-all fill, the line-cache build,
// column stepping). A handler the user starts meanwhile would replace the
// result under the loop. The rule: while such a loop runs, user handlers that
// touch the query or the search state are deferred and run, in the order they
// came, right after the handler that ran the outermost loop has returned.
#include <QObject>
#include <exception>
#include <functional>
#include <vector>

class HandlerGate {
 public:
  // Runs a handler for an event:
  //  - while a loop lets messages run, the handler waits until it has ended;
  //  - inside another handler (a control changed by code), it runs at once;
  //    its error is kept and thrown again by RethrowPending, which the
  //    changing handler calls once the control's own code has returned (an
  //    exception must not pass through Qt's signal code);
  //  - otherwise it runs at once inside the error guard.
  void Run(std::function<void()> handler);
  // Throws the error of a handler that ran for a change made by code.
  void RethrowPending();
  bool LoopRunning() const { return depth_ > 0; }
  int DeferredCount() const { return static_cast<int>(deferred_.size()); }

  // Marks a message-pumping loop for its lifetime.
  class LoopScope {
   public:
    explicit LoopScope(HandlerGate& gate) : gate_(gate) { ++gate_.depth_; }
    ~LoopScope() { gate_.LeaveLoop(); }
    LoopScope(const LoopScope&) = delete;
    LoopScope& operator=(const LoopScope&) = delete;

   private:
    HandlerGate& gate_;
  };

 private:
  void LeaveLoop();
  void RunDeferred();

  void RunTopLevel(const std::function<void()>& handler);

  int depth_ = 0;
  int running_ = 0;
  std::exception_ptr pending_;
  bool drainPosted_ = false;
  std::vector<std::function<void()>> deferred_;
  QObject context_;  // a posted drain dies with the gate
};

// Lets pending window messages run (one turn of the message loop).
void PumpMessages();
