#include "gui/browser/search_controls.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextBlock>

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

SuggestionMemo::SuggestionMemo(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setContextMenuPolicy(Qt::DefaultContextMenu);
  setReadOnly(true);  // its lines are the search's, not the user's to edit
  viewport()->setCursor(Qt::PointingHandCursor);
}

int SuggestionMemo::SelectionStartLine() const {
  const QTextCursor cursor = textCursor();
  return document()->findBlock(cursor.selectionStart()).blockNumber();
}

void SuggestionMemo::SelectLine(int line) {
  const QTextBlock block = document()->findBlockByNumber(line);
  if (!block.isValid()) return;
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
