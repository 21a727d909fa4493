#include "core/store/jet_dialect.h"

#include <cctype>
#include <string_view>
#include <vector>

#include "platform/ascii_case.h"

namespace store {
namespace {

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

size_t SkipBlanks(std::string_view s, size_t i) {
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  return i;
}

size_t IdentEnd(std::string_view s, size_t i) {
  while (i < s.size() && IsIdentChar(s[i])) ++i;
  return i;
}

bool WordAt(std::string_view s, size_t i, std::string_view word) {
  if (i + word.size() > s.size()) return false;
  for (size_t k = 0; k < word.size(); ++k)
    if (ascii::ToLower(s[i + k]) != word[k]) return false;
  return i + word.size() == s.size() || !IsIdentChar(s[i + word.size()]);
}

// a & b & c  ->  (CASE WHEN COALESCE(a,b,c) IS NULL THEN NULL
//                  ELSE IFNULL(a,'')||IFNULL(b,'')||IFNULL(c,'') END)
std::string RewriteJoins(std::string_view s) {
  std::string out;
  size_t i = 0;
  while (i < s.size()) {
    if (!IsIdentStart(s[i]) || (i > 0 && IsIdentChar(s[i - 1]))) {
      out += s[i++];
      continue;
    }
    std::vector<std::string_view> operands;
    size_t end = IdentEnd(s, i);
    operands.push_back(s.substr(i, end - i));
    size_t next = SkipBlanks(s, end);
    while (next < s.size() && s[next] == '&') {
      size_t start = SkipBlanks(s, next + 1);
      if (start >= s.size() || !IsIdentStart(s[start])) break;
      size_t stop = IdentEnd(s, start);
      operands.push_back(s.substr(start, stop - start));
      end = stop;
      next = SkipBlanks(s, end);
    }
    if (operands.size() == 1) {
      out.append(s.substr(i, end - i));
    } else {
      std::string all, joined;
      for (size_t k = 0; k < operands.size(); ++k) {
        if (k) {
          all += ',';
          joined += "||";
        }
        all.append(operands[k]);
        joined += "IFNULL(";
        joined.append(operands[k]);
        joined += ",'')";
      }
      out += "(CASE WHEN COALESCE(" + all + ") IS NULL THEN NULL ELSE " + joined + " END)";
    }
    i = end;
  }
  return out;
}

// where col <order|group|;|)|end>  ->  where col IS NOT NULL ...
std::string RewriteBareConditions(std::string_view s) {
  std::string out;
  size_t i = 0;
  while (i < s.size()) {
    if (WordAt(s, i, "where") && (i == 0 || !IsIdentChar(s[i - 1]))) {
      size_t col = SkipBlanks(s, i + 5);
      if (col < s.size() && IsIdentStart(s[col])) {
        size_t colEnd = IdentEnd(s, col);
        size_t after = SkipBlanks(s, colEnd);
        bool bare = after == s.size() || s[after] == ';' || s[after] == ')' ||
                    WordAt(s, after, "order") || WordAt(s, after, "group");
        if (bare) {
          out.append(s.substr(i, colEnd - i));
          out += " IS NOT NULL";
          i = colEnd;
          continue;
        }
      }
    }
    out += s[i++];
  }
  return out;
}

}  // namespace

std::string TranslateJet(const std::string& statement) {
  // Cut the text into runs outside and inside single quotes ('' stays inside).
  std::string out;
  std::string plain;
  size_t i = 0;
  auto flushPlain = [&] {
    out += RewriteBareConditions(RewriteJoins(plain));
    plain.clear();
  };
  while (i < statement.size()) {
    if (statement[i] != '\'') {
      plain += statement[i++];
      continue;
    }
    flushPlain();
    size_t j = i + 1;
    while (j < statement.size()) {
      if (statement[j] == '\'') {
        if (j + 1 < statement.size() && statement[j + 1] == '\'') {
          j += 2;
          continue;
        }
        break;
      }
      ++j;
    }
    size_t end = j < statement.size() ? j + 1 : j;
    out.append(statement, i, end - i);
    i = end;
  }
  flushPlain();
  return out;
}

}  // namespace store
