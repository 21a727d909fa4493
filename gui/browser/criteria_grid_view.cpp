#include "gui/browser/criteria_grid_view.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
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

// Draws a cell with the parts a search matched highlighted, wrapped and
// aligned as the plain cells are; other cells are drawn the usual way.
class MatchDelegate final : public QStyledItemDelegate {
 public:
  explicit MatchDelegate(CriteriaGridView* view) : QStyledItemDelegate(view), view_(view) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const TextRanges* ranges = view_->MatchesAt(index.column() + 1, index.row());
    if (!ranges || ranges->empty()) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    QString text = cell.text;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);  // a break of the same length
    cell.text.clear();
    QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);

    const QRect box = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, cell.widget)
                          .adjusted(kTextMargin, 0, -kTextMargin, 0);
    QTextLayout layout(text, cell.font);
    QTextOption wrap(cell.displayAlignment & Qt::AlignHorizontal_Mask);
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrap);
    QList<QTextLayout::FormatRange> formats;
    for (const TextRange& range : *ranges) formats.append({range.start, range.length, MatchFormat()});
    layout.setFormats(formats);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(std::max(box.width(), 1));
      line.setPosition(QPointF(0, height));
      height += line.height();
    }
    layout.endLayout();
    const qreal top = (cell.displayAlignment & Qt::AlignVCenter)
                          ? box.top() + (box.height() - height) / 2
                          : box.top();
    painter->save();
    painter->setClipRect(cell.rect);
    const bool selected = cell.state & QStyle::State_Selected;
    painter->setPen(cell.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    layout.draw(painter, QPointF(box.left(), top));
    painter->restore();
  }

 private:
  static constexpr int kTextMargin = 1;  // as the style leaves beside a cell's text
  CriteriaGridView* view_;
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
  connect(&adapter_, &QAbstractItemModel::modelReset, this, [this] { matches_.clear(); });
  setItemDelegate(new MatchDelegate(this));
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

void CriteriaGridView::ShowMatches(int row, const std::vector<Highlights>& cells) {
  if (row < 0 || row >= grid_.RowCount()) return;
  if (static_cast<size_t>(row) >= matches_.size()) matches_.resize(static_cast<size_t>(row) + 1);
  std::vector<TextRanges>& shown = matches_[static_cast<size_t>(row)];
  shown.assign(cells.size(), {});
  for (size_t col = 0; col < cells.size(); ++col) {
    if (static_cast<int>(col) >= grid_.ColCount()) break;
    shown[col] = ToTextRanges(grid_.Cell(static_cast<int>(col), row), cells[col],
                              [](std::string_view text) { return DisplayText(std::string(text)); });
  }
  viewport()->update();
}

const TextRanges* CriteriaGridView::MatchesAt(int col, int row) const {
  if (row < 0 || static_cast<size_t>(row) >= matches_.size()) return nullptr;
  const std::vector<TextRanges>& cells = matches_[static_cast<size_t>(row)];
  return col >= 0 && static_cast<size_t>(col) < cells.size() ? &cells[static_cast<size_t>(col)] : nullptr;
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
