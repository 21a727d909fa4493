#include "gui/windows/Unit1.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <filesystem>
#include <set>
#include <vector>

#include "core/base/app_folder.h"
#include "gui/base/error_report.h"
#include "gui/base/qt_text.h"
#include "gui/base/ui_services.h"
#include "tests/support/test_db.h"
#include "tests/support/wait_until.h"

namespace {

using testing_support::CreateVarnDb;

class RecordingUi final : public UiServices {
 public:
  std::vector<MessageRequest> messages;
  void ShowMessage(const MessageRequest& request) override { messages.push_back(request); }
  std::optional<std::filesystem::path> AskSaveFileName(const SaveDialogRequest&) override { return {}; }
  void PushBusyCursor() override {}
  void PopCursor() override {}
};

class ProgressWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    SetAppFolderForTests(dir_.path());
    SetUi(&ui_);
  }
  void TearDown() override {
    delete owner_;  // takes the progress window with it
    SetUi(nullptr);
    SetAppFolderForTests("");
  }
  TForm1* Create(const std::vector<std::string>& settings) {
    std::filesystem::remove(dir_.path() + "VARN.mdb");
    CreateVarnDb(dir_.path(), {}, settings);
    return new TForm1(owner_);
  }

  testing_support::TempDir dir_{"progress_window"};
  RecordingUi ui_;
  QWidget* owner_ = new QWidget;
};

TEST_F(ProgressWindow, CaptionIsTheWholeFourthSettingsValue) {
  const struct {
    std::vector<std::string> settings;
    const char* caption;
  } cases[] = {
      {{"0", "精确", "", "测试标题", "1"}, "测试标题"},
      {{"0", "精确", "", "标题"}, "标题"},
      {{"0", "精确", "评分"}, ""},
      {{}, ""},
      {{"0", "精确", "评分", "", "1"}, ""},
      {{"0", "精确", "甲,乙", "测试标题", "1"}, "测试标题"},
      {{"0", "精确", "", "标题,副标题", "1"}, "标题,副标题"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    TForm1* form = Create(c.settings);
    EXPECT_EQ(form->windowTitle(), ToQ(c.caption));
    EXPECT_TRUE(form->ADOConnection1.Connected());
    // What the caption bar gets: Qt's platform windows show the program's
    // name instead of an empty title, so an empty caption must reach them
    // as a title that is not empty and shows nothing.
    form->show();
    ASSERT_NE(form->windowHandle(), nullptr);
    const QString bar = form->windowHandle()->title();
    if (*c.caption) {
      EXPECT_EQ(bar, ToQ(c.caption));
    } else {
      EXPECT_FALSE(bar.isEmpty());
      EXPECT_TRUE(bar.trimmed().isEmpty()) << bar.toStdString();
    }
    delete form;
  }
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(ProgressWindow, MissingDatabaseIsReportedAndTheWindowStillWorks) {
  TForm1 form(owner_);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(ui_.messages[0].caption, kApplicationTitle);
  EXPECT_TRUE(form.windowTitle().isEmpty());
  EXPECT_TRUE(form.Label1->text().startsWith(QStringLiteral("Copyright")));
  EXPECT_EQ(form.GroupBox1->title(), ToQ("[创作时间：2019年10月01日]"));
  EXPECT_FALSE(form.Image1->pixmap().isNull());
  form.show();
  EXPECT_TRUE(form.isVisible());
}

TEST_F(ProgressWindow, ComponentLayout) {
  TForm1* form = Create(testing_support::DefaultSettings());
  EXPECT_EQ(form->windowType(), Qt::Tool);
  EXPECT_EQ(form->parentWidget(), owner_);
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
  EXPECT_EQ(form->size(), QSize(482, 328));
  EXPECT_EQ(form->palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_EQ(form->GroupBox1->geometry(), QRect(0, 0, 482, 328));
  EXPECT_EQ(form->ProgressBar1->geometry(), QRect(2, 309, 478, 17));
  EXPECT_EQ(form->Label1->geometry(), QRect(2, 296, 478, 13));
  EXPECT_EQ(form->Image1->geometry(), QRect(2, 15, 478, 281));
  EXPECT_EQ(form->Button1->geometry(), QRect(383, 205, 75, 25));
  EXPECT_TRUE(form->Button1->isHidden());
  EXPECT_TRUE(form->Image1->hasScaledContents());
  EXPECT_EQ(form->Image1->pixmap().size(), QSize(367, 243));
  EXPECT_TRUE(form->Label1->font().bold());
  EXPECT_EQ(form->Label1->alignment(), Qt::AlignCenter);
  EXPECT_EQ(form->ProgressBar1->minimum(), 0);
  EXPECT_EQ(form->ProgressBar1->maximum(), 100);

  form->show();
  const QRect screen = form->screen()->availableGeometry();
  EXPECT_LE((form->frameGeometry().center() - screen.center()).manhattanLength(), 2);
}

TEST_F(ProgressWindow, ClosingWhileIdleOnlyHides) {
  Form1 = Create(testing_support::DefaultSettings());
  QPointer<TForm1> window = Form1;
  // A fresh window stands at 0 even before the owner sets the bar; anything
  // else would make the close below end the program.
  ASSERT_EQ(Form1->ProgressBar1->value(), 0);
  Form1->show();
  Form1->close();
  EXPECT_FALSE(Form1->isVisible());

  Form1->ProgressBar1->setMaximum(40);
  Form1->ProgressBar1->setValue(0);
  Form1->show();
  Form1->Button1Click();
  ASSERT_TRUE(window);
  EXPECT_EQ(Form1, window.data());
  EXPECT_FALSE(Form1->isVisible());

  Form1->show();
  EXPECT_TRUE(Form1->isVisible());
  EXPECT_EQ(Form1->windowTitle(), ToQ("测试标题"));

  delete owner_;
  owner_ = nullptr;
  EXPECT_FALSE(window);
  EXPECT_EQ(Form1, nullptr);
}

TEST(NoticeColour, NeverReaches255AndCoversTheRange) {
  std::set<std::tuple<int, int, int>> seen;
  int low = 255, high = 0;
  for (std::uint64_t seed = 0; seed < 20000; ++seed) {
    const NoticeColour c = DrawNoticeColour(seed * 7919 + HighResolutionSeed() % 3);
    seen.emplace(c.red, c.green, c.blue);
    for (int channel : {c.red, c.green, c.blue}) {
      low = std::min(low, channel);
      high = std::max(high, channel);
    }
  }
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 254);
  EXPECT_GT(seen.size(), 19000u);
}

TEST_F(ProgressWindow, TimerRecoloursTheNoticeEvery300MsEvenWhileHidden) {
  TForm1* form = Create(testing_support::DefaultSettings());
  EXPECT_EQ(form->Timer1->interval(), 300);
  EXPECT_TRUE(form->Timer1->isActive());
  const QColor first = form->Label1->palette().color(QPalette::WindowText);
  // The colour after each tick, read after the form's own handler has run.
  std::vector<QRgb> afterTicks;
  QObject::connect(form->Timer1, &QTimer::timeout, form, [&] {
    afterTicks.push_back(form->Label1->palette().color(QPalette::WindowText).rgb());
  });
  ASSERT_TRUE(testing_support::WaitUntil([&] { return afterTicks.size() >= 3; }));
  EXPECT_FALSE(form->isVisible());
  const std::set<QRgb> colours(afterTicks.begin(), afterTicks.end());
  EXPECT_EQ(colours.count(first.rgb()), 0u);
  EXPECT_GE(colours.size(), 2u);
}

}  // namespace
