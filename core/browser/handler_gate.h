#pragma once
// The browser's one query is read row by row by loops that let pending window
// messages run (clearing the grid, the show-all fill, the line-cache build,
// column stepping, an export that waits for its office application). A
// handler the user starts meanwhile would replace the result under the loop.
// The rule: while such a loop runs, user handlers are deferred and run, in the
// order they came, right after the handler that ran the outermost loop has
// returned.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class EventPump;

class HandlerGate {
 public:
  // `report` shows the message of an error that ended a handler.
  HandlerGate(EventPump& pump, std::function<void(const std::string&)> report)
      : pump_(pump), report_(std::move(report)) {}
  ~HandlerGate() { *alive_ = false; }
  HandlerGate(const HandlerGate&) = delete;
  HandlerGate& operator=(const HandlerGate&) = delete;

  // Runs a handler for a user's event:
  //  - while a loop lets messages run, the handler waits until it has ended;
  //  - inside another handler, it runs at once, inside the error guard;
  //  - otherwise it runs at once inside the error guard, and what waited
  //    meanwhile runs after it.
  void Run(std::function<void()> handler);
  // Runs a handler inside the error guard without deferring it.
  void Guarded(const std::function<void()>& handler);
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

  EventPump& pump_;
  std::function<void(const std::string&)> report_;
  int depth_ = 0;
  int running_ = 0;
  bool drainPosted_ = false;
  std::vector<std::function<void()>> deferred_;
  // A drain posted to the event loop runs only while the gate lives.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
