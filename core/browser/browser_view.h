#pragma once
// What the browser model needs from its window, and from the event loop the
// window runs in. The model holds the browser's state and decides; the window
// shows what it is told and passes on what the user does. Every call below
// shows one piece of the model's state; none of them reports back.
#include <functional>
#include <string>
#include <vector>

#include "core/base/keyword_match.h"
#include "core/browser/memo_lines.h"

// Show-all (every criterion in the grid) or retrieval (search by keyword);
// none until the settings name one.
enum class DisplayMode { None, ShowAll, Retrieval };

// The parts of a CP936 text that a search matched (MatchSpans), for the view
// to highlight; empty where nothing is.
using Highlights = std::vector<MatchSpan>;

// Which controls take input.
struct ControlStates {
  bool fieldSelector = true;
  bool fuzzyCheck = true;
  bool searchBox = true;
  bool retrievalButton = true;
};

class BrowserView {
 public:
  virtual ~BrowserView() = default;

  virtual void ShowTitle(const std::string& title) = 0;
  // The field selector's items and the chosen one (-1: none).
  virtual void ShowFieldItems(const std::vector<std::string>& items) = 0;
  virtual void ShowFieldIndex(int index) = 0;
  // The exact/fuzzy switch: its state and its caption.
  virtual void ShowMatchKind(bool fuzzy, const std::string& caption) = 0;
  virtual void ShowSearchText(const std::string& text) = 0;
  // The mode buttons, drawn at once: a long fill may follow.
  virtual void ShowMode(DisplayMode mode) = 0;
  virtual void ShowControlStates(const ControlStates& states) = 0;
  virtual void FocusSearchBox() = 0;

  virtual void ShowSuggestionList(bool visible) = 0;
  // The lines and, for each, what the search matched in it (one entry per
  // line), so the list can show why a line is there.
  virtual void ShowSuggestions(const MemoLines& lines, const std::vector<Highlights>& matches) = 0;
  // Highlights one line of the suggestion list.
  virtual void MarkSuggestion(int line) = 0;

  // The browser's progress bar, and the progress window's when `alsoWindow`
  // and the window exists. A maximum of 0 keeps the bar idle.
  virtual void ShowProgress(int position, int maximum, bool alsoWindow) = 0;
  // What a fuzzy search matched in the cells of grid row `row`: one entry
  // per grid column. Forgotten when the grid is cleared.
  virtual void ShowGridMatches(int row, const std::vector<Highlights>& cells) = 0;
  // The progress window: created on first use, its bar at 0, shown without
  // waiting; closed (hidden) after a load.
  virtual void OpenProgressWindow() = 0;
  virtual void CloseProgressWindow() = 0;

  // The standard error report.
  virtual void ShowError(const std::string& message) = 0;
  // The export command over the grid; `gridFilling` refuses it with its notice.
  virtual void Export(bool gridFilling) = 0;
};

// The event loop the window runs in.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // Lets pending window messages run (one turn of the event loop).
  virtual void ProcessEvents() = 0;
  // Runs `task` once control is back in the event loop.
  virtual void Later(std::function<void()> task) = 0;
};

// The virtual-key code of the Enter key.
inline constexpr int kVirtualKeyReturn = 13;
