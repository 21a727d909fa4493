#include "gui/base/ui_services.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <memory>

#include "gui/base/qt_text.h"

namespace {

// "desc|*.a|desc|*.b" -> Qt's "desc (*.a)" entries. Qt takes a filter's
// patterns from its last parentheses, so every pattern is appended in its own
// parentheses, even where the description already names one: "CSV...(*.cvs)"
// must still select *.csv. The dialog is told to hide these appended details
// (HideNameFilterDetails), which leaves each description shown as written.
QStringList QtFilters(const std::string& filter) {
  QStringList parts = ToQ(filter).split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    out << parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
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
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
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

bool InstallStandardDialogTranslations() {
  static QTranslator* translator = nullptr;
  if (translator) return true;
  // Qt's own folder of translations, else a "translations" folder beside the
  // executable (where a deployed Windows copy keeps them).
  const QStringList folders = {
      QLibraryInfo::path(QLibraryInfo::TranslationsPath),
      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
  auto candidate = std::make_unique<QTranslator>(QCoreApplication::instance());
  for (const QString& folder : folders) {
    if (!candidate->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), folder))
      continue;
    translator = candidate.release();
    QCoreApplication::installTranslator(translator);
    return true;
  }
  return false;
}

UiServices& Ui() {
  static QtUiServices production;
  return g_installed ? *g_installed : production;
}

void SetUi(UiServices* services) { g_installed = services; }
