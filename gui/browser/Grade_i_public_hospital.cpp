#include "gui/browser/Grade_i_public_hospital.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QWindow>

#include "core/base/Excel_unit.h"
#include "core/base/app_folder.h"
#include "gui/base/error_report.h"
#include "gui/base/window_placement.h"
#include "gui/base/qt_text.h"
#include "gui/base/shutdown.h"
#include "gui/browser/button_pictures.h"
#include "gui/browser/criteria_grid_view.h"
#include "gui/browser/search_controls.h"
#include "platform/taskbar.h"

namespace {

constexpr int kClientWidth = 850;
constexpr int kClientHeight = 450;
constexpr int kOperationAreaHeight = 65;
constexpr int kSelectorFrameWidth = 249;
constexpr int kCommandFrameWidth = 260;
constexpr int kBoxBorder = 2;        // frame line of a group box
constexpr int kBoxCaptionTop = 15;   // room for a group box's caption line
constexpr int kProgressHeight = 15;
constexpr int kStatusNoteHeight = 16;

QFont WindowFont() {
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(8);
  return font;
}

QFont FixedFont() {
  QFont font = WindowFont();
  font.setBold(true);
  return font;
}

QFont CommandButtonFont() {
  QFont font(ToQ("宋体"));
  font.setPixelSize(13);
  return font;
}

QPushButton* OperationButton(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(ToQ(caption), parent);
  button->setObjectName(QLatin1String(name));
  button->hide();  // exists for its click handler only
  return button;
}

QPushButton* CommandButton(QWidget* parent, const char* name, const char* caption,
                           const QIcon& picture, int iconSize) {
  auto* button = new QPushButton(picture, ToQ(caption), parent);
  button->setObjectName(QLatin1String(name));
  button->setIconSize(QSize(iconSize, iconSize));
  button->setFont(CommandButtonFont());
  button->setCursor(Qt::PointingHandCursor);
  // Face colour (244,244,240), highlight (106,140,244), hot-track (255,199,60).
  button->setStyleSheet(QStringLiteral(
      "QPushButton { background-color: rgb(244,244,240); border: 1px solid rgb(160,160,160);"
      " border-radius: 2px; }"
      "QPushButton:hover { background-color: rgb(255,199,60); border-color: rgb(200,140,20); }"
      "QPushButton:pressed, QPushButton:focus { border-color: rgb(106,140,244); }"
      "QPushButton:disabled { color: rgb(160,160,160); }"));
  return button;
}

}  // namespace

TForm_grade_hospital::TForm_grade_hospital(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form_grade_hospital"));
  setWindowTitle(QStringLiteral("Form_grade_hospital"));
  BuildControls();
  ConnectEvents();
  resize(kClientWidth, kClientHeight);
  LayoutControls();
  // The suggestion list floats over the grid just below the search box.
  Memocontent->setGeometry(254, 59, Edit1->width(), 390);
  gate_.Run([this] { FormCreate(); });
}

TForm_grade_hospital::~TForm_grade_hospital() {
  // The grid view and the progress window use members of this window, which
  // die before QWidget deletes its children: delete the children first.
  grid_.SetListener(nullptr);
  qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void TForm_grade_hospital::BuildControls() {
  setFont(WindowFont());
  setAutoFillBackground(true);
  setPalette(QGuiApplication::palette());

  qtMeasurer_ = std::make_unique<QtTextMeasurer>(WindowFont(), FixedFont());
  grid_.SetMeasurer(qtMeasurer_.get());

  GroupBox1 = new QGroupBox(ToQ("操作区"), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox3 = new QGroupBox(GroupBox1);
  GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
  Label1 = new QLabel(ToQ("来吧来怠"), GroupBox3);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(130, 3, 48, 13);
  Label1->hide();
  ComboBox1 = new QComboBox(GroupBox3);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox1->setEditable(false);
  ComboBox1->setCursor(Qt::PointingHandCursor);
  ComboBox1->setGeometry(77, 18, 121, 21);
  ComboBox1->setMaxVisibleItems(12);
  cb_accurate = new QCheckBox(ToQ("精确"), GroupBox3);
  cb_accurate->setObjectName(QStringLiteral("cb_accurate"));
  cb_accurate->setGeometry(199, 21, 47, 17);

  GroupBox4 = new QGroupBox(GroupBox1);
  GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
  Edit1 = new SearchEdit(GroupBox4);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setToolTip(ToQ("请输入您所需要查找的内容并按回车键显示结果。"));

  GroupBox5 = new QGroupBox(GroupBox1);
  GroupBox5->setObjectName(QStringLiteral("GroupBox5"));
  RzBitBtnExcel = CommandButton(GroupBox5, "RzBitBtnExcel", "导出", ExportPicture(), 16);
  RzBitBtn1 = CommandButton(GroupBox5, "RzBitBtn1", "政策", PolicyPicture(), 22);
  RzBitBtn1->setLayoutDirection(Qt::RightToLeft);
  RzBitBtnExit = CommandButton(GroupBox5, "RzBitBtnExit", "退出", ExitPicture(), 16);
  RzBitBtnExit->setLayoutDirection(Qt::RightToLeft);
  setTabOrder(RzBitBtnExcel, RzBitBtnExit);
  setTabOrder(RzBitBtnExit, RzBitBtn1);

  GroupBox2 = new QGroupBox(ToQ("显示区"), this);
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  asg_hospital = new CriteriaGridView(grid_, GroupBox2);
  asg_hospital->setObjectName(QStringLiteral("asg_hospital"));
  asg_hospital->setFont(WindowFont());
  asg_hospital->setFixedFont(FixedFont());
  ProgressBar1 = new QProgressBar(GroupBox2);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  StatusNote = new QLabel(GroupBox2);
  StatusNote->setObjectName(QStringLiteral("StatusNote"));
  StatusNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
  StatusNote->hide();

  RadioButton1 = new QRadioButton(ToQ("显示全部"), this);
  RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
  RadioButton1->setGeometry(8, 25, 65, 17);
  RadioButton2 = new QRadioButton(ToQ("检索模式"), this);
  RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
  RadioButton2->setGeometry(8, 42, 65, 17);

  Memo1 = new QPlainTextEdit(QStringLiteral("Memocontent"), this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->hide();
  Memocontent = new SuggestionMemo(this);
  Memocontent->setObjectName(QStringLiteral("Memocontent"));
  Memocontent->setPlainText(QStringLiteral("Memocontent"));
  Memocontent->hide();
  Memocontent->raise();
  RadioButton1->raise();
  RadioButton2->raise();

  btn_adoquery = OperationButton(this, "btn_adoquery", "查询");
  btn_empty = OperationButton(this, "btn_empty", "清空数据");
  btn_combobox = OperationButton(this, "btn_combobox", "赋值combobox数据");
  bt_initialize = OperationButton(this, "bt_initialize", "初始化");
  Bt_load_data = OperationButton(this, "Bt_load_data", "加载数据");
  bt_precision = OperationButton(this, "bt_precision", "点击过滤(精确)");
  bt_next_step = OperationButton(this, "bt_next_step", "下一步");
}

void TForm_grade_hospital::ConnectEvents() {
  auto on = [this](auto handler) { return [this, handler] { gate_.Run([this, handler] { (this->*handler)(); }); }; };
  connect(RadioButton1, &QRadioButton::toggled, this, [this, on](bool checked) {
    if (checked) on(&TForm_grade_hospital::RadioButton1Click)();
  });
  connect(RadioButton2, &QRadioButton::toggled, this, [this, on](bool checked) {
    if (checked) on(&TForm_grade_hospital::RadioButton2Click)();
  });
  connect(cb_accurate, &QCheckBox::toggled, this, on(&TForm_grade_hospital::cb_accurateClick));
  connect(ComboBox1, &QComboBox::activated, this, [this] {
    gate_.Run([this] {
      ComboBox1Click();
      ComboBox1Change();
    });
  });
  connect(Edit1, &SearchEdit::clicked, this, on(&TForm_grade_hospital::Edit1Click));
  connect(Edit1, &SearchEdit::doubleClicked, this, on(&TForm_grade_hospital::Edit1DblClick));
  connect(Edit1, &SearchEdit::keyReleased, this,
          [this](int key) { gate_.Run([this, key] { Edit1KeyUp(key); }); });
  connect(Memocontent, &SuggestionMemo::clicked, this, [this] {
    gate_.Run([this, click = ClickedSuggestion()] { MemocontentClick(click); });
  });
  connect(Memocontent, &SuggestionMemo::doubleClicked, this, [this] {
    gate_.Run([this, click = ClickedSuggestion()] { MemocontentDblClick(click); });
  });
  connect(Memocontent, &SuggestionMemo::mousePressed, this, [this](Qt::MouseButton button) {
    gate_.Run([this, button] { MemocontentMouseDown(button); });
  });
  // These touch neither the query nor the search state, so they never wait.
  connect(asg_hospital, &CriteriaGridView::gridClicked, this,
          [this] { RunGuarded([this] { asg_hospitalClick(); }); });
  connect(RzBitBtnExcel, &QPushButton::clicked, this,
          [this] { RunGuarded([this] { RzBitBtnExcelClick(); }); });
  connect(RzBitBtn1, &QPushButton::clicked, this,
          [this] { RunGuarded([this] { RzBitBtn1Click(); }); });
  connect(RzBitBtnExit, &QPushButton::clicked, this,
          [this] { RunGuarded([this] { RzBitBtnExitClick(); }); });
}

void TForm_grade_hospital::LayoutControls() {
  const int w = width(), h = height();
  GroupBox1->setGeometry(0, 0, w, kOperationAreaHeight);
  const int innerTop = kBoxCaptionTop, innerHeight = kOperationAreaHeight - kBoxCaptionTop - kBoxBorder;
  GroupBox3->setGeometry(kBoxBorder, innerTop, kSelectorFrameWidth, innerHeight);
  GroupBox5->setGeometry(w - kBoxBorder - kCommandFrameWidth, innerTop, kCommandFrameWidth,
                         innerHeight);
  const int searchLeft = kBoxBorder + kSelectorFrameWidth;
  const int searchWidth = std::max(w - 2 * kBoxBorder - kSelectorFrameWidth - kCommandFrameWidth, 20);
  GroupBox4->setGeometry(searchLeft, innerTop, searchWidth, innerHeight);
  // The search box fills its frame less 3 pixels on every side.
  constexpr int inset = kBoxBorder + 3;
  Edit1->setGeometry(inset, inset, searchWidth - 2 * inset, innerHeight - 2 * inset);
  // The command buttons keep their distance from the right edge.
  RzBitBtnExcel->setGeometry(5, 14, 80, 30);
  RzBitBtn1->setGeometry(91, 14, 80, 30);
  RzBitBtnExit->setGeometry(177, 14, 80, 30);

  GroupBox2->setGeometry(0, kOperationAreaHeight, w, std::max(h - kOperationAreaHeight, 40));
  const int gw = GroupBox2->width(), gh = GroupBox2->height();
  ProgressBar1->setGeometry(kBoxBorder, gh - kBoxBorder - kProgressHeight, gw - 2 * kBoxBorder,
                            kProgressHeight);
  // The status line, when shown, sits between the grid and the bar.
  const int noteHeight = StatusNote->isVisibleTo(GroupBox2) ? kStatusNoteHeight : 0;
  StatusNote->setGeometry(kBoxBorder + 2, gh - kBoxBorder - kProgressHeight - noteHeight,
                          gw - 2 * kBoxBorder - 4, noteHeight);
  asg_hospital->setGeometry(
      kBoxBorder, kBoxCaptionTop, gw - 2 * kBoxBorder,
      std::max(gh - kBoxCaptionTop - kBoxBorder - kProgressHeight - noteHeight, 10));
  Memo1->setGeometry(0, kOperationAreaHeight, w, std::max(h - kOperationAreaHeight, 10));
}

void TForm_grade_hospital::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutControls();
  gate_.Run([this] { FormResize(); });
}

void TForm_grade_hospital::FormResize() {
  // The suggestion list keeps its place and follows the search box's width.
  Memocontent->resize(Edit1->width(), Memocontent->height());
}

void TForm_grade_hospital::setVisible(bool visible) {
  if (visible && !shown_) {
    shown_ = true;
    gate_.Run([this] { FormShow(); });
    // The first showing places the window at the centre of the screen.
    CentreOnScreen(*this);
  }
  QWidget::setVisible(visible);
  // No taskbar button, where windows are real native ones (not offscreen).
  // The window manager takes the request once it manages the window, which
  // it does before the window is first exposed.
  const QString platformName = QGuiApplication::platformName();
  if (visible && !taskbarHintWatched_ &&
      (platformName == QLatin1String("xcb") || platformName == QLatin1String("windows"))) {
    taskbarHintWatched_ = true;
    windowHandle()->installEventFilter(this);
  }
}

bool TForm_grade_hospital::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
    windowHandle()->removeEventFilter(this);
    platform::KeepOffTaskbar(static_cast<std::uintptr_t>(winId()));
  }
  return QWidget::eventFilter(watched, event);
}

void TForm_grade_hospital::closeEvent(QCloseEvent* event) {
  RunGuarded([this] { FormClose(); });
  event->accept();
}

void TForm_grade_hospital::SetMeasurer(const TextMeasurer* measurer) {
  grid_.SetMeasurer(measurer ? measurer : qtMeasurer_.get());
}

void TForm_grade_hospital::FormCreate() {
  controlFilePath_ = AppFolder() / "pdfview.ocx";
  ADOConnection1.SetConnectionString(store::BuildConnectionText(AppFolder()));
  ADOConnection1.Open();
  ShowSettingsPlace();
  btn_empty->hide();
  btn_combobox->hide();
  bt_initialize->hide();
  Memocontent->hide();
  Bt_load_data->hide();
  bt_precision->hide();
  bt_next_step->hide();
  Memo1->hide();
  Label1->hide();
  btn_emptyClick();
  btn_comboboxClick();
  RegisterServerFile(controlFilePath_);
}

void TForm_grade_hospital::ShowSettingsPlace() {
  const std::string note = ADOConnection1.StatusNote();
  StatusNote->setText(ToQ(note));
  StatusNote->setToolTip(StatusNote->text());
  StatusNote->setVisible(!note.empty());
  LayoutControls();
}

void TForm_grade_hospital::FormShow() {
  // A database that could not be opened has been reported once, at creation;
  // every step below would only report it again.
  if (!ADOConnection1.Connected()) return;
  bt_initializeClick();
  Bt_load_dataClick();
  if (!cb_accurate->isChecked() && RadioButton2->isChecked()) bt_precisionClick();
  Label1->setText(QString());
  if (Edit1->isEnabled()) Edit1->setFocus();
}

void TForm_grade_hospital::FormClose() { RzBitBtnExitClick(); }

void TForm_grade_hospital::asg_hospitalClick() { ShowSuggestions(false); }

void TForm_grade_hospital::RzBitBtnExitClick() {
  // Every way out (the button, the close box, a close while a load pumps
  // messages after the button) runs the sequence once.
  if (exitSequenceRun_) return;
  exitSequenceRun_ = true;
  UnregisterServerFile(controlFilePath_);
  RequestApplicationEnd();
  // The processes end without closing their databases: every change goes
  // into the database files first.
  store::CheckpointOpenConnections();
  // Under its own name the program ends inside this call; under any other
  // the end request ends the message loop.
  KillProcessesByName(ExecutableNameEndedAtExit());
}

void TForm_grade_hospital::ShowSuggestions(bool visible) {
  Memocontent->setVisible(visible);
  if (visible) Memocontent->raise();
}
