#include "gui/browser/search_controls.h"

#include <QContextMenuEvent>
#include <algorithm>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QFontMetrics>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextDocument>

// Marks in each line of the list the parts its search matched.
class MatchHighlighter final : public QSyntaxHighlighter {
 public:
  using QSyntaxHighlighter::QSyntaxHighlighter;
  std::vector<TextRanges> lines;

 protected:
  void highlightBlock(const QString&) override {
    const auto line = static_cast<size_t>(currentBlock().blockNumber());
    if (line >= lines.size()) return;
    for (const TextRange& range : lines[line]) setFormat(range.start, range.length, MatchFormat());
  }
};

namespace {

// Characters of a shortened line shown before its first match.
constexpr int kContextBeforeMatch = 6;
// Longest serial number with its "-" that a shortened line keeps.
constexpr int kLongestSerialPrefix = 12;

}  // namespace

void SearchEdit::mousePressEvent(QMouseEvent* event) {
  clicks_.Pressed();
  QLineEdit::mousePressEvent(event);
}

void SearchEdit::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (clicks_.Released(*event)) emit clicked();
}

void SearchEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  QLineEdit::mouseDoubleClickEvent(event);
  if (clicks_.DoubleClicked(*event)) emit doubleClicked();
}

void SearchEdit::keyReleaseEvent(QKeyEvent* event) {
  QLineEdit::keyReleaseEvent(event);
  if (event->isAutoRepeat()) return;
  const int key = event->key();
  emit keyReleased(key == Qt::Key_Return || key == Qt::Key_Enter ? kVirtualKeyReturn : key);
}

SuggestionMemo::SuggestionMemo(QWidget* parent)
    : QPlainTextEdit(parent), highlighter_(new MatchHighlighter(document())) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setContextMenuPolicy(Qt::DefaultContextMenu);
  setReadOnly(true);  // its lines are the search's, not the user's to edit
  viewport()->setCursor(Qt::PointingHandCursor);
}

void SuggestionMemo::ShowLines(const QStringList& lines, const std::vector<TextRanges>& matches) {
  lines_ = lines;
  matches_ = matches;
  markedLine_ = -1;
  LayOutLines();
}

// Each line as it reads in the list's present width: whole, or, when its
// first match would end beyond the visible width, shortened in front of the
// match. A user scans the list for the match, and keeps the serial number
// that says which criterion a line is; a list scrolled sideways can show the
// matches of only a few lines at a time.
void SuggestionMemo::LayOutLines() {
  laidOutWidth_ = viewport()->width();
  const int visible = laidOutWidth_ - 2 * static_cast<int>(document()->documentMargin());
  const QFontMetrics metrics(font());
  const QString ellipsis(QChar(0x2026));
  QString text;
  std::vector<TextRanges> shown(static_cast<size_t>(lines_.size()));
  for (qsizetype i = 0; i < lines_.size(); ++i) {
    const QString& line = lines_[i];
    TextRanges ranges = static_cast<size_t>(i) < matches_.size() ? matches_[i] : TextRanges();
    QString reads = line;
    if (!ranges.empty()) {
      const TextRange& first = ranges.front();
      const qsizetype dash = line.indexOf(QLatin1Char('-'));
      const int prefix = dash >= 0 && dash < kLongestSerialPrefix ? static_cast<int>(dash) + 1 : 0;
      const int from = std::max(prefix, first.start - kContextBeforeMatch);
      if (from > prefix && metrics.horizontalAdvance(line.left(first.start + first.length)) > visible) {
        reads = line.left(prefix) + ellipsis + line.mid(from);
        const int shift = from - prefix - 1;  // characters left out, less the ellipsis
        TextRanges kept;
        for (const TextRange& range : ranges) {
          const int start = std::max(range.start, from), end = range.start + range.length;
          if (end > start) kept.push_back({start - shift, end - start});
        }
        ranges = std::move(kept);
      }
    }
    if (i) text += QLatin1Char('\n');
    text += reads;
    shown[static_cast<size_t>(i)] = std::move(ranges);
  }
  highlighter_->lines = std::move(shown);
  setPlainText(text);
}

void SuggestionMemo::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  if (viewport()->width() == laidOutWidth_ || matches_.empty()) return;
  LayOutLines();
  if (markedLine_ >= 0) SelectLine(markedLine_);  // the picked line stays marked
}

int SuggestionMemo::SelectionStartLine() const {
  const QTextCursor cursor = textCursor();
  return document()->findBlock(cursor.selectionStart()).blockNumber();
}

void SuggestionMemo::SelectLine(int line) {
  const QTextBlock block = document()->findBlockByNumber(line);
  if (!block.isValid()) return;
  markedLine_ = line;
  // The caret goes to the line's beginning and the selection reaches back to
  // its end, so the list scrolls to show where the line begins, not where a
  // long line ends.
  QTextCursor cursor(document());
  cursor.setPosition(block.position() + block.length() - 1);
  cursor.setPosition(block.position(), QTextCursor::KeepAnchor);
  setTextCursor(cursor);
}

void SuggestionMemo::mousePressEvent(QMouseEvent* event) {
  clicks_.Pressed();
  // A right-button press moves no caret; the left one places it as usual.
  if (event->button() == Qt::LeftButton) QPlainTextEdit::mousePressEvent(event);
  emit mousePressed(event->button());
}

void SuggestionMemo::mouseReleaseEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseReleaseEvent(event);
  if (clicks_.Released(*event)) emit clicked();
}

void SuggestionMemo::mouseDoubleClickEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseDoubleClickEvent(event);
  if (clicks_.DoubleClicked(*event)) emit doubleClicked();
}

void SuggestionMemo::contextMenuEvent(QContextMenuEvent* event) {
  // The right button steps through columns; no context menu opens.
  event->accept();
}
