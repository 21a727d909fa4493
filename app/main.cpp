// The program body: one copy per logon, the title, the criteria browser as
// the main window, the message loop, exit code 0.
#include <QApplication>

#include <cstdlib>

#include "core/base/app_folder.h"
#include "gui/base/program_icon.h"
#include "gui/base/shutdown.h"
#include "app/test_seams.h"
#include "gui/base/ui_services.h"
#include "gui/browser/Grade_i_public_hospital.h"
#include "platform/com_apartment.h"
#include "platform/file_replace.h"
#include "platform/single_instance.h"

namespace {

platform::InstanceLock TakeSingleInstanceLock() {
#ifdef ZELVORAN_TEST_HOOKS
  // The test build's copies meet in their test's folder, not in the user's.
  if (const char* folder = std::getenv("ZELVORAN_TEST_LOCK_FOLDER"); folder && *folder)
    return platform::CreateSingleInstanceLockIn({folder}, "VARN_QX_518");
#endif
  return platform::CreateSingleInstanceLock("VARN_QX_518");
}

}  // namespace

int main(int argc, char** argv) {
  const auto lock = TakeSingleInstanceLock();
  // COM for the GUI thread, single-threaded apartment, before anything uses
  // it and until after the application object is gone.
  const platform::ComApartment com;
  QApplication app(argc, argv);
  // Qt's standard dialogs and buttons in Chinese, like the rest of the program.
  InstallStandardDialogTranslations();
#ifdef ZELVORAN_TEST_HOOKS
  InstallTestMessageLog();
#endif
  if (lock == platform::InstanceLock::AlreadyRunning) {
    Ui().ShowMessage({"系统已经运行！", "系统 @警告", MessageIcon::Warning});
    return 0;
  }
  // Any other trouble with the lock is ignored and the start goes on.
  // An export that was killed half way may have left its temporary file in
  // the folder where exports start.
  platform::RemoveStaleReplacements(AppFolder() / "Data");
  // An export killed while it wrote a file in place: its earlier content goes back.
  platform::RecoverInterruptedReplacements();
  // The names by which docks and task bars tie the windows to the menu
  // entry: the window class "Zelvoran" that the entry names as its
  // StartupWMClass (X11), and the entry's own name (Wayland). The
  // application title stays the windows' caption.
  QApplication::setApplicationName(QStringLiteral("Zelvoran"));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.zelvoran.Zelvoran"));
  QApplication::setWindowIcon(ProgramIcon());
  // The program ends only through its exit sequence.
  QApplication::setQuitOnLastWindowClosed(false);
#ifdef ZELVORAN_TEST_HOOKS
  InstallTestEndName();
#endif

  TForm_grade_hospital mainWindow;
#ifdef ZELVORAN_TEST_HOOKS
  InstallTestCloseTimers(&mainWindow);
  InstallTestStateReport(&mainWindow);
#endif
  mainWindow.show();
  if (!ApplicationEndRequested()) QApplication::exec();
  return 0;
}
