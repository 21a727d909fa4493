#include "gui/windows/Unit1.h"

#include <QCloseEvent>
#include <QFile>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <random>

#include "core/base/Excel_unit.h"
#include "core/base/app_folder.h"
#include "gui/base/error_report.h"
#include "gui/base/window_placement.h"
#include "gui/base/qt_text.h"
#include "gui/base/shutdown.h"
#include "core/store/settings_record.h"
#include "core/image/jpeg_decode.h"

TForm1* Form1 = nullptr;

namespace {

// Client area, and the inner area of GroupBox1: a 2-pixel frame on the left,
// right and bottom, and a 15-pixel band at the top that carries the title.
constexpr int kClientWidth = 482;
constexpr int kClientHeight = 328;
constexpr int kInnerLeft = 2;
constexpr int kInnerTop = 15;
constexpr int kInnerWidth = kClientWidth - 2 * kInnerLeft;  // 478
constexpr int kInnerBottom = kClientHeight - 2;              // 326

// Stacked from the bottom of the inner area up: bar, notice, picture.
constexpr int kBarHeight = 17;
constexpr int kNoticeHeight = 13;
constexpr int kBarTop = kInnerBottom - kBarHeight;              // 309
constexpr int kNoticeTop = kBarTop - kNoticeHeight;             // 296
constexpr int kPictureHeight = kNoticeTop - kInnerTop;          // 281

constexpr int kTimerIntervalMs = 300;

const char* const kNotice = "Copyright (C) 2019 Kestrowan软件 版权所有";
const char* const kCreationDateLine = "[创作时间：2019年10月01日]";

}  // namespace

NoticeColour DrawNoticeColour(std::uint64_t seed) {
  std::mt19937_64 generator(seed);
  std::uniform_int_distribution<int> channel(0, 254);
  NoticeColour colour;
  colour.red = channel(generator);
  colour.green = channel(generator);
  colour.blue = channel(generator);
  return colour;
}

std::uint64_t HighResolutionSeed() {
  return static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

QByteArray ProgressPictureJpeg() {
  // The resource lives in a static library: registering it by hand keeps the
  // linker from dropping it.
  Q_INIT_RESOURCE(progress);
  QFile file(QStringLiteral(":/pictures/progress.jpg"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QImage ProgressPicture() {
  const QByteArray bytes = ProgressPictureJpeg();
  const auto decoded = jpeg::DecodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                        static_cast<std::size_t>(bytes.size()));
  if (!decoded) return {};
  // The QImage only borrows the pixels; copy() gives it its own.
  return QImage(decoded->pixels.data(), decoded->width, decoded->height, decoded->width * 3,
                QImage::Format_RGB888)
      .copy();
}

TForm1::TForm1(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint) {
  BuildComponents();
  // A failed set-up is reported and leaves the rest of it undone; the window
  // itself still exists and can be shown.
  RunGuarded([this] { FormCreate(); });
}

TForm1::~TForm1() {
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::BuildComponents() {
  setFixedSize(kClientWidth, kClientHeight);
  setFont(QFont(QStringLiteral("Tahoma"), 8));
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);

  GroupBox1 = new QGroupBox(this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(0, 0, kClientWidth, kClientHeight);
  // The title stands a little in from the frame's corner, as group box titles do.
  GroupBox1->setStyleSheet(
      QStringLiteral("QGroupBox::title { subcontrol-origin: margin; left: 6px; }"));

  ProgressBar1 = new QProgressBar(GroupBox1);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setGeometry(kInnerLeft, kBarTop, kInnerWidth, kBarHeight);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);  // a new QProgressBar stands at -1, which would read as "loading"
  ProgressBar1->setTextVisible(false);

  Button1 = new QPushButton(ToQ("关闭窗口"), GroupBox1);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(383, 205, 75, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button1Click(); }); });

  Image1 = new QLabel(GroupBox1);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(kInnerLeft, kInnerTop, kInnerWidth, kPictureHeight);
  Image1->setScaledContents(true);  // stretched to the whole area, aspect ratio not kept
  Image1->setPixmap(QPixmap::fromImage(ProgressPicture()));
  Button1->raise();  // the button stands over the picture, not under it

  Label1 = new QLabel(GroupBox1);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(kInnerLeft, kNoticeTop, kInnerWidth, kNoticeHeight);
  Label1->setAlignment(Qt::AlignCenter);
  QFont bold = font();
  bold.setBold(true);
  Label1->setFont(bold);

  // Runs from creation to destruction, also while the window is hidden.
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(kTimerIntervalMs);
  connect(Timer1, &QTimer::timeout, this, [this] { RunGuarded([this] { Timer1Timer(); }); });
  Timer1->start();
}

void TForm1::FormCreate() {
  Button1->hide();
  setWindowTitle(QString());
  GroupBox1->setTitle(QString());
  Label1->setText(ToQ(kNotice));
  GroupBox1->setTitle(ToQ(kCreationDateLine));

  ADOConnection1.SetConnectionString(store::BuildConnectionText(AppFolder()));
  ADOConnection1.Open();

  // The title is the fourth settings value. The values are taken row by row,
  // so a comma inside an earlier value cannot shift it.
  const std::vector<std::string> values = store::ReadSettingsValues(ADOQuery1);
  if (values.size() >= 4 && !values[3].empty()) setWindowTitle(ToQ(values[3]));
}

void TForm1::Button1Click() { close(); }

void TForm1::Timer1Timer() {
  const NoticeColour colour = DrawNoticeColour(HighResolutionSeed());
  QPalette palette = Label1->palette();
  palette.setColor(QPalette::WindowText, QColor(colour.red, colour.green, colour.blue));
  Label1->setPalette(palette);
}

void TForm1::setVisible(bool visible) {
  if (visible && !isVisible()) {
    create();  // the native window first, so that the frame's size is known where it can be
    CentreOnScreen(*this);
    KeepEmptyCaptionEmpty();
  }
  QWidget::setVisible(visible);
}

void TForm1::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowTitleChange) KeepEmptyCaptionEmpty();
}

// Qt's platform windows put the application's name on the caption bar of a
// window whose title is empty. Without a title found, this window's caption
// bar must stay empty: its native window gets a lone blank, which is not
// empty to Qt and shows as nothing. The window's own title stays empty.
void TForm1::KeepEmptyCaptionEmpty() {
  QWindow* native = windowHandle();
  if (native && windowTitle().isEmpty()) native->setTitle(QStringLiteral(" "));
}

void TForm1::closeEvent(QCloseEvent* event) {
  RunGuarded([this] { FormClose(); });
  event->accept();  // the window is only hidden; the object stays for the next showing
}

void TForm1::FormClose() {
  hide();
  // A bar above 0 means the owner is still loading rows into its grid: closing
  // now ends the program, every copy of it included.
  if (ProgressBar1->value() != 0) {
    RequestApplicationEnd();
    store::CheckpointOpenConnections();
    KillProcessesByName(ExecutableNameEndedAtExit());
  }
}
