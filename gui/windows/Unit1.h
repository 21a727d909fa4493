#pragma once
// The progress window: a small tool window that the criteria browser shows
// while it loads the whole criteria table into its grid. It shows the
// embedded picture, a notice line recoloured every 300 ms, the creation-date
// line and a progress bar that the browser advances row by row. Its caption is
// the program title, read once through a connection of its own. Closing it
// while the bar stands above 0 (a load under way) ends the whole program.
#include <QByteArray>
#include <QImage>
#include <QWidget>
#include <cstdint>

#include "core/store/ado.h"

class QCloseEvent;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// One colour of the notice line; every channel lies in 0..254.
struct NoticeColour {
  int red = 0;
  int green = 0;
  int blue = 0;
};

// Seeds a generator with `seed` and draws red, green and blue, in that order,
// each uniformly from 0 to 254. A channel never reaches 255, so the notice is
// never pure white on the window's white background.
NoticeColour DrawNoticeColour(std::uint64_t seed);

// A new seed for every tick, from the high-resolution clock.
std::uint64_t HighResolutionSeed();

// The picture compiled into the program (JPEG bytes, 367 x 243 pixels).
QByteArray ProgressPictureJpeg();
// That picture decoded; a null image if it cannot be decoded.
QImage ProgressPicture();

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // A tool window of `owner`, destroyed with it. Runs FormCreate.
  explicit TForm1(QWidget* owner);
  ~TForm1() override;

  // Components, in the order the window declares them.
  QGroupBox* GroupBox1 = nullptr;       // fills the client area; title: creation date
  QProgressBar* ProgressBar1 = nullptr;  // advanced by the owner; 0 means idle
  QPushButton* Button1 = nullptr;        // "关闭窗口", hidden
  QLabel* Image1 = nullptr;              // the picture, stretched
  store::AdoConnection ADOConnection1;   // open for the window's life once set up
  store::AdoQuery ADOQuery1{ADOConnection1};
  QLabel* Label1 = nullptr;  // the notice line
  QTimer* Timer1 = nullptr;  // 300 ms, recolours Label1

  // Closes the window, exactly as its close box does.
  void Button1Click();
  // One tick of Timer1: gives Label1 a new random text colour.
  void Timer1Timer();

  // Centres the window on its screen each time it is shown.
  void setVisible(bool visible) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void KeepEmptyCaptionEmpty();
  void BuildComponents();
  void FormCreate();
  void FormClose();
};

// The one progress window of the program: nullptr until the browser creates
// it, and again once it is destroyed.
extern TForm1* Form1;
