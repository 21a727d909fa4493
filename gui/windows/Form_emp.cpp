#include "gui/windows/Form_emp.h"

#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QPalette>
#include <QScreen>
#include <QVBoxLayout>

#include "core/base/app_folder.h"
#include "gui/base/error_report.h"
#include "gui/base/window_placement.h"
#include "gui/base/qt_text.h"
#include "platform/codepage.h"
#include "gui/windows/PDFVIEWLib_TLB.h"

TForm2* Form2 = nullptr;

namespace {

constexpr int kClientWidth = 850;
constexpr int kClientHeight = 450;

}  // namespace

std::filesystem::path PolicyDocumentPath() {
  return AppFolder() / u8"政策文件.pdf";
}

TForm2::TForm2(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Form2"));
  // An ordinary resizable window with caption and system buttons.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(false);
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(8);
  setFont(font);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);  // the button-face colour

  Pdfview1 = new TPdfview(this);  // throws when the control cannot be created
  Pdfview1->setObjectName(QStringLiteral("Pdfview1"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Pdfview1);

  resize(kClientWidth, kClientHeight);
  RunGuarded([this] { FormCreate(); });
}

void TForm2::setVisible(bool visible) {
  // Centred on the screen when shown, frame included.
  if (visible && !isVisible()) {
    create();  // the native window first, so that the frame's size is known where it can be
    CentreOnScreen(*this);
  }
  QDialog::setVisible(visible);
}

void TForm2::FormCreate() {
  const std::u16string path = PolicyDocumentPath().u16string();
  Pdfview1->Invoke(controls::kPdfviewOpen, {path, std::u16string(), std::u16string()});
  setWindowTitle(ToQ("政策文件"));
}

void TForm2::FormClose() {
  Form2 = nullptr;
  // Freed once the close has completed, through the event queue.
  setAttribute(Qt::WA_DeleteOnClose);
}

void TForm2::closeEvent(QCloseEvent* event) {
  RunGuarded([this] { FormClose(); });
  QDialog::closeEvent(event);  // ends the modal showing
}

void TForm2::keyPressEvent(QKeyEvent* event) {
  // Escape closes the viewer the way its close box does.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QDialog::keyPressEvent(event);
}
