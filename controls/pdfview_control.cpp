#include "controls/pdfview_control.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfView>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace pdfview {
namespace {

constexpr double kZoomStep = 1.25;
constexpr double kMinZoom = 0.1;
constexpr double kMaxZoom = 8.0;

// Logical pixels per PDF point on the primary screen, as the view lays pages out.
double ScreenResolution() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return (screen ? screen->logicalDotsPerInch() : 96.0) / 72.0;
}

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

  pages_ = new QStackedWidget(this);
  view_ = new QPdfView(pages_);
  view_->setObjectName(QStringLiteral("pages"));
  view_->setPageMode(QPdfView::PageMode::MultiPage);
  view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
  view_->setFocusPolicy(Qt::StrongFocus);
  view_->viewport()->installEventFilter(this);
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

  bar_ = new QWidget(this);
  bar_->setObjectName(QStringLiteral("viewerBar"));
  BuildBar(bar_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(pages_, 1);
  layout->addWidget(bar_);
  setFocusProxy(view_);
  InstallKeys();

  connect(view_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { UpdateBar(); });
  connect(view_->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] { UpdateBar(); });
  connect(view_, &QPdfView::zoomModeChanged, this, [this] { UpdateBar(); });
  connect(view_, &QPdfView::zoomFactorChanged, this, [this] { UpdateBar(); });

  ShowNothing(QString(), QString());
}

PdfviewControl::~PdfviewControl() {
  // The view and the document are destroyed with this widget's children,
  // after this object has stopped being a PdfviewControl; closing the
  // document then resizes the view's scroll bars, which must not call back.
  disconnect(view_->verticalScrollBar(), nullptr, this, nullptr);
  disconnect(view_, nullptr, this, nullptr);
  view_->setDocument(nullptr);
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

  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(6, 1, 6, 1);
  row->setSpacing(2);
  row->addWidget(pageLabel_);
  row->addStretch(1);
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
  // Page Up / Page Down scroll by one screen: the view's own keys.
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
  document_->close();
  view_->setDocument(nullptr);
  const QPdfDocument::Error error =
      path.isEmpty() ? QPdfDocument::Error::FileNotFound : document_->load(path);
  if (error != QPdfDocument::Error::None || document_->pageCount() <= 0) {
    document_->close();
    ShowNothing(path, ReasonFor(error));
    return false;
  }
  widestPagePoints_ = 0;
  for (int page = 0; page < document_->pageCount(); ++page)
    widestPagePoints_ = std::max(widestPagePoints_, document_->pagePointSize(page).width());
  view_->setDocument(document_);
  view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
  view_->verticalScrollBar()->setValue(0);
  pages_->setCurrentWidget(view_);
  bar_->show();
  UpdateBar();
  return true;
}

void PdfviewControl::ShowNothing(const QString& path, const QString& reason) {
  QString text = QStringLiteral(u"无法显示文档");
  if (!path.isEmpty()) text += QLatin1Char('\n') + QFileInfo(path).fileName();
  if (!reason.isEmpty()) text += QLatin1Char('\n') + reason;
  note_->setText(text);
  note_->setToolTip(path);
  pages_->setCurrentWidget(note_);
  bar_->hide();
}

double PdfviewControl::EffectiveZoom() const {
  if (view_->zoomMode() == QPdfView::ZoomMode::Custom) return view_->zoomFactor();
  // Fitted to the width: the widest page fills the viewport less the margins.
  const double widest = widestPagePoints_;
  if (widest <= 0) return 1.0;
  const QMargins margins = view_->documentMargins();
  const int room = view_->viewport()->width() - margins.left() - margins.right();
  return std::max(room, 1) / (widest * ScreenResolution());
}

void PdfviewControl::SetZoom(double factor) {
  if (document_->status() != QPdfDocument::Status::Ready) return;
  // The spot in the middle of the view stays in the middle while the pages
  // grow or shrink.
  auto centre = [](const QScrollBar* bar) {
    return (bar->value() + bar->pageStep() / 2.0) / std::max(bar->maximum() + bar->pageStep(), 1);
  };
  auto recentre = [](QScrollBar* bar, double at) {
    bar->setValue(int(std::lround(at * (bar->maximum() + bar->pageStep()) - bar->pageStep() / 2.0)));
  };
  const double vertical = centre(view_->verticalScrollBar());
  const double horizontal = centre(view_->horizontalScrollBar());
  view_->setZoomFactor(std::clamp(factor, kMinZoom, kMaxZoom));
  view_->setZoomMode(QPdfView::ZoomMode::Custom);
  recentre(view_->verticalScrollBar(), vertical);
  recentre(view_->horizontalScrollBar(), horizontal);
  // After a zoom the view can keep painting the area it saw before the scroll
  // bars were moved; a resize notice makes it take the area from them again.
  QResizeEvent sameSize(view_->viewport()->size(), view_->viewport()->size());
  QCoreApplication::sendEvent(view_->viewport(), &sameSize);
  UpdateBar();
}

void PdfviewControl::ZoomIn() { SetZoom(EffectiveZoom() * kZoomStep); }

void PdfviewControl::ZoomOut() { SetZoom(EffectiveZoom() / kZoomStep); }

void PdfviewControl::FitWidth() {
  view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
  UpdateBar();
}

int PdfviewControl::CurrentPage() const {
  const int count = document_->status() == QPdfDocument::Status::Ready ? document_->pageCount() : 0;
  if (count <= 0) return -1;
  const QScrollBar* bar = view_->verticalScrollBar();
  if (bar->maximum() > 0 && bar->value() >= bar->maximum()) return count - 1;
  // The view stacks the pages top to bottom, each as high as its points at
  // the current zoom, with the margins around and the spacing between them.
  // The page in view is the one that crosses the middle of the viewport.
  const double scale = EffectiveZoom() * ScreenResolution();
  const int middle = bar->value() + view_->viewport()->height() / 2;
  int y = view_->documentMargins().top();
  for (int page = 0; page < count; ++page) {
    y += int(document_->pagePointSize(page).height() * scale) + view_->pageSpacing();
    if (middle < y) return page;
  }
  return count - 1;
}

void PdfviewControl::UpdateBar() {
  const int count = document_->status() == QPdfDocument::Status::Ready ? document_->pageCount() : 0;
  pageLabel_->setText(count > 0 ? QStringLiteral(u"第 %1 / %2 页").arg(CurrentPage() + 1).arg(count)
                                : QString());
  zoomLabel_->setText(count > 0 ? QStringLiteral("%1%").arg(std::lround(EffectiveZoom() * 100))
                                : QString());
  fitWidth_->setEnabled(view_->zoomMode() != QPdfView::ZoomMode::FitToWidth);
  zoomIn_->setEnabled(count > 0 && EffectiveZoom() < kMaxZoom);
  zoomOut_->setEnabled(count > 0 && EffectiveZoom() > kMinZoom);
}

bool PdfviewControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_->viewport()) {
    if (event->type() == QEvent::Wheel) {
      auto* wheel = static_cast<QWheelEvent*>(event);
      if (wheel->modifiers() & Qt::ControlModifier) {
        // One notch of a wheel (120) is one zoom step; touch pads send parts of it.
        const int delta = wheel->angleDelta().y();
        if (delta != 0) SetZoom(EffectiveZoom() * std::pow(kZoomStep, delta / 120.0));
        return true;  // Ctrl + wheel zooms and never scrolls
      }
    } else if (event->type() == QEvent::Resize) {
      UpdateBar();  // fitted to width, the zoom follows the window's size
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace pdfview
