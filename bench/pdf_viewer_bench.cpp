// The PDF viewer control at its highest zoom: resident memory while paging
// through 50 A4 pages and over a 5 m x 5 m page (goal: under 400 MB), and
// how long each Page Down takes until it shows: the bar painted with its new
// page, or the pages painted where the page stays the same (goal: 100 ms).
// A plain program: QT_QPA_PLATFORM=offscreen by default, or run under
// xvfb-run with QT_QPA_PLATFORM=xcb to watch a real window.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "gui/controls/control_interface.h"
#include "platform/loadable_module.h"
#include "tests/support/test_db.h"

namespace {

// Resident memory now and at its peak, in MB.
std::pair<double, double> Resident() {
  std::ifstream status("/proc/self/status");
  std::string line;
  double now = 0, peak = 0;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) now = std::stod(line.substr(6)) / 1024;
    if (line.rfind("VmHWM:", 0) == 0) peak = std::stod(line.substr(6)) / 1024;
  }
  return {now, peak};
}

// Text on every page, so that rendering has glyphs to draw.
void WriteDocument(const QString& file, QSizeF points, int pages) {
  QPdfWriter writer(file);
  writer.setResolution(72);
  writer.setPageLayout(QPageLayout(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch),
                                   QPageLayout::Portrait, QMarginsF()));
  QPainter painter(&writer);
  QFont font(QStringLiteral("sans"));
  font.setPixelSize(std::max(10, int(points.width() / 60)));
  painter.setFont(font);
  for (int page = 0; page < pages; ++page) {
    if (page > 0) writer.newPage();
    const double step = font.pixelSize() * 1.4;
    for (double y = step; y < points.height(); y += step)
      painter.drawText(QPointF(step, y), QStringLiteral(u"第 %1 页 评审标准 Criteria line %2 — 0123456789")
                                             .arg(page + 1)
                                             .arg(int(y / step)));
  }
}

// Lets the control draw and render until it has been idle for a while.
void Settle() {
  QElapsedTimer idle;
  idle.start();
  while (idle.elapsed() < 150) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Notes when the label was last painted.
class PaintClock : public QObject {
 public:
  bool painted = false;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted = true;
    return false;
  }
};

struct Run {
  int keys = 0;
  double worstKeyMs = 0;
  double totalKeyMs = 0;
  double peakMb = 0;
};

// Zooms to the highest zoom, then presses Page Down until `pages` pages were
// passed or `keys` keys were pressed.
Run PageThrough(QWidget& control, int pages, int keys) {
  auto* view = control.findChild<QAbstractScrollArea*>(QStringLiteral("pages"));
  auto* bar = control.findChild<QLabel*>(QStringLiteral("pageLabel"));
  auto* zoomIn = control.findChild<QToolButton*>(QStringLiteral("zoomIn"));
  auto* zoom = control.findChild<QLabel*>(QStringLiteral("zoomLabel"));
  while (zoomIn->isEnabled()) {
    zoomIn->click();
    Settle();
  }
  std::printf("  zoom %s, %s\n", qPrintable(zoom->text()), qPrintable(bar->text()));
  Run run;
  PaintClock paints;
  PaintClock viewPaints;
  bar->installEventFilter(&paints);
  view->viewport()->installEventFilter(&viewPaints);
  const QString first = bar->text();
  int passed = 0;
  while (passed < pages && run.keys < keys) {
    const QString before = bar->text();
    paints.painted = viewPaints.painted = false;
    QElapsedTimer clock;
    clock.start();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_PageDown, Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    QApplication::sendEvent(view, &release);
    // The key has shown once the bar's new text is painted, or, where the
    // page stays the same, the pages moved.
    PaintClock& shown = bar->text() != before ? paints : viewPaints;
    while (!shown.painted && clock.elapsed() < 5000) QApplication::processEvents();
    const double ms = clock.nsecsElapsed() / 1e6;
    ++run.keys;
    run.totalKeyMs += ms;
    run.worstKeyMs = std::max(run.worstKeyMs, ms);
    if (bar->text() != before) ++passed;
    Settle();
    run.peakMb = std::max(run.peakMb, Resident().first);
  }
  std::printf("  %s -> %s\n", qPrintable(first), qPrintable(bar->text()));
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing_support::TempDir dir("viewer-bench");
  const QString a4 = QString::fromStdString(dir.path() + "a4.pdf");
  const QString huge = QString::fromStdString(dir.path() + "5m.pdf");
  WriteDocument(a4, QSizeF(595, 842), 60);
  WriteDocument(huge, QSizeF(14173, 14173), 1);  // 5 m = 14,173 points

  const platform::ModuleLoad module = platform::LoadModuleForGood(PDFVIEW_MODULE);
  auto factory = reinterpret_cast<controls::CreateControlFunction>(
      platform::ModuleEntry(module.handle, controls::kCreateControlEntry));
  if (!factory) {
    std::fprintf(stderr, "cannot load %s: %s\n", PDFVIEW_MODULE, module.error.c_str());
    return 1;
  }
  QWidget window;
  window.resize(1280, 1000);
  controls::Control* control = factory(controls::kPdfviewClassId, &window);
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(control->widget());
  window.show();
  Settle();
  std::printf("started: %.0f MB resident\n", Resident().first);

  bool ok = true;
  for (const auto& [name, file, pages, keys] :
       {std::tuple{"A4 x 60, 50 pages", a4, 50, 2000}, std::tuple{"5 m x 5 m page, 50 screens", huge, 1, 50}}) {
    std::printf("%s\n", name);
    const std::u16string none;
    control->QueryInterface(controls::kPdfviewInterfaceId)
        ->Invoke(controls::kPdfviewOpen, {file.toStdU16String(), none, none});
    Settle();
    const Run run = PageThrough(*control->widget(), pages, keys);
    const auto [now, peak] = Resident();
    std::printf("  %d keys: worst %.1f ms, mean %.1f ms until shown\n", run.keys, run.worstKeyMs,
                run.totalKeyMs / std::max(run.keys, 1));
    std::printf("  resident: %.0f MB now, %.0f MB highest while paging, %.0f MB process peak\n", now,
                run.peakMb, peak);
    ok = ok && run.peakMb < 400 && run.worstKeyMs < 100;
  }
  std::printf("%s\n", ok ? "goals met" : "GOALS MISSED");
  return ok ? 0 : 2;
}
