#pragma once
// The Qt face of the criteria grid: a table model over GridModel, the
// measurer that fits columns and rows with the real fonts, and the view.
// Column 0, the fixed column of row numbers, is the view's vertical header,
// so it never scrolls; the header texts are row 0 like any other row.
#include <QAbstractTableModel>
#include <QFont>
#include <QTableView>
#include <vector>

#include "core/browser/browser_view.h"
#include "core/grid/grid_model.h"
#include "gui/browser/match_ranges.h"

class QtTextMeasurer final : public TextMeasurer {
 public:
  QtTextMeasurer(const QFont& cellFont, const QFont& fixedFont);
  int LineWidth(std::string_view line, CellFont font) const override;
  int WrappedHeight(std::string_view text, int width, CellFont font) const override;

 private:
  QFont cellFont_, fixedFont_;
};

class GridTableAdapter final : public QAbstractTableModel, public GridModel::Listener {
  Q_OBJECT
 public:
  explicit GridTableAdapter(GridModel& grid, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  void GridReset() override;
  void RowAppended(int row) override;
  void CellChanged(int col, int row) override;
  void ColumnsResized() override;
  void RowResized(int row) override;

 signals:
  void columnsResized();
  void rowResized(int row);

 private:
  GridModel& grid_;
  int shownRows_ = 0;
};

class CriteriaGridView final : public QTableView {
  Q_OBJECT
 public:
  CriteriaGridView(GridModel& grid, QWidget* parent);
  void setFixedFont(const QFont& font);
  // Takes every width and height from the model.
  void ApplyAllSizes();
  // Highlights what a search matched in the cells of `row` (one entry per
  // grid column); forgotten when the grid is cleared.
  void ShowMatches(int row, const std::vector<Highlights>& cells);
  // The matched parts of the cell in grid column `col`, row `row`.
  const TextRanges* MatchesAt(int col, int row) const;

 signals:
  void gridClicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyColumnWidths();
  void ApplyRowHeight(int row);

  GridModel& grid_;
  GridTableAdapter adapter_;
  std::vector<std::vector<TextRanges>> matches_;  // [row][grid column]
};
