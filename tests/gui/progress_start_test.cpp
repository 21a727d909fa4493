// A start in show-all mode: the progress window is on screen while the grid
// loads, before the browser appears.
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>

#include "gui/base/qt_text.h"
#include "tests/support/browser_fixture.h"
#include "gui/windows/Unit1.h"

using namespace testing_support;

namespace {

class ShowAllStart : public BrowserTest {};

TEST_F(ShowAllStart, ProgressWindowFollowsTheLoadAndClosesBeforeTheBrowserAppears) {
  Create(SimpleCriteria(5), {"0", "精确", "", "加载标题", "0"});
  ASSERT_EQ(Form1, nullptr);
  struct Seen {
    bool progressVisible = false, browserVisible = true;
    int progressBar = -1, browserBar = -1, maximum = -1;
  };
  std::vector<Seen> seen;
  // Samples taken while the load lets messages run, row by row.
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (!Form1 || w().progressBar->value() == 0) return;
    seen.push_back({Form1->isVisible(), w().isVisible(), Form1->ProgressBar1->value(),
                    w().progressBar->value(), Form1->ProgressBar1->maximum()});
  });
  probe.start(0);
  w().show();
  probe.stop();
  ASSERT_FALSE(seen.empty());
  for (const Seen& s : seen) {
    EXPECT_TRUE(s.progressVisible);
    EXPECT_FALSE(s.browserVisible);
    EXPECT_EQ(s.progressBar, s.browserBar);
    EXPECT_EQ(s.maximum, 5);
  }
  EXPECT_EQ(seen.front().progressBar, 1);  // it followed the rows
  EXPECT_EQ(seen.back().progressBar, 4);
  ASSERT_NE(Form1, nullptr);
  EXPECT_EQ(FromQ(Form1->windowTitle()), "加载标题");
  EXPECT_FALSE(Form1->isVisible());
  EXPECT_EQ(Form1->ProgressBar1->value(), 0);
  EXPECT_EQ(w().progressBar->value(), 0);
  EXPECT_TRUE(w().isVisible());
  EXPECT_EQ(w().grid().RowCount(), 6);
  EXPECT_TRUE(w().showAllButton->isChecked());
  // Closed at 0 it was only hidden: the same window comes back.
  TForm1* first = Form1;
  Click(w().retrievalButton, QPoint(3, 8));
  Click(w().showAllButton, QPoint(3, 8));
  EXPECT_EQ(Form1, first);
  EXPECT_TRUE(ui_.messages.empty());
}

}  // namespace
