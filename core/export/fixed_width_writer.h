#pragma once
// Fixed-width export (.dat): every column w + 1 bytes wide, w being the
// longest first line (bytes up to the first CR or LF) of the column's export texts;
// each text aligned the way the grid aligns its cell. CR LF after every line.
#include <filesystem>
#include <string>
#include <vector>

class GridModel;

// Per column, the greatest byte length of a first line over all rows.
std::vector<size_t> FixedWidthColumnWidths(const GridModel& grid);

// The whole file's content.
std::string BuildFixedWidth(const GridModel& grid);

// Builds the content, then creates (or replaces) the file and writes it.
// Throws when the file cannot be created or written. The hourglass is the
// export command's (gui/export), not this Qt-free writer's.
void WriteFixedWidthFile(const GridModel& grid, const std::filesystem::path& fileName);
