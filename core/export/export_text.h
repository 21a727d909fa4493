#pragma once
// The export text of a grid cell: the text every writer takes for it.
#include <string>
#include <string_view>

// True for a stored text that is rich text: it begins with "{\".
bool IsRichText(std::string_view stored);

// The stored text unchanged, or for rich text the plain text a rich-text
// control shows. Markup of any other kind is kept as it is.
std::string ExportText(std::string_view stored);

// The same without copying the usual plain text: returns `stored` itself, or
// the converted rich text kept in `buffer` (valid while `buffer` lives).
std::string_view ExportTextView(std::string_view stored, std::string& buffer);
