#include "core/export/export_text.h"

#include "core/export/rich_text.h"

bool IsRichText(std::string_view stored) { return stored.starts_with("{\\"); }

std::string ExportText(std::string_view stored) {
  return IsRichText(stored) ? RichTextToPlain(stored) : std::string(stored);
}

std::string_view ExportTextView(std::string_view stored, std::string& buffer) {
  if (!IsRichText(stored)) return stored;
  buffer = RichTextToPlain(stored);
  return buffer;
}
