#pragma once
// The export command of the criteria browser: the export button's checks and
// ExportGrid, which asks for a file name and writes the grid in the format
// that the name's extension selects.
#include <filesystem>
#include <functional>
#include <string>

#include "core/export/export_look.h"

class GridModel;

// Texts of the export command (CP936).
inline constexpr const char* kExportFilter =
    "Excel文件(*.xls)|*.xls|CSV逗号分隔文件(*.cvs)|*.csv|Word文档(*.doc)|*.doc|"
    "文本文件(*.txt)|*.txt|ASCII数据文件(*.dat)|*.dat|网页文件(*.htm)|*.htm|"
    "所有文件(*.*)|*.*";
inline constexpr const char* kExportSucceeded = "导出成功!";
inline constexpr const char* kExportFailed = "导出失败!";
inline constexpr const char* kExportStillLoading = "注意：暂未检索完毕，请稍候导出数据！";
inline constexpr const char* kCaptionNotice = "提示";
inline constexpr const char* kCaptionWarning = "警告";

// The extension of a file name, upper-cased (ASCII a to z only): from the last
// dot of the name's last part, dot included; "" when there is none.
std::string ExportExtension(const std::filesystem::path& fileName);

// Asks for a file name (the save dialog starts where ExportStartFolder says:
// the "Data" folder beside the executable when the user may write there,
// else the Documents folder, else the home folder), writes the grid with the writer that the extension
// selects, and reports "导出成功!" or "导出失败!". When the grid does not fit
// the chosen format (a writer raised platform::UserFacingError), a second
// line of the failure message says why. A cancelled dialog does nothing; a
// name whose extension selects no writer writes nothing and is reported as a
// failure. No error leaves this function.
void ExportGrid(const GridModel& grid, const ExportLook& look);

// The export button: a grid with nothing but its header row is ignored; while
// the grid is being filled the export is refused with a message; otherwise
// the suggestion list is hidden and ExportGrid runs.
void ExportButtonClick(const GridModel& grid, bool gridFilling,
                       const std::function<void()>& hideSuggestionList, const ExportLook& look);
