#pragma once
// Message boxes, the save dialog and the mouse cursor, behind one interface
// that tests replace. All texts are CP936.
#include <filesystem>
#include <optional>
#include <string>

enum class MessageIcon { None, Error, Warning };

struct MessageRequest {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::None;
};

struct SaveDialogRequest {
  std::filesystem::path initialFolder;
  std::string filter;         // "description|pattern|description|pattern..."
  int filterIndex = 1;        // 1-based
  std::string defaultExtension;  // without the dot; added to a name typed without one
};

class UiServices {
 public:
  virtual ~UiServices() = default;
  // A modal box with a single OK button.
  virtual void ShowMessage(const MessageRequest& request) = 0;
  // The chosen full file name, in the platform's own form, or nothing when
  // the dialog was cancelled.
  virtual std::optional<std::filesystem::path> AskSaveFileName(const SaveDialogRequest& request) = 0;
  virtual void PushBusyCursor() = 0;
  virtual void PopCursor() = 0;
};

// Loads Qt's own Chinese translations (qtbase_zh_CN) into the application, so
// that the standard dialogs and buttons that Qt draws (the save dialog, the OK
// button of a message box) speak the program's language. The program's own
// texts are not translated. Needs the QApplication; returns false when no
// translation file was found, which leaves Qt's English in place.
bool InstallStandardDialogTranslations();

// The services in use: the Qt ones unless a test installed its own.
UiServices& Ui();
// Installs `services` (not owned); nullptr goes back to the Qt services.
void SetUi(UiServices* services);

// Shows the hourglass for its lifetime and puts the previous cursor back.
class BusyCursor {
 public:
  BusyCursor() { Ui().PushBusyCursor(); }
  ~BusyCursor() { Ui().PopCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};
