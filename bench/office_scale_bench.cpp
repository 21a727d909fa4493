// Excel and Word exports of 333, 2,000 and 5,000 criteria through the
// writers and LibreOffice, each beside a bare `soffice --convert-to` of the
// same content: the very flat OpenDocument file that the export hands
// LibreOffice, converted with the same filter in a fresh profile. The two
// alternate, so a machine that gets busier slows both. Goal: every export
// within 1.2x of its bare conversion.
//
//   office_scale_bench [--runs=N] [--flat=<folder>] [rows...]
// rows default to 333 2000 5000; every size is measured N times (default 2)
// and the fastest of each is reported. --flat only writes the flat files
// (grid-<rows>.fods and .fodt) into <folder>, to try LibreOffice on them.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "gui/base/ui_services.h"
#include "bench_data.h"
#include "core/export/export_text.h"
#include "gui/export/office_writers.h"
#include "core/grid/grid_model.h"
#include "platform/posix/flat_odf.h"
#include "platform/posix/office_convert.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

GridModel Criteria(int count) { return bench_data::CriteriaGrid(count); }

// The flat files the two writers' calls build for `grid`.
std::string FlatSheet(const GridModel& grid) {
  platform::odf::SheetCells cells(static_cast<size_t>(grid.RowCount()));
  for (int r = 0; r < grid.RowCount(); ++r)
    for (int c = 0; c < grid.ColCount(); ++c) {
      std::string text = ExportText(grid.Cell(c, r));
      std::erase(text, '\r');
      cells[static_cast<size_t>(r)].push_back(std::move(text));
    }
  return platform::odf::FlatSpreadsheet(cells);
}

std::string FlatDocument(const GridModel& grid) {
  platform::odf::TextDocument document;
  document.paragraphs = {"", ""};  // the typed caption and paragraph mark
  platform::odf::TextDocument::PlacedTable placed;
  placed.table.rows = grid.RowCount();
  placed.table.columns = grid.ColCount();
  placed.table.cells.resize(static_cast<size_t>(grid.RowCount() * grid.ColCount()));
  for (int r = 0; r < grid.RowCount(); ++r)
    for (int c = 0; c < grid.ColCount(); ++c) {
      platform::odf::TableCell& cell = placed.table.At(r, c);
      cell.text = ExportText(grid.Cell(c, r));
      const HAlign align = GridModel::HorizontalAlignment(c, r);
      cell.alignment = align == HAlign::Center  ? platform::odf::Alignment::Center
                       : align == HAlign::Right ? platform::odf::Alignment::Right
                                                : platform::odf::Alignment::Left;
    }
  document.tables.push_back(std::move(placed));
  return platform::odf::FlatText(document);
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double BareConversion(const fs::path& soffice, const fs::path& folder, const std::string& flat,
                      const char* flatName, const char* filter) {
  const fs::path source = folder / flatName;
  std::ofstream(source, std::ios::binary) << flat;
  const fs::path profile = folder / "bare-profile";
  const std::string command = "'" + soffice.string() +
                              "' --headless --norestore --nologo --nodefault "
                              "-env:UserInstallation=file://" + profile.string() +
                              " --convert-to '" + filter + "' --outdir " +
                              (folder / "bare").string() + " " + source.string() +
                              " >/dev/null 2>&1";
  const auto start = Clock::now();
  const int status = std::system(command.c_str());
  const double seconds = Seconds(Clock::now() - start);
  if (status != 0) throw std::runtime_error("the bare conversion failed: " + command);
  fs::remove_all(profile);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  int runs = 2;
  std::string flatFolder;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.starts_with("--runs="))
      runs = std::max(1, std::atoi(arg.c_str() + 7));
    else if (arg.starts_with("--flat="))
      flatFolder = arg.substr(7);
    else
      sizes.push_back(std::atoi(arg.c_str()));
  }
  if (sizes.empty()) sizes = {333, 2000, 5000};
  if (!flatFolder.empty()) {
    fs::create_directories(flatFolder);
    for (const int size : sizes) {
      const GridModel grid = Criteria(size);
      std::ofstream(fs::path(flatFolder) / ("grid-" + std::to_string(size) + ".fods")) << FlatSheet(grid);
      std::ofstream(fs::path(flatFolder) / ("grid-" + std::to_string(size) + ".fodt")) << FlatDocument(grid);
    }
    return 0;
  }
  const auto soffice = platform::office::FindSoffice();
  if (!soffice) {
    std::fprintf(stderr, "soffice not found\n");
    return 1;
  }
  std::string pattern = (platform::office::TemporaryRoot() / "office-scale-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  const fs::path folder = pattern;
  bench_data::SilentUi ui;
  SetUi(&ui);

  std::printf("%-6s %7s %11s %11s %7s\n", "format", "rows", "export s", "bare s", "ratio");
  for (const int size : sizes) {
    const GridModel grid = Criteria(size);
    for (const bool excel : {true, false}) {
      const fs::path target = folder / (excel ? "grid.xls" : "grid.doc");
      double bare = 1e9, exported = 1e9;
      for (int run = 0; run < runs; ++run) {
        bare = std::min(bare, excel ? BareConversion(*soffice, folder, FlatSheet(grid), "grid.fods",
                                                     "xls:MS Excel 97")
                                    : BareConversion(*soffice, folder, FlatDocument(grid),
                                                     "grid.fodt", "doc:MS Word 97"));
        const auto start = Clock::now();
        if (excel)
          WriteExcelWorkbook(grid, target);
        else
          WriteWordDocument(grid, target);
        exported = std::min(exported, Seconds(Clock::now() - start));
      }
      std::printf("%-6s %7d %11.2f %11.2f %7.2f\n", excel ? ".xls" : ".doc", size, exported, bare,
                  exported / bare);
      std::fflush(stdout);
    }
  }
  SetUi(nullptr);
  fs::remove_all(folder);
  return 0;
}
