#pragma once
// Comma-separated export (.csv and .txt): one line per grid row, header row
// and row-number column included, CR LF after every line, no byte-order mark.
#include <filesystem>
#include <string>
#include <string_view>

class GridModel;

// The field written for one export text:
// - every double quote is doubled;
// - holding a double quote but no comma: enclosed in double quotes;
// - empty: two double quotes;
// - holding a comma: every CR LF pair becomes byte 11, then enclosed;
// - holding a CR or LF but no comma and no double quote: enclosed with its
//   line breaks kept, so that the field does not break the record;
// - otherwise as it is.
std::string CsvField(std::string_view exportText);

// The whole file's content.
std::string BuildCsv(const GridModel& grid);

// Builds the content, then creates (or replaces) the file and writes it.
// Throws when the file cannot be created or written.
void WriteCsvFile(const GridModel& grid, const std::filesystem::path& fileName);
