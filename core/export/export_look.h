#pragma once
// Colours and font that the HTML export gives the grid's cells. The window
// resolves them from its palette and font; the defaults are the classic ones.
#include <cstdint>
#include <string>

struct ExportLook {
  uint32_t windowColor = 0xFFFFFF;      // background of the ordinary cells, 0xRRGGBB
  uint32_t windowTextColor = 0x000000;  // text of every cell, 0xRRGGBB
  std::string fontName = "Tahoma";      // the grid's font; the fixed column shows it bold
  int pointSize = 8;
};
