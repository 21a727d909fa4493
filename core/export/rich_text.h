#pragma once
// Plain text of a rich-text (RTF) document, as a rich-text control shows it.
// Input and output are CP936 bytes.
#include <string>
#include <string_view>

// Groups are followed; destinations that hold no visible text (font, colour
// and style tables, document information, pictures, "\*" groups ...) are
// skipped; \par and \line become CR LF, \tab a tab; \'hh gives the raw byte,
// \uN the CP936 bytes of code point N with its fallback characters skipped;
// \{ \} \\ give the brace or backslash. Raw CR and LF bytes are not text in
// RTF and are dropped, also right after the first byte of a double-byte
// character, which then shows as '?'. Anything after the outermost group's
// end is ignored.
std::string RichTextToPlain(std::string_view rtf);
