#pragma once
// Helpers shared by several windows: text splitting and testing, byte-wise
// folding and search, and the housekeeping of processes and of the PDF
// viewer control's registration. All text is CP936 bytes.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// A split list: always exactly kUserArraySlots slots, unused ones empty.
using userarray = std::vector<std::string>;
inline constexpr int kUserArraySlots = 255;

// Cuts `text` at every byte equal to `delimiter`. Slot k holds the k-th piece;
// pieces past the last slot are dropped. The text ends at its first NUL byte.
void SplitByChar(std::string text, char delimiter, userarray& out);
userarray SplitByChar(const std::string& text, char delimiter);

// True when `text` is digits with at most one inner '.', and the part before
// the '.' holds at most one '0'. Not asked about the empty text (answers false).
bool IsSerialNumber(const std::string& text);

// Reads a decimal (or "$"/"0x" hexadecimal) integer, blanks allowed in front;
// anything else throws "'<text>' is not a valid integer value".
int StrToInt(const std::string& text);

// Removes every leading and trailing byte of value 32 or less.
std::string TrimBlanks(std::string_view text);

// Upper-cases the ASCII letters a to z only, byte by byte.
std::string AsciiUpper(std::string_view text);

// Byte-wise substring test after folding both sides with AsciiUpper; the
// empty needle is never found. `foldedNeedle` must already be folded.
bool ContainsFolded(std::string_view haystack, std::string_view foldedNeedle);

// Ends every process of the calling user whose executable (bare name or full
// path) equals `exeName`: on Linux byte for byte, on Windows in any ASCII
// letter case (platform::ExecutableNamed). Other users' processes are left
// alone. Every other match is ended first, in snapshot order, and the
// calling process last, when it matches: then the program ends inside the
// call. True when the last attempt to end a match worked.
bool KillProcessesByName(const std::string& exeName);

// Runs the server file's DllRegisterServer / DllUnregisterServer entry.
// True when the entry exists and returned 0.
bool RegisterServerFile(const std::filesystem::path& path);
bool UnregisterServerFile(const std::filesystem::path& path);
