#pragma once
// A criteria browser on its own small database, driven like a user would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPoint>
#include <memory>
#include <string>
#include <vector>

#include "gui/browser/Grade_i_public_hospital.h"
#include "tests/support/fixed_measurer.h"
#include "tests/support/recording_ui.h"
#include "tests/support/test_db.h"

class QWidget;

namespace testing_support {

// QApplication for the whole test program (offscreen platform).
QApplication& TestApplication();

class BrowserTest : public ::testing::Test {
 protected:
  BrowserTest();
  ~BrowserTest() override;

  // Writes the database, then creates the window (creation handler runs).
  void Create(const std::vector<Criterion>& criteria,
              const std::vector<std::string>& settings = DefaultSettings());
  // Create() and show (show handler runs).
  void Open(const std::vector<Criterion>& criteria,
            const std::vector<std::string>& settings = DefaultSettings());
  // Closes and recreates the window on the same database (a restart).
  void Restart();

  TForm_grade_hospital& w() { return *window_; }

  // What a user sees and does.
  std::string Cell(int col, int row);
  std::vector<std::string> Row(int row);
  std::vector<std::string> SuggestionLines();
  void TypeSearch(const std::string& cp936Text);  // replaces the text, then Enter
  void PressEnter();
  void Click(QWidget* widget, QPoint at = QPoint(5, 5));
  void DoubleClick(QWidget* widget, QPoint at = QPoint(5, 5));
  void RightPress(QWidget* widget, QPoint at = QPoint(5, 5));
  // Position of line `line` of the suggestion list, in its viewport.
  QPoint SuggestionLinePos(int line);
  void ClickSuggestion(int line);
  void DoubleClickSuggestion(int line);
  void PickField(int index);  // as a user picks in the drop-down
  std::string PickedValue();
  std::vector<std::string> SavedSettings() { return ReadSettingsRows(dir_.path()); }
  void Pump();

  TempDir dir_;
  RecordingUi ui_;
  FixedMeasurer measurer_;
  std::unique_ptr<TForm_grade_hospital> window_;
};

// Criteria 1..n whose eight fields are "<letter><serial>" (a1, b1, ...).
std::vector<Criterion> SimpleCriteria(int n);

}  // namespace testing_support
