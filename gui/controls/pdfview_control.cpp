#include "gui/controls/pdfview_control.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfBookmarkModel>
#include <QPdfDocument>
#include <QPdfSearchModel>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

#include "gui/controls/page_view.h"
#include "gui/controls/pdf_link_model.h"
#include "gui/controls/reading_places.h"

namespace pdfview {
namespace {

constexpr double kZoomStep = 1.25;

QToolButton* BarButton(QWidget* parent, const QString& text, const QString& tip) {
  auto* button = new QToolButton(parent);
  button->setText(text);
  button->setToolTip(tip);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);  // the keys stay with the pages
  return button;
}

QString ReasonFor(QPdfDocument::Error error) {
  switch (error) {
    case QPdfDocument::Error::FileNotFound:
      return QStringLiteral(u"文件不存在");
    case QPdfDocument::Error::IncorrectPassword:
    case QPdfDocument::Error::UnsupportedSecurityScheme:
      return QStringLiteral(u"文档受密码保护");
    case QPdfDocument::Error::None:
      return QStringLiteral(u"文档没有页面");
    default:
      return QStringLiteral(u"不是可读的 PDF 文档");
  }
}

}  // namespace

PdfviewControl::PdfviewControl(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PdfviewControl"));
  document_ = new QPdfDocument(this);
  search_ = new QPdfSearchModel(this);
  search_->setDocument(document_);
  bookmarks_ = new QPdfBookmarkModel(this);
  bookmarks_->setDocument(document_);
  links_ = new QPdfLinkModel(this);
  links_->setDocument(document_);
  // The link model's roles by name: their numbers are the library's own.
  const QHash<int, QByteArray> roles = static_cast<QAbstractItemModel*>(links_)->roleNames();
  const char* const names[4] = {"rectangle", "url", "page", "location"};
  for (int i = 0; i < 4; ++i) linkRoles_[i] = roles.key(names[i], -1);

  searchBar_ = new QWidget(this);
  searchBar_->setObjectName(QStringLiteral("searchBar"));
  searchBox_ = new QLineEdit(searchBar_);
  searchBox_->setObjectName(QStringLiteral("searchBox"));
  searchBox_->setPlaceholderText(QStringLiteral(u"在文档中查找"));
  searchBox_->setClearButtonEnabled(true);
  searchCount_ = new QLabel(searchBar_);
  searchCount_->setObjectName(QStringLiteral("searchCount"));
  auto* previous = BarButton(searchBar_, QStringLiteral(u"▲"), QStringLiteral(u"上一个 (Shift+Enter)"));
  auto* next = BarButton(searchBar_, QStringLiteral(u"▼"), QStringLiteral(u"下一个 (Enter)"));
  auto* closeSearch = BarButton(searchBar_, QStringLiteral(u"✕"), QStringLiteral(u"关闭查找 (Esc)"));
  previous->setObjectName(QStringLiteral("searchPrevious"));
  next->setObjectName(QStringLiteral("searchNext"));
  auto* searchRow = new QHBoxLayout(searchBar_);
  searchRow->setContentsMargins(6, 2, 6, 2);
  searchRow->addWidget(searchBox_, 1);
  searchRow->addWidget(searchCount_);
  searchRow->addWidget(previous);
  searchRow->addWidget(next);
  searchRow->addWidget(closeSearch);
  searchBar_->hide();
  searchBox_->installEventFilter(this);
  connect(previous, &QToolButton::clicked, this, [this] { FindNext(-1); });
  connect(next, &QToolButton::clicked, this, [this] { FindNext(+1); });
  connect(closeSearch, &QToolButton::clicked, this, [this] {
    searchBar_->hide();
    view_->viewport()->update();
    view_->setFocus();
  });
  connect(searchBox_, &QLineEdit::textChanged, this, [this](const QString& text) {
    currentHit_ = -1;
    hitWanted_ = !text.isEmpty();
    search_->setSearchString(text);
    UpdateSearchCount();
    view_->viewport()->update();
  });
  // The hits come in page by page: the first one found is shown.
  auto hitsChanged = [this] {
    if (hitWanted_ && search_->rowCount({}) > 0) {
      hitWanted_ = false;
      FindNext(+1);
    }
    UpdateSearchCount();
    view_->viewport()->update();
  };
  connect(search_, &QAbstractItemModel::rowsInserted, this, hitsChanged);
  connect(search_, &QAbstractItemModel::modelReset, this, hitsChanged);

  pages_ = new QStackedWidget(this);
  view_ = new PageView(pages_);
  view_->setObjectName(QStringLiteral("pages"));
  view_->setFocusPolicy(Qt::StrongFocus);
  view_->installEventFilter(this);
  view_->viewport()->installEventFilter(this);
  view_->viewport()->setMouseTracking(true);
  note_ = new QLabel(pages_);
  note_->setObjectName(QStringLiteral("nothingToDisplay"));
  note_->setAlignment(Qt::AlignCenter);
  note_->setWordWrap(true);
  note_->setAutoFillBackground(true);
  QFont noteFont = note_->font();
  noteFont.setPointSize(noteFont.pointSize() + 3);
  note_->setFont(noteFont);
  pages_->addWidget(note_);
  pages_->addWidget(view_);

  outline_ = new QTreeView(this);
  outline_->setObjectName(QStringLiteral("outline"));
  outline_->setModel(bookmarks_);
  outline_->setHeaderHidden(true);
  outline_->setFocusPolicy(Qt::ClickFocus);
  connect(outline_, &QTreeView::activated, this, [this](const QModelIndex& index) {
    const int page = index.data(int(QPdfBookmarkModel::Role::Page)).toInt();
    view_->ShowPoint(page, index.data(int(QPdfBookmarkModel::Role::Location)).toPointF());
  });
  connect(outline_, &QTreeView::clicked, outline_, &QTreeView::activated);
  split_ = new QSplitter(this);
  split_->setChildrenCollapsible(false);
  split_->addWidget(outline_);
  split_->addWidget(pages_);
  split_->setStretchFactor(1, 1);
  split_->setSizes({200, 600});
  outline_->hide();

  bar_ = new QWidget(this);
  bar_->setObjectName(QStringLiteral("viewerBar"));
  BuildBar(bar_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(searchBar_);
  layout->addWidget(split_, 1);
  layout->addWidget(bar_);
  setFocusProxy(view_);
  InstallKeys();

  connect(view_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { UpdateBar(); });
  view_->onChanged = [this] { UpdateBar(); };
  // Busy while pictures or page sizes are still on their way; the pages can
  // be read and moved meanwhile.
  view_->onBusy = [this](bool busy) {
    busy_ = busy;
    UpdateCursor();
  };
  view_->paintOverlay = [this](QPainter& painter, int page, const QRectF& rect, double scale) {
    PaintMarks(painter, page, rect, scale);
  };

  ShowNothing(QString(), QString());
}

PdfviewControl::~PdfviewControl() {
  SavePlace();
  // The view and the document are destroyed with this widget's children,
  // after this object has stopped being a PdfviewControl; closing the
  // document then resizes the view's scroll bars, which must not call back.
  disconnect(view_->verticalScrollBar(), nullptr, this, nullptr);
  disconnect(search_, nullptr, this, nullptr);
  view_->onChanged = nullptr;
  view_->onBusy = nullptr;
  view_->paintOverlay = nullptr;
  view_->SetDocument(nullptr);
  // The search, contents and link models read their document as they go;
  // children are deleted in the order they were made, the document first, so
  // these go now.
  delete links_;
  delete bookmarks_;
  delete search_;
}

void PdfviewControl::BuildBar(QWidget* bar) {
  zoomOut_ = BarButton(bar, QStringLiteral(u"－"), QStringLiteral(u"缩小 (Ctrl+-)"));
  zoomIn_ = BarButton(bar, QStringLiteral(u"＋"), QStringLiteral(u"放大 (Ctrl++)"));
  fitWidth_ = BarButton(bar, QStringLiteral(u"适合宽度"), QStringLiteral(u"页面适合窗口宽度 (Ctrl+0)"));
  zoomOut_->setObjectName(QStringLiteral("zoomOut"));
  zoomIn_->setObjectName(QStringLiteral("zoomIn"));
  fitWidth_->setObjectName(QStringLiteral("fitWidth"));
  zoomLabel_ = new QLabel(bar);
  zoomLabel_->setObjectName(QStringLiteral("zoomLabel"));
  zoomLabel_->setMinimumWidth(zoomLabel_->fontMetrics().horizontalAdvance(QStringLiteral("0000%")));
  zoomLabel_->setAlignment(Qt::AlignCenter);
  pageLabel_ = new QLabel(bar);
  pageLabel_->setObjectName(QStringLiteral("pageLabel"));
  pageBox_ = new QLineEdit(bar);
  pageBox_->setObjectName(QStringLiteral("pageBox"));
  pageBox_->setPlaceholderText(QStringLiteral(u"转到页"));
  pageBox_->setToolTip(QStringLiteral(u"输入页码后按回车 (Ctrl+G)"));
  pageBox_->setMaximumWidth(pageBox_->fontMetrics().horizontalAdvance(QStringLiteral(u"转到页00")) + 12);
  pageBox_->setValidator(new QIntValidator(1, 999999, pageBox_));
  connect(pageBox_, &QLineEdit::returnPressed, this, [this] {
    GoToPage(pageBox_->text().toInt() - 1);
    pageBox_->clear();
    view_->setFocus();
  });
  outlineButton_ = BarButton(bar, QStringLiteral(u"目录"), QStringLiteral(u"显示或隐藏目录"));
  outlineButton_->setObjectName(QStringLiteral("outlineButton"));
  outlineButton_->setCheckable(true);
  connect(outlineButton_, &QToolButton::toggled, outline_, &QWidget::setVisible);
  printButton_ = BarButton(bar, QStringLiteral(u"打印"), QStringLiteral(u"打印文档 (Ctrl+P)"));
  printButton_->setObjectName(QStringLiteral("printButton"));
  connect(printButton_, &QToolButton::clicked, this, [this] { Print(); });

  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(6, 1, 6, 1);
  row->setSpacing(2);
  row->addWidget(outlineButton_);
  row->addWidget(pageLabel_);
  row->addWidget(pageBox_);
  row->addStretch(1);
  row->addWidget(printButton_);
  row->addWidget(zoomOut_);
  row->addWidget(zoomLabel_);
  row->addWidget(zoomIn_);
  row->addWidget(fitWidth_);

  connect(zoomOut_, &QToolButton::clicked, this, [this] { ZoomOut(); });
  connect(zoomIn_, &QToolButton::clicked, this, [this] { ZoomIn(); });
  connect(fitWidth_, &QToolButton::clicked, this, [this] { FitWidth(); });
}

void PdfviewControl::InstallKeys() {
  auto key = [this](const QKeySequence& sequence, auto action) {
    auto* shortcut = new QShortcut(sequence, this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, action);
  };
  key(QKeySequence::ZoomIn, [this] { ZoomIn(); });
  key(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { ZoomIn(); });
  key(QKeySequence::ZoomOut, [this] { ZoomOut(); });
  key(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { FitWidth(); });
  key(QKeySequence(Qt::Key_Home), [this] { view_->verticalScrollBar()->setValue(0); });
  key(QKeySequence(Qt::Key_End), [this] {
    view_->verticalScrollBar()->setValue(view_->verticalScrollBar()->maximum());
  });
  key(QKeySequence::Find, [this] { ShowSearch(); });
  key(QKeySequence::FindNext, [this] { FindNext(+1); });
  key(QKeySequence::FindPrevious, [this] { FindNext(-1); });
  key(QKeySequence(Qt::CTRL | Qt::Key_G), [this] {
    pageBox_->setFocus();
    pageBox_->selectAll();
  });
  key(QKeySequence::Copy, [this] { CopySelection(); });
  key(QKeySequence::Print, [this] { Print(); });
  // Page Up / Page Down scroll by one screen: the view's own keys; Space
  // and Shift+Space too, in the view (see eventFilter).
}

controls::DispatchInterface* PdfviewControl::QueryInterface(std::string_view interfaceId) {
  if (controls::SameIdentifier(interfaceId, controls::kPdfviewInterfaceId)) return this;
  return nullptr;
}

controls::DispatchResult PdfviewControl::Invoke(std::int32_t dispatchId,
                                                const std::vector<controls::DispatchValue>& arguments) {
  controls::DispatchResult result;
  if (dispatchId != controls::kPdfviewOpen) {
    result.status = controls::kMemberNotFound;
    result.message = "pdfview: no member with dispatch id " + std::to_string(dispatchId);
    return result;
  }
  if (arguments.size() != 3) {
    result.status = controls::kBadParamCount;
    result.message = "pdfview: open takes 3 arguments, not " + std::to_string(arguments.size());
    return result;
  }
  for (const auto& argument : arguments) {
    if (!std::holds_alternative<std::u16string>(argument)) {
      result.status = controls::kTypeMismatch;
      result.message = "pdfview: the arguments of open are texts";
      return result;
    }
  }
  result.value = open(QString::fromStdU16String(std::get<std::u16string>(arguments[0])));
  return result;
}

bool PdfviewControl::open(const QString& path) {
  SavePlace();
  path_.clear();
  selection_.reset();
  currentHit_ = -1;
  view_->SetDocument(nullptr);
  document_->close();
  document_->setPassword(QString());
  QPdfDocument::Error error = path.isEmpty() ? QPdfDocument::Error::FileNotFound : document_->load(path);
  if (error == QPdfDocument::Error::IncorrectPassword && Unlock(path)) error = QPdfDocument::Error::None;
  if (error != QPdfDocument::Error::None || document_->pageCount() <= 0) {
    document_->close();
    ShowNothing(path, ReasonFor(error));
    return false;
  }
  path_ = path;
  pages_->setCurrentWidget(view_);
  view_->SetDocument(document_, path, document_->password());
  // Readable by a host that does not know this module's types.
  view_->setProperty("pageCount", view_->PageCount());
  // Where the user left it.
  if (const auto place = LoadReadingPlace(path)) {
    if (place->zoom > 0) view_->SetZoom(place->zoom);
    view_->ShowPlace({std::min(place->page, view_->PageCount() - 1), place->x, place->y});
  }
  const bool contents = bookmarks_->rowCount(QModelIndex()) > 0;
  outlineButton_->setVisible(contents);
  outlineButton_->setChecked(contents);
  outline_->setVisible(contents);
  outline_->expandToDepth(0);
  bar_->show();
  UpdateBar();
  if (!searchBox_->text().isEmpty()) search_->setSearchString(searchBox_->text());
  return true;
}

bool PdfviewControl::Unlock(const QString& file) {
  QString prompt = QStringLiteral(u"文档 %1 受密码保护，请输入密码：").arg(QFileInfo(file).fileName());
  while (true) {
    bool ok = false;
    const QString password =
        QInputDialog::getText(this, QStringLiteral(u"输入密码"), prompt, QLineEdit::Password, QString(), &ok);
    if (!ok) return false;
    document_->close();
    document_->setPassword(password);
    if (document_->load(file) == QPdfDocument::Error::None) return true;
    prompt = QStringLiteral(u"密码不正确，请重新输入：");
  }
}

void PdfviewControl::SavePlace() {
  if (path_.isEmpty() || view_->PageCount() <= 0) return;
  const PageView::Place place = view_->CentrePlace();
  SaveReadingPlace(path_, {place.page, place.x, place.y, view_->Fitted() ? 0.0 : view_->ZoomAtCentre()});
}

void PdfviewControl::ShowNothing(const QString& path, const QString& reason) {
  QString text = QStringLiteral(u"无法显示文档");
  if (!path.isEmpty()) text += QLatin1Char('\n') + QFileInfo(path).fileName();
  if (!reason.isEmpty()) text += QLatin1Char('\n') + reason;
  note_->setText(text);
  note_->setToolTip(path);
  view_->setProperty("pageCount", 0);
  outline_->hide();
  outlineButton_->setChecked(false);
  pages_->setCurrentWidget(note_);
  bar_->hide();
}

double PdfviewControl::EffectiveZoom() const { return view_->ZoomAtCentre(); }

void PdfviewControl::SetZoom(double factor) {
  if (document_->status() != QPdfDocument::Status::Ready) return;
  view_->SetZoom(factor);
}

void PdfviewControl::ZoomIn() { SetZoom(EffectiveZoom() * kZoomStep); }

void PdfviewControl::ZoomOut() { SetZoom(EffectiveZoom() / kZoomStep); }

void PdfviewControl::FitWidth() {
  if (document_->status() != QPdfDocument::Status::Ready) return;
  view_->FitToWidth();
}

int PdfviewControl::CurrentPage() const {
  const int count = document_->status() == QPdfDocument::Status::Ready ? document_->pageCount() : 0;
  return count > 0 ? view_->PageAtCentre() : -1;
}

void PdfviewControl::UpdateBar() {
  const int count = document_->status() == QPdfDocument::Status::Ready ? document_->pageCount() : 0;
  pageLabel_->setText(count > 0 ? QStringLiteral(u"第 %1 / %2 页").arg(CurrentPage() + 1).arg(count)
                                : QString());
  zoomLabel_->setText(count > 0 ? QStringLiteral("%1%").arg(std::lround(EffectiveZoom() * 100))
                                : QString());
  // Fitted, each page has a zoom of its own: "适合宽度" is offered whenever
  // the pages have one chosen zoom instead.
  fitWidth_->setEnabled(count > 0 && !view_->Fitted());
  zoomIn_->setEnabled(count > 0 && EffectiveZoom() < view_->MaxZoom() - 1e-9);
  zoomOut_->setEnabled(count > 0 && EffectiveZoom() > PageView::kMinZoom + 1e-9);
}

bool PdfviewControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == searchBox_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      FindNext(key->modifiers() & Qt::ShiftModifier ? -1 : +1);
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      searchBar_->hide();
      view_->viewport()->update();
      view_->setFocus();
      return true;
    }
  }
  if (watched == view_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space && !(key->modifiers() & ~Qt::ShiftModifier)) {
      view_->verticalScrollBar()->triggerAction(key->modifiers() & Qt::ShiftModifier
                                                    ? QAbstractSlider::SliderPageStepSub
                                                    : QAbstractSlider::SliderPageStepAdd);
      return true;
    }
  }
  if (watched == view_->viewport() && view_->PageCount() > 0) {
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) break;
        const auto [page, point] = view_->PointAt(mouse->position());
        pressed_ = true;
        dragged_ = false;
        selectionPage_ = page;
        selectionStart_ = point;
        break;
      }
      case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const auto [page, point] = view_->PointAt(mouse->position());
        if (pressed_ && (mouse->buttons() & Qt::LeftButton) && selectionPage_ >= 0) {
          // The selection stays on the page where it began.
          const QRectF rect = view_->PageRectangle(selectionPage_);
          const QPointF local = (mouse->position() - rect.topLeft()) / view_->Scale(selectionPage_);
          dragged_ = dragged_ || (local - selectionStart_).manhattanLength() > 2;
          if (dragged_) {
            selection_ = document_->getSelection(selectionPage_, selectionStart_, local);
            view_->viewport()->update();
          }
        } else {
          const bool over = LinkAt(page, point) >= 0;
          if (over != overLink_) {
            overLink_ = over;
            UpdateCursor();
          }
        }
        break;
      }
      case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !pressed_) break;
        pressed_ = false;
        if (dragged_) break;
        // A click: follows a link, and clears a selection.
        if (selection_) {
          selection_.reset();
          view_->viewport()->update();
        }
        const auto [page, point] = view_->PointAt(mouse->position());
        const int link = LinkAt(page, point);
        if (link >= 0) FollowLink(link);
        break;
      }
      default:
        break;
    }
  }
  if (watched == view_->viewport()) {
    if (event->type() == QEvent::Wheel) {
      auto* wheel = static_cast<QWheelEvent*>(event);
      if (wheel->modifiers() & Qt::ControlModifier) {
        // One notch of a wheel (120) is one zoom step; touch pads send parts of it.
        const int delta = wheel->angleDelta().y();
        if (delta != 0) SetZoom(EffectiveZoom() * std::pow(kZoomStep, delta / 120.0));
        return true;  // Ctrl + wheel zooms and never scrolls
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void PdfviewControl::UpdateCursor() {
  if (busy_)
    view_->viewport()->setCursor(Qt::BusyCursor);
  else if (overLink_)
    view_->viewport()->setCursor(Qt::PointingHandCursor);
  else
    view_->viewport()->unsetCursor();
}

void PdfviewControl::ShowSearch() {
  if (view_->PageCount() <= 0) return;
  searchBar_->show();
  searchBox_->setFocus();
  searchBox_->selectAll();
}

void PdfviewControl::FindNext(int direction) {
  const int count = search_->rowCount({});
  if (count <= 0) return;
  if (currentHit_ < 0) {
    // The first hit on or after the page in view.
    const int page = std::max(CurrentPage(), 0);
    currentHit_ = 0;
    for (int i = 0; i < count; ++i)
      if (search_->resultAtIndex(i).page() >= page) {
        currentHit_ = direction > 0 ? i : (i + count - 1) % count;
        break;
      }
  } else {
    currentHit_ = (currentHit_ + direction + count) % count;
  }
  const QPdfLink hit = search_->resultAtIndex(currentHit_);
  const QList<QRectF> rectangles = hit.rectangles();
  view_->ShowArea(hit.page(), rectangles.isEmpty() ? QRectF(hit.location(), QSizeF(1, 1)) : rectangles.first());
  UpdateSearchCount();
  view_->viewport()->update();
}

void PdfviewControl::UpdateSearchCount() {
  const int count = search_->rowCount({});
  if (searchBox_->text().isEmpty())
    searchCount_->clear();
  else
    searchCount_->setText(QStringLiteral("%1/%2").arg(count > 0 ? currentHit_ + 1 : 0).arg(count));
}

void PdfviewControl::PaintMarks(QPainter& painter, int page, const QRectF& rect, double scale) {
  auto toView = [&](const QRectF& points) {
    return QRectF(rect.topLeft() + points.topLeft() * scale, points.size() * scale);
  };
  // The hits are marked while the search bar is open.
  if (!searchBar_->isHidden() && !searchBox_->text().isEmpty()) {
    const QList<QRectF> current =
        currentHit_ >= 0 && search_->resultAtIndex(currentHit_).page() == page
            ? search_->resultAtIndex(currentHit_).rectangles()
            : QList<QRectF>();
    for (const QPdfLink& hit : search_->resultsOnPage(page))
      for (const QRectF& area : hit.rectangles())
        painter.fillRect(toView(area), current.contains(area) ? QColor(255, 140, 0, 120) : QColor(255, 230, 0, 110));
  }
  if (selection_ && selectionPage_ == page) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 110, 230, 90));
    for (const QPolygonF& bound : selection_->bounds()) {
      QPolygonF shown;
      for (const QPointF& point : bound) shown << rect.topLeft() + point * scale;
      painter.drawPolygon(shown);
    }
  }
}

int PdfviewControl::LinkAt(int page, QPointF point) {
  if (page < 0 || linkRoles_[0] < 0) return -1;
  auto* model = static_cast<QAbstractItemModel*>(links_);
  if (links_->page() != page) links_->setPage(page);
  for (int row = 0; row < model->rowCount({}); ++row)
    if (model->index(row, 0).data(linkRoles_[0]).toRectF().contains(point)) return row;
  return -1;
}

void PdfviewControl::FollowLink(int row) {
  const QModelIndex index = static_cast<QAbstractItemModel*>(links_)->index(row, 0);
  const QUrl url = index.data(linkRoles_[1]).toUrl();
  if (url.isValid() && !url.isEmpty()) {
    QDesktopServices::openUrl(url);
    return;
  }
  const int page = index.data(linkRoles_[2]).toInt();
  if (page >= 0 && page < view_->PageCount()) view_->ShowPoint(page, index.data(linkRoles_[3]).toPointF());
}

void PdfviewControl::GoToPage(int page) {
  if (view_->PageCount() <= 0) return;
  view_->ShowPoint(std::clamp(page, 0, view_->PageCount() - 1), QPointF(-1, 0));
}

void PdfviewControl::CopySelection() {
  if (selection_ && !selection_->text().isEmpty()) QGuiApplication::clipboard()->setText(selection_->text());
}

void PdfviewControl::Print() {
  const int count = view_->PageCount();
  if (count <= 0) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QFileInfo(path_).fileName());
  QPrintDialog dialog(&printer, this);
  dialog.setMinMax(1, count);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage);
  if (dialog.exec() != QDialog::Accepted) return;
  int first = 0, last = count - 1;
  if (printer.printRange() == QPrinter::PageRange) {
    first = std::max(printer.fromPage(), 1) - 1;
    last = std::min(printer.toPage(), count) - 1;
  } else if (printer.printRange() == QPrinter::CurrentPage) {
    first = last = std::max(CurrentPage(), 0);
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QPainter painter(&printer);
  for (int page = first; page <= last && painter.isActive(); ++page) {
    if (page > first) printer.newPage();
    // Each page as large as the paper allows, its shape kept, in the middle.
    const QRectF paper = printer.pageLayout().paintRectPixels(printer.resolution());
    const QSizeF points = document_->pagePointSize(page);
    QSizeF size = points.scaled(paper.size(), Qt::KeepAspectRatio);
    const QImage picture = document_->render(page, size.toSize());
    const QPointF at((paper.width() - size.width()) / 2, (paper.height() - size.height()) / 2);
    painter.fillRect(QRectF(at, size), Qt::white);
    painter.drawImage(at, picture);
  }
  painter.end();
  QApplication::restoreOverrideCursor();
}

}  // namespace pdfview
