#include "gui/browser/Grade_i_public_hospital.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
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
#include "gui/windows/Form_emp.h"
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

void QtEventPump::ProcessEvents() { QCoreApplication::processEvents(); }

void QtEventPump::Later(std::function<void()> task) {
  QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

TForm_grade_hospital::TForm_grade_hospital(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form_grade_hospital"));
  setWindowTitle(QStringLiteral("Form_grade_hospital"));
  BuildControls();
  ConnectEvents();
  resize(kClientWidth, kClientHeight);
  LayoutControls();
  // The suggestion list floats over the grid just below the search box.
  suggestionList->setGeometry(254, 59, searchBox->width(), 390);
  model_.gate().Run([this] { Create(); });
}

TForm_grade_hospital::~TForm_grade_hospital() {
  // The grid view and the progress window use members of this window, which
  // die before QWidget deletes its children: delete the children first.
  model_.grid().SetListener(nullptr);
  qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

namespace {

template <typename Widget>
Widget* Named(Widget* widget, const char* objectName) {
  widget->setObjectName(QLatin1String(objectName));
  return widget;
}

}  // namespace

void TForm_grade_hospital::BuildControls() {
  setFont(WindowFont());
  setAutoFillBackground(true);
  setPalette(QGuiApplication::palette());

  qtMeasurer_ = std::make_unique<QtTextMeasurer>(WindowFont(), FixedFont());
  grid().SetMeasurer(qtMeasurer_.get());

  operationArea = Named(new QGroupBox(ToQ("操作区"), this), "GroupBox1");
  selectorFrame = Named(new QGroupBox(operationArea), "GroupBox3");
  fieldSelector = Named(new QComboBox(selectorFrame), "ComboBox1");
  fieldSelector->setEditable(false);
  fieldSelector->setCursor(Qt::PointingHandCursor);
  fieldSelector->setGeometry(77, 18, 121, 21);
  fieldSelector->setMaxVisibleItems(12);
  fuzzyCheck = Named(new QCheckBox(ToQ("精确"), selectorFrame), "cb_accurate");
  fuzzyCheck->setGeometry(199, 21, 47, 17);

  searchFrame = Named(new QGroupBox(operationArea), "GroupBox4");
  searchBox = Named(new SearchEdit(searchFrame), "Edit1");
  searchBox->setToolTip(ToQ("请输入您所需要查找的内容并按回车键显示结果。"));

  commandFrame = Named(new QGroupBox(operationArea), "GroupBox5");
  exportButton = CommandButton(commandFrame, "RzBitBtnExcel", "导出", ExportPicture(), 16);
  policyButton = CommandButton(commandFrame, "RzBitBtn1", "政策", PolicyPicture(), 22);
  policyButton->setLayoutDirection(Qt::RightToLeft);
  exitButton = CommandButton(commandFrame, "RzBitBtnExit", "退出", ExitPicture(), 16);
  exitButton->setLayoutDirection(Qt::RightToLeft);
  setTabOrder(exportButton, exitButton);
  setTabOrder(exitButton, policyButton);

  displayArea = Named(new QGroupBox(ToQ("显示区"), this), "GroupBox2");
  criteriaGrid = Named(new CriteriaGridView(grid(), displayArea), "asg_hospital");
  criteriaGrid->setFont(WindowFont());
  criteriaGrid->setFixedFont(FixedFont());
  progressBar = Named(new QProgressBar(displayArea), "ProgressBar1");
  progressBar->setRange(0, 100);
  progressBar->setValue(0);
  progressBar->setTextVisible(false);
  statusNote = Named(new QLabel(displayArea), "StatusNote");
  statusNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
  statusNote->hide();

  showAllButton = Named(new QRadioButton(ToQ("显示全部"), this), "RadioButton1");
  showAllButton->setGeometry(8, 25, 65, 17);
  retrievalButton = Named(new QRadioButton(ToQ("检索模式"), this), "RadioButton2");
  retrievalButton->setGeometry(8, 42, 65, 17);

  suggestionList = Named(new SuggestionMemo(this), "Memocontent");
  suggestionList->setPlainText(QStringLiteral("Memocontent"));
  suggestionList->hide();
  suggestionList->raise();
  showAllButton->raise();
  retrievalButton->raise();
}

void TForm_grade_hospital::ConnectEvents() {
  BrowserModel& m = model_;
  connect(showAllButton, &QRadioButton::toggled, this, [&m](bool on) {
    if (on) m.ShowAllChosen();
  });
  connect(retrievalButton, &QRadioButton::toggled, this, [&m](bool on) {
    if (on) m.RetrievalChosen();
  });
  connect(fuzzyCheck, &QCheckBox::toggled, this, [&m](bool on) { m.FuzzyToggled(on); });
  connect(fieldSelector, &QComboBox::activated, this, [&m](int index) { m.FieldPicked(index); });
  connect(searchBox, &QLineEdit::textChanged, this,
          [&m](const QString& text) { m.SearchTextEdited(FromQ(text)); });
  connect(searchBox, &SearchEdit::clicked, this, [&m] { m.SearchBoxClicked(); });
  connect(searchBox, &SearchEdit::doubleClicked, this, [&m] { m.SearchBoxDoubleClicked(); });
  connect(searchBox, &SearchEdit::keyReleased, this, [&m](int key) { m.SearchBoxKeyReleased(key); });
  connect(suggestionList, &SuggestionMemo::clicked, this,
          [this] { model_.SuggestionClicked(suggestionList->SelectionStartLine()); });
  connect(suggestionList, &SuggestionMemo::doubleClicked, this,
          [this] { model_.SuggestionDoubleClicked(suggestionList->SelectionStartLine()); });
  connect(suggestionList, &SuggestionMemo::mousePressed, this, [&m](Qt::MouseButton button) {
    if (button == Qt::RightButton) m.SuggestionRightPressed();
  });
  connect(criteriaGrid, &CriteriaGridView::gridClicked, this, [&m] { m.GridClicked(); });
  connect(exportButton, &QPushButton::clicked, this, [&m] { m.ExportClicked(); });
  connect(policyButton, &QPushButton::clicked, this,
          [this] { RunGuarded([this] { ShowPolicyDocument(); }); });
  connect(exitButton, &QPushButton::clicked, this, [this] { RunGuarded([this] { Exit(); }); });
}

void TForm_grade_hospital::LayoutControls() {
  const int w = width(), h = height();
  operationArea->setGeometry(0, 0, w, kOperationAreaHeight);
  const int innerTop = kBoxCaptionTop, innerHeight = kOperationAreaHeight - kBoxCaptionTop - kBoxBorder;
  selectorFrame->setGeometry(kBoxBorder, innerTop, kSelectorFrameWidth, innerHeight);
  commandFrame->setGeometry(w - kBoxBorder - kCommandFrameWidth, innerTop, kCommandFrameWidth,
                            innerHeight);
  const int searchLeft = kBoxBorder + kSelectorFrameWidth;
  const int searchWidth = std::max(w - 2 * kBoxBorder - kSelectorFrameWidth - kCommandFrameWidth, 20);
  searchFrame->setGeometry(searchLeft, innerTop, searchWidth, innerHeight);
  // The search box fills its frame less 3 pixels on every side.
  constexpr int inset = kBoxBorder + 3;
  searchBox->setGeometry(inset, inset, searchWidth - 2 * inset, innerHeight - 2 * inset);
  // The command buttons keep their distance from the right edge.
  exportButton->setGeometry(5, 14, 80, 30);
  policyButton->setGeometry(91, 14, 80, 30);
  exitButton->setGeometry(177, 14, 80, 30);

  displayArea->setGeometry(0, kOperationAreaHeight, w, std::max(h - kOperationAreaHeight, 40));
  const int gw = displayArea->width(), gh = displayArea->height();
  progressBar->setGeometry(kBoxBorder, gh - kBoxBorder - kProgressHeight, gw - 2 * kBoxBorder,
                           kProgressHeight);
  // The status line, when shown, sits between the grid and the bar.
  const int noteHeight = statusNote->isVisibleTo(displayArea) ? kStatusNoteHeight : 0;
  statusNote->setGeometry(kBoxBorder + 2, gh - kBoxBorder - kProgressHeight - noteHeight,
                          gw - 2 * kBoxBorder - 4, noteHeight);
  criteriaGrid->setGeometry(
      kBoxBorder, kBoxCaptionTop, gw - 2 * kBoxBorder,
      std::max(gh - kBoxCaptionTop - kBoxBorder - kProgressHeight - noteHeight, 10));
}

void TForm_grade_hospital::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutControls();
  // The suggestion list keeps its place and follows the search box's width.
  suggestionList->resize(searchBox->width(), suggestionList->height());
}

void TForm_grade_hospital::setVisible(bool visible) {
  if (visible && !shown_) {
    shown_ = true;
    model_.gate().Run([this] {
      // A database that could not be opened has been reported once, at
      // creation; every step of the showing would only report it again.
      if (connection.Connected()) model_.Show();
    });
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
  RunGuarded([this] { Exit(); });
  event->accept();
}

void TForm_grade_hospital::SetMeasurer(const TextMeasurer* measurer) {
  grid().SetMeasurer(measurer ? measurer : qtMeasurer_.get());
}

// The database opened, the model set up (grid cleared, field selector
// filled), the viewer control registered. An error ends the steps where it
// arose; the window is created all the same.
void TForm_grade_hospital::Create() {
  controlFilePath_ = AppFolder() / "pdfview.ocx";
  connection.SetConnectionString(store::BuildConnectionText(AppFolder()));
  connection.Open();
  ShowSettingsPlace();
  model_.Create();
  RegisterServerFile(controlFilePath_);
}

void TForm_grade_hospital::ShowSettingsPlace() {
  const std::string note = connection.StatusNote();
  statusNote->setText(ToQ(note));
  statusNote->setToolTip(statusNote->text());
  statusNote->setVisible(!note.empty());
  LayoutControls();
}

void TForm_grade_hospital::Exit() {
  // Every way out (the button, the close box, a close while a load pumps
  // messages after the button) runs the sequence once.
  if (exitSequenceRun_) return;
  exitSequenceRun_ = true;
  // A search fill ends at its next row, so the message loop gets the end
  // request at once wherever the program's own end is left to it.
  model_.Closing();
  UnregisterServerFile(controlFilePath_);
  RequestApplicationEnd();
  // The processes end without closing their databases: every change goes
  // into the database files first.
  store::CheckpointOpenConnections();
  // Under its own name the program ends inside this call; under any other
  // the end request ends the message loop.
  KillProcessesByName(ExecutableNameEndedAtExit());
}

void TForm_grade_hospital::ShowPolicyDocument() {
  if (Form2) return;  // one viewer at a time
  // A control that cannot be created throws here: no viewer, Form2 stays empty.
  Form2 = new TForm2(nullptr);
  Form2->exec();
  // An ordinary close has emptied the reference and the window frees itself.
  // A modal showing that ended without a close leaves it to be freed here.
  if (TForm2* left = Form2) {
    Form2 = nullptr;
    delete left;
  }
}
