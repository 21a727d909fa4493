// A program of the kill test: saves a large document through LibreOffice
// the way an export does, and is killed by the test while LibreOffice works.
// Argument: the target file name.
#include <cstdio>
#include <exception>

#include "platform/posix/flat_odf.h"
#include "platform/posix/office_convert.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const auto soffice = platform::office::FindSoffice();
  if (!soffice) return 3;
  platform::odf::TextDocument document;
  platform::odf::TextDocument::PlacedTable placed;
  placed.table.rows = 20000;
  placed.table.columns = 9;
  placed.table.cells.resize(20000 * 9);
  for (auto& cell : placed.table.cells) cell.text = "评审标准 criteria text";
  document.tables.push_back(std::move(placed));
  try {
    platform::office::SaveThroughOffice(*soffice, platform::odf::FlatText(document), "fodt", argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
