#pragma once
// What a search matched in a text, as the browser's Qt views highlight it:
// the model's byte spans of the CP936 text become positions in the QString
// the view shows, drawn in one look everywhere.
#include <QString>
#include <QTextCharFormat>
#include <functional>
#include <string_view>
#include <vector>

#include "core/browser/browser_view.h"

struct TextRange {
  int start;
  int length;
};
using TextRanges = std::vector<TextRange>;

// `spans` of CP936 `text` as positions in display(text). `display` turns a
// CP936 text into what the view shows, keeping the order of its characters
// (a line break may change its length); spans lie on character borders.
TextRanges ToTextRanges(std::string_view text, const Highlights& spans,
                        const std::function<QString(std::string_view)>& display);

// The look of a matched part: a yellow marker behind the text.
QTextCharFormat MatchFormat();
