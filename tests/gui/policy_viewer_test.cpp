// The policy button on the real window: the viewer it opens, the document the
// control shows, and what the user sees when the control or the document is
// not there.
#include <QClipboard>
#include <QInputDialog>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolButton>
#include <QTreeView>
#include <QPdfDocument>
#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QPageSize>
#include <QPdfWriter>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <algorithm>
#include <fstream>
#include <iterator>

#include "core/base/Excel_unit.h"
#include "gui/base/qt_text.h"
#include "platform/class_registry.h"
#include "platform/codepage.h"
#include "tests/support/browser_fixture.h"
#include "tests/support/wait_until.h"
#include "gui/windows/Form_emp.h"
#include "gui/windows/PDFVIEWLib_TLB.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const char* const kClassId = "{433268D7-2CD4-43E6-AA24-2188672E7252}";

fs::path Utf8Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

QString QPath(const fs::path& path) {
  const std::u8string utf8 = path.u8string();
  return QString::fromUtf8(reinterpret_cast<const char*>(utf8.data()), qsizetype(utf8.size()));
}

// The control's scrolling view of the pages.
QAbstractScrollArea* Pages(QWidget& viewer) {
  return viewer.findChild<QAbstractScrollArea*>(QStringLiteral("pages"));
}

// What the viewer showed while it was open.
struct Seen {
  bool shown = false;
  bool modal = false;
  std::string caption;
  QSize clientSize;
  bool centred = false;
  int pageCount = -1;      // pages of the document in the control; -1 without one
  std::string pageBar;     // the control's page line
  std::string note;        // the nothing-to-display note, when it is in view
  QPointer<TForm2> window;
  bool referenceEmptiedAtClose = false;
  bool aliveRightAfterClose = false;
  std::shared_ptr<int> destroyed = std::make_shared<int>(0);  // times the window was freed
};

class PolicyViewer : public BrowserTest {
 protected:
  PolicyViewer() : config_("policy-config"), elsewhere_("policy-cwd") {
    // The class registry of these tests, never the developer's own.
    setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
    previousDir_ = fs::current_path();
  }
  ~PolicyViewer() override {
    fs::current_path(previousDir_);
    unsetenv("XDG_CONFIG_HOME");
  }

  fs::path Folder() const { return Utf8Path(dir_.path()); }
  fs::path Document() const { return Folder() / u8"政策文件.pdf"; }

  void InstallControl(const char* module) { fs::copy_file(module, Folder() / "pdfview.ocx"); }
  void InstallDemoDocument() { fs::copy_file(Utf8Path(BUILD_DIR) / u8"政策文件.pdf", Document()); }

  // Presses the policy button. While the viewer is open, `during` runs on it,
  // then it is closed by its close box (or ended by `end` when given).
  Seen Press(std::function<void(TForm2&)> end = {}) {
    Seen seen;
    QTimer poll;
    int waited = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      TForm2* viewer = Form2;
      if ((!viewer || !viewer->isVisible()) && ++waited < 500) return;
      poll.stop();
      if (!viewer) return;
      seen.shown = viewer->isVisible();
      seen.modal = QApplication::activeModalWidget() == viewer;
      seen.caption = FromQ(viewer->windowTitle());
      seen.clientSize = viewer->size();
      const QPoint off = viewer->frameGeometry().center() - viewer->screen()->availableGeometry().center();
      seen.centred = off.manhattanLength() <= 2;
      seen.window = viewer;
      QObject::connect(viewer, &QObject::destroyed, [count = seen.destroyed] { ++*count; });
      if (auto* view = Pages(*viewer))
        if (view->isVisibleTo(viewer)) seen.pageCount = view->property("pageCount").toInt();
      if (auto* bar = viewer->findChild<QLabel*>(QStringLiteral("pageLabel")))
        seen.pageBar = FromQ(bar->text());
      if (auto* note = viewer->findChild<QLabel*>(QStringLiteral("nothingToDisplay")))
        if (note->isVisibleTo(viewer)) seen.note = FromQ(note->text());
      if (end) {
        end(*viewer);
      } else {
        viewer->close();
        seen.referenceEmptiedAtClose = Form2 == nullptr;
        seen.aliveRightAfterClose = !seen.window.isNull();
      }
    });
    poll.start(10);
    w().policyButton->click();
    poll.stop();
    Pump();
    return seen;
  }

  std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const auto& m : ui_.messages) out.push_back(m.caption + "|" + m.text);
    return out;
  }

  TempDir config_;
  TempDir elsewhere_;
  fs::path previousDir_;
};

int PagesOf(const fs::path& file) {
  QPdfDocument document;
  document.load(QPath(file));
  return document.pageCount();
}

// A one-page PDF with other content, for a folder the program must not read.
void WriteOnePagePdf(const fs::path& file) {
  QPdfWriter writer(QPath(file));
  QPainter painter(&writer);
  painter.drawText(100, 100, QStringLiteral("not the policy document"));
}

TEST_F(PolicyViewer, OpensTheDocumentFromTheProgramFolderAndAgainAfterClosing) {
  InstallControl(PDFVIEW_MODULE);
  InstallDemoDocument();
  // The current directory holds a different document of the same name.
  WriteOnePagePdf(Utf8Path(elsewhere_.path()) / u8"政策文件.pdf");
  fs::current_path(Utf8Path(elsewhere_.path()));
  Open(SimpleCriteria(2));
  // The browser's creation registered the control beside the program.
  ASSERT_EQ(platform::FindClassModule(kClassId), Folder() / "pdfview.ocx");

  const int demoPages = PagesOf(Document());
  ASSERT_GE(demoPages, 3);  // several pages
  for (int press = 1; press <= 2; ++press) {
    SCOPED_TRACE(press);
    const Seen seen = Press();
    ASSERT_TRUE(seen.shown);
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.caption, "政策文件");
    EXPECT_EQ(seen.clientSize, QSize(850, 450));
    EXPECT_TRUE(seen.centred);
    EXPECT_EQ(seen.pageCount, demoPages);
    EXPECT_EQ(seen.pageBar, "第 1 / " + std::to_string(demoPages) + " 页");
    EXPECT_EQ(seen.note, "");
    // Closed: the reference is empty at once, the window is freed later,
    // through the event queue, exactly once.
    EXPECT_TRUE(seen.referenceEmptiedAtClose);
    EXPECT_TRUE(seen.aliveRightAfterClose);
    Pump();
    EXPECT_TRUE(seen.window.isNull());
    EXPECT_EQ(*seen.destroyed, 1);
    EXPECT_EQ(Form2, nullptr);
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(PolicyViewer, KeysAndWheelPageThroughAndZoomTheDocument) {
  InstallControl(PDFVIEW_MODULE);
  InstallDemoDocument();
  Open(SimpleCriteria(1));
  const int pages = PagesOf(Document());
  const Seen seen = Press([&](TForm2& viewer) {
    auto* view = Pages(viewer);
    auto* pageLine = viewer.findChild<QLabel*>(QStringLiteral("pageLabel"));
    auto* zoomLine = viewer.findChild<QLabel*>(QStringLiteral("zoomLabel"));
    ASSERT_TRUE(view && pageLine && zoomLine);
    auto page = [&] { return FromQ(pageLine->text()); };
    auto zoom = [&] { return zoomLine->text().chopped(1).toInt(); };  // "104%"
    const std::string last = "第 " + std::to_string(pages) + " / " + std::to_string(pages) + " 页";
    // The keys are the window's shortcuts: they act once the window is the
    // active one, which a busy machine may take a while to make it.
    viewer.activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return viewer.isActiveWindow(); }));
    view->setFocus();

    // Page Down scrolls on, page after page, to the last one.
    std::vector<std::string> passed{page()};
    for (int k = 0; k < 100 && page() != last; ++k) {
      QTest::keyClick(view, Qt::Key_PageDown);
      if (page() != passed.back()) passed.push_back(page());
    }
    EXPECT_EQ(passed.size(), size_t(pages));
    EXPECT_EQ(page(), last);
    const std::string first = "第 1 / " + std::to_string(pages) + " 页";
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_TRUE(WaitUntil([&] { return page() == first; })) << page();
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_TRUE(WaitUntil([&] { return page() == last; })) << page();

    // Fitted to the width at first; Ctrl + wheel and Ctrl + plus/minus zoom,
    // Ctrl + 0 fits the width again.
    const int fitted = zoom();
    EXPECT_GT(fitted, 0);
    const int scrolled = view->verticalScrollBar()->value();
    QWheelEvent wheel(QPointF(100, 100), view->viewport()->mapToGlobal(QPointF(100, 100)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    const int zoomedIn = zoom();
    EXPECT_NEAR(zoomedIn, fitted * 1.25, 1.5);  // one step of 1.25, shown rounded
    EXPECT_EQ(page(), last);  // zoomed where the user was, not scrolled elsewhere
    EXPECT_NE(view->verticalScrollBar()->value(), scrolled);
    // Wider than the view now, the page fills it to both edges: the view
    // shows its middle, not its left margin.
    const QImage shown = view->viewport()->grab().toImage();
    const QColor white = Qt::white;
    EXPECT_EQ(shown.pixelColor(1, shown.height() / 2), white);
    EXPECT_EQ(shown.pixelColor(shown.width() - 2, shown.height() / 2), white);
    EXPECT_NEAR(view->horizontalScrollBar()->value(), view->horizontalScrollBar()->maximum() / 2.0, 1);
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_LT(zoom(), fitted);
    QTest::keyClick(view, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(zoom(), fitted);
    viewer.close();
  });
  ASSERT_TRUE(seen.shown);
}

// A document whose page i has the size sizeOf(i), in points, and is filled
// with a colour that names it (see DrawnPage).
void WriteColouredPages(const fs::path& file, int count, const std::function<QSizeF(int)>& sizeOf) {
  auto layout = [&](int page) {
    return QPageLayout(QPageSize(sizeOf(page), QPageSize::Point, QString(), QPageSize::ExactMatch),
                       QPageLayout::Portrait, QMarginsF());
  };
  QPdfWriter writer(QPath(file));
  writer.setResolution(72);
  writer.setPageLayout(layout(0));
  QPainter painter(&writer);
  for (int page = 0; page < count; ++page) {
    if (page > 0) {
      writer.setPageLayout(layout(page));
      writer.newPage();
    }
    painter.fillRect(QRectF(QPointF(), sizeOf(page)),
                     QColor(page % 16 * 16 + 8, page / 16 % 16 * 16 + 8, page / 256 * 16 + 8));
  }
}

constexpr int kNotDrawnYet = -2;  // blank paper: the picture is still being rendered
constexpr int kBetweenPages = -1;

// The page whose colour is at the middle of the view, or what is there instead.
int DrawnPage(QAbstractScrollArea& view) {
  const QImage shown = view.viewport()->grab().toImage();
  const QColor c = shown.pixelColor(shown.width() / 2, shown.height() / 2);
  if (c == QColor(Qt::white)) return kNotDrawnYet;
  int digits[3];
  const int channels[3] = {c.red(), c.green(), c.blue()};
  for (int i = 0; i < 3; ++i) {
    if (std::abs(channels[i] % 16 - 8) > 3) return kBetweenPages;
    digits[i] = channels[i] / 16;
  }
  return digits[0] + digits[1] * 16 + digits[2] * 256;
}

TEST_F(PolicyViewer, PagesOfAnySizeAreNamedZoomedAndKeptInPlaceAsTheyAreDrawn) {
  InstallControl(PDFVIEW_MODULE);
  Open(SimpleCriteria(1));
  const fs::path mixed = Folder() / "mixed.pdf";
  const fs::path longer = Folder() / "long.pdf";
  // A landscape page, then portrait ones; and a long document of pages
  // whose height is no whole number of pixels at any zoom.
  WriteColouredPages(mixed, 13, [](int page) { return page == 0 ? QSizeF(842, 595) : QSizeF(595, 842); });
  WriteColouredPages(longer, 1500, [](int) { return QSizeF(300, 100.3); });
  {
    QPdfDocument check;
    check.load(QPath(mixed));
    ASSERT_EQ(check.pagePointSize(0).toSize(), QSize(842, 595));
    ASSERT_EQ(check.pagePointSize(1).toSize(), QSize(595, 842));
  }
  const Seen seen = Press([&](TForm2& viewer) {
    QAbstractScrollArea* view = Pages(viewer);
    auto* pageLine = viewer.findChild<QLabel*>(QStringLiteral("pageLabel"));
    auto* zoomLine = viewer.findChild<QLabel*>(QStringLiteral("zoomLabel"));
    ASSERT_TRUE(view && pageLine && zoomLine);
    auto page = [&] { return pageLine->text().section(QLatin1Char(' '), 1, 1).toInt() - 1; };
    auto zoom = [&] { return zoomLine->text().chopped(1).toInt(); };
    auto open = [&](const fs::path& file) {
      const std::u16string none;
      ASSERT_EQ(viewer.Pdfview1->Invoke(1, {file.u16string(), none, none}), controls::DispatchValue(true));
    };
    // The bar names the page that is drawn at the middle of the view (moved
    // on a little when the middle falls between two pages).
    auto agree = [&] {
      int drawn = kNotDrawnYet;
      for (int nudge = 0; nudge < 2; ++nudge) {
        QElapsedTimer waited;
        waited.start();
        while ((drawn = DrawnPage(*view)) == kNotDrawnYet && waited.elapsed() < 30000) QTest::qWait(10);
        if (drawn != kBetweenPages) break;
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->value() + 12);
      }
      ASSERT_GE(drawn, 0) << "nothing drawn at the middle of the view";
      EXPECT_EQ(drawn, page());
    };
    auto key = [&](int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
      QTest::keyClick(view, Qt::Key(k), modifiers);
    };
    ASSERT_TRUE(QTest::qWaitForWindowActive(&viewer, 30000));
    view->setFocus();

    open(mixed);
    EXPECT_EQ(FromQ(pageLine->text()), "第 1 / 13 页");
    agree();
    const int landscape = zoom();
    for (int k = 0; k < 20 && page() < 2; ++k) key(Qt::Key_PageDown);
    ASSERT_EQ(page(), 2);
    agree();
    // Each page fitted on its own: the portrait page is drawn larger, and the
    // bar says so.
    const int portrait = zoom();
    EXPECT_NEAR(portrait, landscape * 842.0 / 595.0, 2);
    // Zooming in makes the page in view larger, where it is; fitting again
    // brings back its own fitted zoom, still there.
    key(Qt::Key_Equal, Qt::ControlModifier);
    // Before the new zoom is rendered, the view shows the picture it had,
    // enlarged, never blank paper.
    EXPECT_EQ(DrawnPage(*view), 2);
    EXPECT_NEAR(zoom(), portrait * 1.25, 1.5);
    EXPECT_GT(view->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(page(), 2);
    agree();
    key(Qt::Key_Equal, Qt::ControlModifier);
    key(Qt::Key_Equal, Qt::ControlModifier);
    for (int k = 0; k < 40 && page() < 6; ++k) key(Qt::Key_PageDown);
    ASSERT_EQ(page(), 6);
    key(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(zoom(), portrait);
    EXPECT_EQ(page(), 6);
    agree();
    key(Qt::Key_Home);
    EXPECT_EQ(zoom(), landscape);

    open(longer);
    EXPECT_EQ(FromQ(pageLine->text()), "第 1 / 1500 页");
    key(Qt::Key_End);
    EXPECT_EQ(FromQ(pageLine->text()), "第 1500 / 1500 页");
    agree();
    // Anywhere in the document, near its end above all, the page named is
    // the page drawn.
    QScrollBar* bar = view->verticalScrollBar();
    for (const double at : {0.9995, 0.999, 0.998, 0.99, 0.95, 0.75, 0.5, 0.25}) {
      SCOPED_TRACE(at);
      bar->setValue(int(bar->maximum() * at));
      agree();
      for (int k = 0; k < 3; ++k) {
        key(Qt::Key_PageUp);
        agree();
      }
    }
    // Zoomed in on a page far down, fitting again keeps that page in view.
    bar->setValue(int(bar->maximum() * 0.97));
    const int reading = page();
    for (int k = 0; k < 4; ++k) key(Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(page(), reading);
    key(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(page(), reading);
    agree();
    viewer.close();
  });
  ASSERT_TRUE(seen.shown);
  EXPECT_TRUE(Messages().empty());
}

// What the user reads in the viewer's bars.
struct Bars {
  QLabel* page;
  QLabel* zoom;
  QLabel* hits;
  QLineEdit* search;
  QLineEdit* goTo;
  explicit Bars(TForm2& viewer)
      : page(viewer.findChild<QLabel*>(QStringLiteral("pageLabel"))),
        zoom(viewer.findChild<QLabel*>(QStringLiteral("zoomLabel"))),
        hits(viewer.findChild<QLabel*>(QStringLiteral("searchCount"))),
        search(viewer.findChild<QLineEdit*>(QStringLiteral("searchBox"))),
        goTo(viewer.findChild<QLineEdit*>(QStringLiteral("pageBox"))) {}
  int Page() const { return page->text().section(QLatin1Char(' '), 1, 1).toInt(); }
};

// Pixels of the view in the colour the current search hit is marked with.
int MarkedPixels(QAbstractScrollArea& view) {
  const QImage shown = view.viewport()->grab().toImage();
  int marked = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) {
      const QColor c = shown.pixelColor(x, y);
      marked += c.red() > 200 && c.green() > 120 && c.green() < 215 && c.blue() < 140;
    }
  return marked;
}

TEST_F(PolicyViewer, ReaderSearchesGoesToAPageCopiesTextAndComesBackWhereItLeft) {
  InstallControl(PDFVIEW_MODULE);
  InstallDemoDocument();
  Open(SimpleCriteria(1));
  const int pages = PagesOf(Document());
  std::string zoomLeft;
  Press([&](TForm2& viewer) {
    Bars bars(viewer);
    QAbstractScrollArea* view = Pages(viewer);
    ASSERT_TRUE(bars.page && bars.zoom && bars.hits && bars.search && bars.goTo && view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&viewer, 30000));
    view->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(view->property("drawn").toBool(), 30000);
    // Busy until the pictures and page sizes are all there, then not.
    QTRY_COMPARE_WITH_TIMEOUT(view->viewport()->cursor().shape(), Qt::ArrowCursor, 30000);

    // Select the title of the first page with the mouse, from its first
    // character to its last, and copy it. The page is fitted between the
    // view's margins of 8 pixels.
    QPdfDocument document;
    document.load(QPath(Document()));
    const QRectF title = document.getSelectionAtIndex(0, 0, 14).boundingRectangle();
    const double scale = (view->viewport()->width() - 16) / document.pagePointSize(0).width();
    const QPoint from = (QPointF(8, 8) + QPointF(title.left() + 2, title.center().y()) * scale).toPoint();
    const QPoint to = (QPointF(8, 8) + QPointF(title.right() - 2, title.center().y()) * scale).toPoint();
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, from);
    for (int step = 1; step <= 4; ++step) {
      QMouseEvent move(QEvent::MouseMove, QPointF(from + (to - from) * step / 4), view->viewport()->mapToGlobal(QPointF(from + (to - from) * step / 4)),
                       Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(view->viewport(), &move);
    }
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, to);
    QApplication::clipboard()->clear();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(QApplication::clipboard()->text().contains(QStringLiteral(u"电子病历系统应用水平分级评价")))
        << FromQ(QApplication::clipboard()->text());

    // Ctrl+F, a Chinese phrase: the hits are counted and the first is shown, marked.
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bars.search->isVisible());
    bars.search->insert(QStringLiteral(u"评价标准"));  // as an input method types it
    QTRY_VERIFY_WITH_TIMEOUT(bars.hits->text().startsWith(QStringLiteral("1/")), 30000);
    // Every page is searched, the count grows to its end.
    QString count;
    QTRY_VERIFY_WITH_TIMEOUT((count = bars.hits->text(), QTest::qWait(200), count == bars.hits->text()), 30000);
    const int total = count.section(QLatin1Char('/'), 1).toInt();
    EXPECT_GE(total, 3);
    QTRY_VERIFY_WITH_TIMEOUT(MarkedPixels(*view) > 50, 30000);
    // Enter goes on to the next hit, Shift+Enter back; past the last is the first.
    QTest::keyClick(bars.search, Qt::Key_Return);
    EXPECT_EQ(bars.hits->text(), QStringLiteral("2/%1").arg(total));
    QTest::keyClick(bars.search, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(bars.search, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(bars.hits->text(), QStringLiteral("%1/%1").arg(total));
    EXPECT_GE(bars.Page(), 2);  // the last hit is not on the first page
    QTRY_VERIFY_WITH_TIMEOUT(MarkedPixels(*view) > 50, 30000);
    QTest::keyClick(bars.search, Qt::Key_Escape);
    EXPECT_FALSE(bars.search->isVisible());

    // A page number typed into the bar; Space and Shift+Space page on and back.
    QTest::keyClick(view, Qt::Key_G, Qt::ControlModifier);
    EXPECT_TRUE(bars.goTo->hasFocus());
    QTest::keyClicks(bars.goTo, QStringLiteral("2"));
    QTest::keyClick(bars.goTo, Qt::Key_Return);
    EXPECT_EQ(FromQ(bars.page->text()), "第 2 / " + std::to_string(pages) + " 页");
    const int top = view->verticalScrollBar()->value();
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_EQ(view->verticalScrollBar()->value(), top + view->verticalScrollBar()->pageStep());
    QTest::keyClick(view, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(view->verticalScrollBar()->value(), top);
    QTest::keyClick(view, Qt::Key_Equal, Qt::ControlModifier);
    zoomLeft = FromQ(bars.zoom->text());
    EXPECT_EQ(bars.Page(), 2);
    viewer.close();
  });
  // Opened again, the document is where the user left it.
  Press([&](TForm2& viewer) {
    Bars bars(viewer);
    EXPECT_EQ(FromQ(bars.page->text()), "第 2 / " + std::to_string(pages) + " 页");
    EXPECT_EQ(FromQ(bars.zoom->text()), zoomLeft);
    viewer.close();
  });
  // Kept in the user's own data folder, nothing beside the program.
  EXPECT_TRUE(fs::exists(fs::path(qgetenv("XDG_DATA_HOME").toStdString()) / "Zelvoran" / "reading_places.ini"));
  EXPECT_FALSE(fs::exists(Folder() / "reading_places.ini"));
  EXPECT_TRUE(Messages().empty());
}

// A small PDF written by hand: three pages, a link on the first to the top
// of the third, and contents with an entry for the second page.
void WriteLinkedPdf(const fs::path& file) {
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R /Outlines 6 0 R /PageMode /UseOutlines >>",
      "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 600] /Annots [8 0 R] >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 600] >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 600] >>",
      "<< /Type /Outlines /First 7 0 R /Last 7 0 R /Count 1 >>",
      "<< /Title (Second page) /Parent 6 0 R /Dest [4 0 R /XYZ 0 600 0] >>",
      "<< /Type /Annot /Subtype /Link /Rect [50 450 350 550] /Border [0 0 0] /Dest [5 0 R /XYZ 0 600 0] >>"};
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const size_t offset : offsets) {
    char line[24];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    pdf += line;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  std::ofstream(file, std::ios::binary) << pdf;
}

TEST_F(PolicyViewer, LinksAndContentsGoWhereTheyPoint) {
  InstallControl(PDFVIEW_MODULE);
  WriteLinkedPdf(Document());
  Open(SimpleCriteria(1));
  Press([&](TForm2& viewer) {
    Bars bars(viewer);
    QAbstractScrollArea* view = Pages(viewer);
    auto* outline = viewer.findChild<QTreeView*>(QStringLiteral("outline"));
    auto* outlineButton = viewer.findChild<QToolButton*>(QStringLiteral("outlineButton"));
    ASSERT_TRUE(view && outline && outlineButton);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&viewer, 30000));
    EXPECT_EQ(FromQ(bars.page->text()), "第 1 / 3 页");
    // The contents are shown beside the pages, and can be hidden.
    ASSERT_TRUE(outline->isVisible());
    ASSERT_EQ(outline->model()->rowCount(), 1);
    EXPECT_EQ(outline->model()->index(0, 0).data().toString(), QStringLiteral("Second page"));
    outline->clicked(outline->model()->index(0, 0));
    EXPECT_EQ(bars.Page(), 2);
    outlineButton->click();
    EXPECT_FALSE(outline->isVisible());
    // A click on the link of the first page shows the third.
    view->verticalScrollBar()->setValue(0);
    QTRY_VERIFY_WITH_TIMEOUT(view->property("drawn").toBool(), 30000);
    // The link covers the middle of the page's upper part: 50..350 of 400
    // points across, 50..150 of 600 down.
    const int pageWidth = view->viewport()->width() - 16;  // fitted, between the margins
    const QPoint link(8 + pageWidth / 2, 8 + pageWidth * 100 / 400);
    QTest::mouseMove(view->viewport(), link);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, link);
    EXPECT_EQ(FromQ(bars.page->text()), "第 3 / 3 页");
    viewer.close();
  });
  EXPECT_TRUE(Messages().empty());
}

// A protected document asks for its password, again after a wrong one, and
// shows the note when the user gives up. (Made with mupdf's tool, where it
// is installed.)
TEST_F(PolicyViewer, ProtectedDocumentAsksForItsPassword) {
  const QString mutool = QStandardPaths::findExecutable(QStringLiteral("mutool"));
  if (mutool.isEmpty()) GTEST_SKIP() << "mutool not installed: no protected document to open";
  InstallControl(PDFVIEW_MODULE);
  ASSERT_EQ(QProcess::execute(mutool, {QStringLiteral("clean"), QStringLiteral("-E"), QStringLiteral("aes-128"),
                                       QStringLiteral("-U"), QStringLiteral("geheim"), QStringLiteral("-O"),
                                       QStringLiteral("owner"), QPath(Utf8Path(BUILD_DIR) / u8"政策文件.pdf"),
                                       QPath(Document())}),
            0);
  Open(SimpleCriteria(1));
  // The answers the user types, one per prompt; the prompts seen.
  std::vector<QString> answers;
  std::vector<std::string> prompts;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    prompts.push_back(FromQ(dialog->labelText()));
    if (prompts.size() > answers.size()) {
      dialog->reject();
      return;
    }
    dialog->setTextValue(answers[prompts.size() - 1]);
    dialog->accept();
  });
  answer.start(10);
  answers = {QStringLiteral("wrong"), QStringLiteral("geheim")};
  Seen seen = Press();
  EXPECT_EQ(prompts, (std::vector<std::string>{"文档 政策文件.pdf 受密码保护，请输入密码：", "密码不正确，请重新输入："}));
  EXPECT_EQ(seen.pageCount, PagesOf(Utf8Path(BUILD_DIR) / u8"政策文件.pdf"));
  prompts.clear();
  answers.clear();
  seen = Press();
  EXPECT_EQ(prompts.size(), 1u);
  EXPECT_EQ(seen.note, "无法显示文档\n政策文件.pdf\n文档受密码保护");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(PolicyViewer, ModalShowingEndedWithoutACloseFreesTheWindowOnce) {
  InstallControl(PDFVIEW_MODULE);
  InstallDemoDocument();
  Open(SimpleCriteria(1));
  const Seen seen = Press([&](TForm2& viewer) {
    // A second request while the viewer exists does nothing.
    w().ShowPolicyDocument();
    EXPECT_EQ(Form2, &viewer);
    viewer.done(0);  // the modal loop ends without the close event
  });
  ASSERT_TRUE(seen.shown);
  EXPECT_TRUE(seen.window.isNull());  // freed by the button's handler
  EXPECT_EQ(*seen.destroyed, 1);
  EXPECT_EQ(Form2, nullptr);
  const auto windows = QApplication::topLevelWidgets();
  EXPECT_EQ(std::count_if(windows.begin(), windows.end(),
                          [](QWidget* widget) { return qobject_cast<TForm2*>(widget) != nullptr; }),
            0);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(PolicyViewer, MissingDocumentOrNoPdfShowsTheNoteAndNoMessage) {
  InstallControl(PDFVIEW_MODULE);
  Open(SimpleCriteria(1));
  Seen seen = Press();
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(seen.caption, "政策文件");
  EXPECT_EQ(seen.pageCount, -1);
  EXPECT_EQ(seen.note, "无法显示文档\n政策文件.pdf\n文件不存在");

  std::ofstream(Document()) << "%PDF-1.4 this is no document";
  seen = Press();
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(seen.caption, "政策文件");
  EXPECT_EQ(seen.note, "无法显示文档\n政策文件.pdf\n不是可读的 PDF 文档");
  EXPECT_TRUE(Messages().empty());

  // The open call answers whether there is something to display.
  Press([&](TForm2& viewer) {
    const std::u16string none;
    EXPECT_EQ(viewer.Pdfview1->Invoke(1, {Document().u16string(), none, none}),
              controls::DispatchValue(false));
    fs::remove(Document());
    InstallDemoDocument();
    EXPECT_EQ(viewer.Pdfview1->Invoke(1, {Document().u16string(), none, none}),
              controls::DispatchValue(true));
    viewer.close();
  });
}

TEST_F(PolicyViewer, ControlThatCannotBeCreatedIsReportedAndTheButtonWorksAgain) {
  Open(SimpleCriteria(1));  // no control file beside the program: nothing registered
  const std::string title = "Kestrowan软件|";
  EXPECT_FALSE(Press().shown);
  EXPECT_FALSE(Press().shown);  // pressed again: the same report, no viewer
  const std::string folder = platform::Utf8ToCp936(dir_.path());
  EXPECT_EQ(Messages(), std::vector<std::string>(
                            2, title + "找不到 PDF 浏览控件文件 " + folder + "pdfview.ocx，无法创建 PDF 浏览控件."));
  ui_.messages.clear();
  // A damaged control file fails to register; a registry folder that cannot
  // be written leaves a sound one unregistered. Each is named as it is.
  std::ofstream(Folder() / "pdfview.ocx") << "damaged";
  EXPECT_FALSE(Press().shown);
  fs::remove(Folder() / "pdfview.ocx");
  fs::copy_file(PDFVIEW_MODULE, Folder() / "pdfview.ocx");
  std::ofstream(fs::path(config_.path()) / "file") << "x";
  setenv("XDG_CONFIG_HOME", (fs::path(config_.path()) / "file").c_str(), 1);
  EXPECT_FALSE(Press().shown);
  setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
  fs::remove(Folder() / "pdfview.ocx");
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            title + "PDF 浏览控件文件 " + folder + "pdfview.ocx 已损坏或不是 PDF 浏览控件.",
                            title + "控件注册文件夹 " + platform::Utf8ToCp936(config_.path()) +
                                "file/Zelvoran 不可写入，无法注册 PDF 浏览控件."}));
  ui_.messages.clear();

  // Registered, then the file went away.
  const fs::path module = Folder() / "pdfview.ocx";
  fs::copy_file(PDFVIEW_MODULE, module);
  ASSERT_TRUE(RegisterServerFile(platform::Utf8ToCp936(dir_.path() + "pdfview.ocx")));
  fs::remove(module);
  EXPECT_FALSE(Press().shown);
  // A file that is no library, and a library without the control factory.
  // (Files of their own: a library once loaded may stay in the process.)
  std::ofstream(Folder() / "text.ocx") << "not a module";
  ASSERT_TRUE(platform::RegisterClassModule(kClassId, Folder() / "text.ocx"));
  EXPECT_FALSE(Press().shown);
  fs::copy_file(FAKE_PDFVIEW_MODULE, Folder() / "fake.ocx");
  ASSERT_TRUE(platform::RegisterClassModule(kClassId, Folder() / "fake.ocx"));
  EXPECT_FALSE(Press().shown);

  ASSERT_EQ(ui_.messages.size(), 3u);
  EXPECT_EQ(ui_.messages[0].text, "找不到 PDF 浏览控件文件 " + folder + "pdfview.ocx，无法创建 PDF 浏览控件.");
  // The file is named once, and the reason is the program's own.
  EXPECT_EQ(ui_.messages[1].text, "PDF 浏览控件文件 " + folder + "text.ocx 已损坏，无法加载.");
  // The report adds no full stop after ")".
  EXPECT_EQ(ui_.messages[2].text,
            "PDF 浏览控件文件 " + folder + "fake.ocx 不能创建控件 (缺少入口 ZelvoranCreateControl)");
  for (const auto& m : ui_.messages) EXPECT_EQ(m.icon, MessageIcon::Error);
  EXPECT_EQ(Form2, nullptr);
}

// Half a pdfview.ocx, as an interrupted upgrade or a full disk leaves it:
// start-up goes on without registering it, and the policy button names it
// damaged. One registered while whole and cut afterwards is refused too.
TEST_F(PolicyViewer, ControlFileCutShortIsNamedDamagedAndTheProgramGoesOn) {
  std::ifstream in(PDFVIEW_MODULE, std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream(Folder() / "pdfview.ocx", std::ios::binary) << whole.substr(0, whole.size() / 2);
  Open(SimpleCriteria(2));
  EXPECT_EQ(platform::FindClassModule(kClassId), std::nullopt);
  EXPECT_FALSE(Press().shown);
  std::ofstream(Folder() / "cut.ocx", std::ios::binary) << whole.substr(0, whole.size() - 100);
  ASSERT_TRUE(platform::RegisterClassModule(kClassId, Folder() / "cut.ocx"));
  EXPECT_FALSE(Press().shown);
  const std::string start = "Kestrowan软件|PDF 浏览控件文件 " + platform::Utf8ToCp936(dir_.path());
  EXPECT_EQ(Messages(), (std::vector<std::string>{start + "pdfview.ocx 已损坏或不是 PDF 浏览控件.",
                                                  start + "cut.ocx 已损坏，无法加载."}));
  EXPECT_EQ(Form2, nullptr);
}

TEST_F(PolicyViewer, OpenCallThatFailsIsReportedAndTheViewerStillShown) {
  InstallControl(REFUSING_PDFVIEW_MODULE);
  InstallDemoDocument();
  Open(SimpleCriteria(1));
  // That module has no registration entries of its own.
  ASSERT_TRUE(platform::RegisterClassModule(kClassId, Folder() / "pdfview.ocx"));
  const Seen seen = Press();
  ASSERT_TRUE(seen.shown);
  EXPECT_TRUE(seen.modal);
  EXPECT_NE(seen.caption, "政策文件");  // set-up stopped before the caption
  EXPECT_EQ(Messages(), std::vector<std::string>{
                            "Kestrowan软件|调用 PDF 浏览控件失败 (调度号 1, 0x80020003): member not found."});
  EXPECT_EQ(Form2, nullptr);
}

}  // namespace
