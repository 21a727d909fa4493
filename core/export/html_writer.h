#pragma once
// HTML export (.htm): a style block with one class per distinct cell look,
// then one table holding every row and column of the grid. CP936 text, CR LF
// line ends, no character-set declaration, no html/head/body elements.
#include <filesystem>
#include <string>

#include "core/export/export_look.h"

class GridModel;

// The whole file's content.
std::string BuildHtml(const GridModel& grid, const ExportLook& look);

// Builds the content, then creates (or replaces) the file and writes it;
// throws "Cannot Create file <name>" when it cannot be created.
void WriteHtmlFile(const GridModel& grid, const std::filesystem::path& fileName,
                   const ExportLook& look = {});
