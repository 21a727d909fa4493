#pragma once
// A recording UiServices, a test folder that stands in for the
// program's folder, and Python read-backs for the export tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/base/app_folder.h"
#include "gui/base/ui_services.h"
#include "core/grid/grid_model.h"
#include "tests/export/export_grids.h"
#include "tests/support/test_db.h"

namespace export_tests {

class RecordingUi final : public UiServices {
 public:
  std::optional<std::filesystem::path> nextFileName;  // what the save dialog answers
  std::vector<SaveDialogRequest> dialogs;
  std::vector<MessageRequest> messages;
  int cursorPushes = 0;
  int cursorDepth = 0;

  void ShowMessage(const MessageRequest& request) override { messages.push_back(request); }
  std::optional<std::filesystem::path> AskSaveFileName(const SaveDialogRequest& request) override {
    dialogs.push_back(request);
    return nextFileName;
  }
  void PushBusyCursor() override {
    ++cursorPushes;
    ++cursorDepth;
  }
  void PopCursor() override { --cursorDepth; }
};

// Every export test: the recording UI answers the dialogs, and a fresh
// temporary folder is the program's folder.
class ExportFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUi(&ui_);
    SetAppFolderForTests(dir_.path());
  }
  void TearDown() override {
    SetUi(nullptr);
    SetAppFolderForTests("");
  }

  testing_support::TempDir dir_;
  RecordingUi ui_;
};

// The Python that reads exported files back: Debian's own, because that is
// where python3-xlrd installs its module (a python3 found first on PATH, a
// pyenv one say, has no xlrd). The tests that need it skip when it is missing.
inline constexpr const char* kPython = "/usr/bin/python3";

inline std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

// Runs a reader script on `input` (its output file is its second argument)
// and returns its lines split at blanks, each cell without its leading "="
// (readers write "=<hex>" per cell, so an empty cell is still a word).
inline std::vector<std::vector<std::string>> RunReader(const std::string& script,
                                                       const std::string& input,
                                                       const std::string& folder) {
  std::ofstream(folder + "reader.py") << script;
  const std::string command = std::string(kPython) + " " + folder + "reader.py '" + input +
                              "' " + folder + "cells.txt";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(testing_support::ReadFileBytes(folder + "cells.txt"));
  for (std::string line; std::getline(lines, line);) {
    rows.emplace_back();
    std::istringstream cells(line);
    for (std::string cell; cells >> cell;) rows.back().push_back(cell.substr(1));
  }
  return rows;
}

}  // namespace export_tests
