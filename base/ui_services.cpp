#include "base/ui_services.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "base/qt_text.h"

namespace {

// "desc|*.a|desc|*.b" -> Qt's "desc (*.a)" entries, the descriptions kept as
// written. Qt takes the patterns from the last parentheses, so a description
// that already ends in its own pattern needs nothing added.
QStringList QtFilters(const std::string& filter) {
  QStringList parts = ToQ(filter).split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString ownPattern = QLatin1Char('(') + parts[i + 1] + QLatin1Char(')');
    out << (parts[i].endsWith(ownPattern) ? parts[i] : parts[i] + QLatin1Char(' ') + ownPattern);
  }
  return out;
}

class QtUiServices final : public UiServices {
 public:
  void ShowMessage(const MessageRequest& request) override {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(ToQ(request.caption));
    box.setText(ToQ(request.text));
    box.setIcon(request.icon == MessageIcon::Error     ? QMessageBox::Critical
                : request.icon == MessageIcon::Warning ? QMessageBox::Warning
                                                       : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
  }

  std::optional<std::filesystem::path> AskSaveFileName(const SaveDialogRequest& request) override {
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setDirectory(FromPath(request.initialFolder));
    const QStringList filters = QtFilters(request.filter);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
      dialog.selectNameFilter(filters[request.filterIndex - 1]);
    dialog.setDefaultSuffix(ToQ(request.defaultExtension));
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return ToPath(dialog.selectedFiles().first());
  }

  void PushBusyCursor() override { QApplication::setOverrideCursor(Qt::WaitCursor); }
  void PopCursor() override { QApplication::restoreOverrideCursor(); }
};

UiServices* g_installed = nullptr;

}  // namespace

UiServices& Ui() {
  static QtUiServices production;
  return g_installed ? *g_installed : production;
}

void SetUi(UiServices* services) { g_installed = services; }
