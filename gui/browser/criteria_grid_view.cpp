#include "gui/browser/criteria_grid_view.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTextLayout>

#include "gui/base/qt_text.h"
#include "platform/line_breaks.h"

namespace {

// Cell text as the view shows it: CR LF, lone CR and LF all break the line.
QString DisplayText(const std::string& cell) {
  QStringList lines;
  for (std::string_view line : SplitLines(cell)) lines.append(ToQ(line));
  return lines.join(QLatin1Char('\n'));
}

Qt::Alignment AlignmentOf(int col, int row) {
  Qt::Alignment h = GridModel::HorizontalAlignment(col, row) == HAlign::Center ? Qt::AlignHCenter
                    : GridModel::HorizontalAlignment(col, row) == HAlign::Right ? Qt::AlignRight
                                                                                  : Qt::AlignLeft;
  Qt::Alignment v = GridModel::VerticalAlignment(col, row) == VAlign::Center   ? Qt::AlignVCenter
                    : GridModel::VerticalAlignment(col, row) == VAlign::Bottom ? Qt::AlignBottom
                                                                               : Qt::AlignTop;
  return h | v;
}

// The fixed column: as wide as the grid's column 0, always. Its size hint
// says so at once instead of measuring every row number after each
// appended row, which the view would override anyway.
class FixedColumnHeader final : public QHeaderView {
 public:
  FixedColumnHeader(const GridModel& grid, QWidget* parent)
      : QHeaderView(Qt::Vertical, parent), grid_(grid) {}
  QSize sizeHint() const override {
    return QSize(grid_.ColCount() > 0 ? grid_.ColWidth(0) : 0, length());
  }

 private:
  const GridModel& grid_;
};

}  // namespace

QtTextMeasurer::QtTextMeasurer(const QFont& cellFont, const QFont& fixedFont)
    : cellFont_(cellFont), fixedFont_(fixedFont) {}

int QtTextMeasurer::LineWidth(std::string_view line, CellFont font) const {
  QFontMetrics metrics(font == CellFont::Fixed ? fixedFont_ : cellFont_);
  return metrics.horizontalAdvance(ToQ(line));
}

int QtTextMeasurer::WrappedHeight(std::string_view text, int width, CellFont font) const {
  const QFont& f = font == CellFont::Fixed ? fixedFont_ : cellFont_;
  QFontMetrics metrics(f);
  const QStringList paragraphs = DisplayText(std::string(text)).split(QLatin1Char('\n'));
  int lines = 0;
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  for (const QString& paragraph : paragraphs) {
    if (paragraph.isEmpty()) {
      ++lines;
      continue;
    }
    QTextLayout layout(paragraph, f);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(std::max(width, 1));
      ++lines;
    }
    layout.endLayout();
  }
  return lines * metrics.height();
}

GridTableAdapter::GridTableAdapter(GridModel& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), shownRows_(grid.RowCount()) {
  grid_.SetListener(this);
}

int GridTableAdapter::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shownRows_;
}

int GridTableAdapter::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max(grid_.ColCount() - 1, 0);
}

QVariant GridTableAdapter::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= grid_.RowCount()) return {};
  const int col = index.column() + 1;
  switch (role) {
    case Qt::DisplayRole:
      return DisplayText(grid_.Cell(col, index.row()));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(AlignmentOf(col, index.row()));
    default:
      return {};
  }
}

QVariant GridTableAdapter::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Vertical && section < grid_.RowCount()) {
    if (role == Qt::DisplayRole) return DisplayText(grid_.Cell(0, section));
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(AlignmentOf(0, section));
  }
  return {};
}

Qt::ItemFlags GridTableAdapter::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void GridTableAdapter::GridReset() {
  beginResetModel();
  shownRows_ = grid_.RowCount();
  endResetModel();
}

void GridTableAdapter::RowAppended(int row) {
  beginInsertRows({}, row, row);
  shownRows_ = grid_.RowCount();
  endInsertRows();
}

void GridTableAdapter::CellChanged(int col, int row) {
  if (row >= shownRows_) return;
  if (col == 0) {
    emit headerDataChanged(Qt::Vertical, row, row);
    return;
  }
  const QModelIndex at = index(row, col - 1);
  emit dataChanged(at, at, {Qt::DisplayRole});
}

void GridTableAdapter::ColumnsResized() { emit columnsResized(); }

void GridTableAdapter::RowResized(int row) { emit rowResized(row); }

CriteriaGridView::CriteriaGridView(GridModel& grid, QWidget* parent)
    : QTableView(parent), grid_(grid), adapter_(grid, this) {
  setVerticalHeader(new FixedColumnHeader(grid, this));
  verticalHeader()->viewport()->installEventFilter(this);
  setModel(&adapter_);
  setWordWrap(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  horizontalHeader()->hide();
  horizontalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(GridModel::kDefaultRowHeight);
  verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
  connect(&adapter_, &GridTableAdapter::columnsResized, this, &CriteriaGridView::ApplyColumnWidths);
  connect(&adapter_, &GridTableAdapter::rowResized, this, &CriteriaGridView::ApplyRowHeight);
  connect(&adapter_, &QAbstractItemModel::modelReset, this, &CriteriaGridView::ApplyAllSizes);
  ApplyAllSizes();
}

void CriteriaGridView::setFixedFont(const QFont& font) { verticalHeader()->setFont(font); }

void CriteriaGridView::ApplyColumnWidths() {
  if (grid_.ColCount() > 0) verticalHeader()->setFixedWidth(grid_.ColWidth(0));
  for (int col = 1; col < grid_.ColCount(); ++col)
    horizontalHeader()->resizeSection(col - 1, grid_.ColWidth(col));
}

void CriteriaGridView::ApplyRowHeight(int row) {
  if (row < verticalHeader()->count()) verticalHeader()->resizeSection(row, grid_.RowHeight(row));
}

void CriteriaGridView::ApplyAllSizes() {
  ApplyColumnWidths();
  for (int row = 0; row < grid_.RowCount(); ++row) ApplyRowHeight(row);
}

void CriteriaGridView::RepaintNow() {
  updateGeometries();
  verticalHeader()->viewport()->repaint();
  viewport()->repaint();
}

void CriteriaGridView::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) emit gridClicked();
}

// The row numbers are the grid's fixed column: a click on them is a click in
// the grid, though Qt delivers it to the vertical header.
bool CriteriaGridView::eventFilter(QObject* watched, QEvent* event) {
  const bool result = QTableView::eventFilter(watched, event);
  if (watched == verticalHeader()->viewport() && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
    emit gridClicked();
  return result;
}
