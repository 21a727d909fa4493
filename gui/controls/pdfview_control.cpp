#include "gui/controls/pdfview_control.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPdfDocument>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

#include "gui/controls/page_view.h"

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

  pages_ = new QStackedWidget(this);
  view_ = new PageView(pages_);
  view_->setObjectName(QStringLiteral("pages"));
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
  view_->onChanged = [this] { UpdateBar(); };
  // Busy while pictures or page sizes are still on their way; the pages can
  // be read and moved meanwhile.
  view_->onBusy = [this](bool busy) {
    if (busy)
      view_->viewport()->setCursor(Qt::BusyCursor);
    else
      view_->viewport()->unsetCursor();
  };

  ShowNothing(QString(), QString());
}

PdfviewControl::~PdfviewControl() {
  // The view and the document are destroyed with this widget's children,
  // after this object has stopped being a PdfviewControl; closing the
  // document then resizes the view's scroll bars, which must not call back.
  disconnect(view_->verticalScrollBar(), nullptr, this, nullptr);
  view_->onChanged = nullptr;
  view_->onBusy = nullptr;
  view_->SetDocument(nullptr);
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
  view_->SetDocument(nullptr);
  document_->close();
  const QPdfDocument::Error error =
      path.isEmpty() ? QPdfDocument::Error::FileNotFound : document_->load(path);
  if (error != QPdfDocument::Error::None || document_->pageCount() <= 0) {
    document_->close();
    ShowNothing(path, ReasonFor(error));
    return false;
  }
  pages_->setCurrentWidget(view_);
  view_->SetDocument(document_, path);
  // Readable by a host that does not know this module's types.
  view_->setProperty("pageCount", view_->PageCount());
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
  view_->setProperty("pageCount", 0);
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

}  // namespace pdfview
