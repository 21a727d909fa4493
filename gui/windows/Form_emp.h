#pragma once
// The policy document viewer: a modal, resizable window that shows
// "政策文件.pdf" from the executable's folder in the PDF viewer control. It is
// created for each showing and frees itself when it is closed.
#include <QDialog>
#include <filesystem>

class QCloseEvent;
class QKeyEvent;
class TPdfview;

// The document the viewer shows: the executable's folder + "政策文件.pdf".
std::filesystem::path PolicyDocumentPath();

class TForm2 : public QDialog {
  Q_OBJECT

 public:
  // Builds the window and runs FormCreate. Throws when the control cannot be
  // created; the window is then not made.
  explicit TForm2(QWidget* owner = nullptr);

  TPdfview* Pdfview1 = nullptr;  // fills the client area

  void setVisible(bool visible) override;

  void FormCreate();
  void FormClose();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

// The one viewer window; nullptr while none exists.
extern TForm2* Form2;
