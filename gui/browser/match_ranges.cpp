#include "gui/browser/match_ranges.h"

#include <QColor>

TextRanges ToTextRanges(std::string_view text, const Highlights& spans,
                        const std::function<QString(std::string_view)>& display) {
  TextRanges ranges;
  for (const MatchSpan& span : spans) {
    if (span.begin >= span.end || span.end > text.size()) continue;
    const int start = static_cast<int>(display(text.substr(0, span.begin)).size());
    const int end = static_cast<int>(display(text.substr(0, span.end)).size());
    if (end > start) ranges.push_back({start, end - start});
  }
  return ranges;
}

QTextCharFormat MatchFormat() {
  QTextCharFormat format;
  format.setBackground(QColor(255, 221, 64));
  format.setForeground(QColor(0, 0, 0));
  return format;
}
