#pragma once
// The search box and the suggestion list report the mouse and key events the
// browser's handlers act on, in the order a user makes them: a double click
// reports its click first; a right-button press reports the press and opens
// no context menu.
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStringList>
#include <utility>
#include <vector>

#include "core/browser/browser_view.h"
#include "gui/browser/match_ranges.h"

class MatchHighlighter;

// Tells a left-button click from the release that ends a double click,
// which is no click of its own.
class LeftClicks {
 public:
  void Pressed() { endsDoubleClick_ = false; }
  // True when the release makes a click.
  bool Released(const QMouseEvent& event) {
    return event.button() == Qt::LeftButton && !std::exchange(endsDoubleClick_, false);
  }
  // True for a left-button double click.
  bool DoubleClicked(const QMouseEvent& event) {
    if (event.button() != Qt::LeftButton) return false;
    endsDoubleClick_ = true;
    return true;
  }

 private:
  bool endsDoubleClick_ = false;
};

class SearchEdit final : public QLineEdit {
  Q_OBJECT
 public:
  using QLineEdit::QLineEdit;

 signals:
  void clicked();
  void doubleClicked();
  void keyReleased(int virtualKey);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  LeftClicks clicks_;
};

class SuggestionMemo final : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit SuggestionMemo(QWidget* parent);
  // Shows `lines`, one per line, with the parts in `matches` (positions in
  // each line; none past its end) highlighted. A line whose first match
  // would lie beyond the visible width reads shortened so that the match is
  // in view: its serial number and "-" stay, "…" stands for the text left
  // out, and the line goes on a few characters before the match. The lines
  // are laid out again when the list's width changes.
  void ShowLines(const QStringList& lines, const std::vector<TextRanges>& matches);
  // The line that holds the start of the selection (the caret a click placed).
  int SelectionStartLine() const;
  // Highlights line `line`, the caret at its beginning.
  void SelectLine(int line);

 signals:
  void clicked();
  void doubleClicked();
  void mousePressed(Qt::MouseButton button);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOutLines();

  LeftClicks clicks_;
  QStringList lines_;
  std::vector<TextRanges> matches_;
  int laidOutWidth_ = -1;
  int markedLine_ = -1;
  MatchHighlighter* highlighter_;
};
