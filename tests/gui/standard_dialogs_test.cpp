// The program's own message boxes and save dialog, as Qt draws them: Chinese
// buttons and labels from Qt's translations, the program's texts unchanged,
// and every file-type entry described exactly as the filter text gives it
// while its own pattern picks the files.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>
#include <set>

#include "gui/base/qt_text.h"
#include "gui/base/ui_services.h"
#include "platform/codepage.h"
#include "tests/support/browser_fixture.h"
#include "tests/support/test_db.h"
#include "tests/support/wait_until.h"

using namespace testing_support;

namespace {

// Runs `answer` on the modal dialog that the next call opens, once it is up;
// `answer` must close it.
void WhenModalOpens(std::function<void(QWidget*)> answer) {
  auto* poll = new QTimer;
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      poll->stop();
      poll->deleteLater();
      answer(modal);
    }
  });
  poll->start();
}


std::set<QString> ListedFiles(QFileDialog* dialog) {
  auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
  std::set<QString> names;
  if (!list) return names;
  const QModelIndex root = list->rootIndex();
  for (int r = 0; r < list->model()->rowCount(root); ++r)
    names.insert(list->model()->index(r, 0, root).data().toString());
  return names;
}

class StandardDialogs : public ::testing::Test {
 protected:
  StandardDialogs() {
    TestApplication();
    SetUi(nullptr);  // the real Qt dialogs
  }
  ~StandardDialogs() override { SetUi(nullptr); }
};

TEST_F(StandardDialogs, MessageBoxHasAChineseButtonAndKeepsItsOwnTexts) {
  ASSERT_TRUE(InstallStandardDialogTranslations());
  QString caption, text, buttons;
  WhenModalOpens([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) return modal->close(), void();
    caption = box->windowTitle();
    text = box->text();
    for (QAbstractButton* button : box->buttons()) buttons += button->text();
    box->button(QMessageBox::Ok)->click();
  });
  Ui().ShowMessage({"导出成功!", "提示", MessageIcon::None});
  EXPECT_EQ(buttons, ToQ("确定"));
  EXPECT_EQ(caption, ToQ("提示"));
  EXPECT_EQ(text, ToQ("导出成功!"));
}

TEST_F(StandardDialogs, SaveDialogDescribesEachFileTypeAsWrittenAndFiltersByItsPattern) {
  ASSERT_TRUE(InstallStandardDialogTranslations());
  TempDir dir("save_dialog");
  for (const char* name : {"a.csv", "b.cvs", "c.xls", "d.txt"}) std::ofstream(dir.path() + name) << "x";

  QString title, nameLabel, typeLabel, shownFirst;
  QStringList descriptions;
  std::set<QString> excelFiles, csvFiles;
  WhenModalOpens([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (!dialog) return modal->close(), void();
    title = dialog->windowTitle();
    if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("fileNameLabel")))
      nameLabel = label->text();
    if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("fileTypeLabel")))
      typeLabel = label->text();
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    if (!types) return dialog->reject();
    shownFirst = types->currentText();
    for (int i = 0; i < types->count(); ++i) descriptions << types->itemText(i);
    EXPECT_TRUE(WaitUntil([&] { return ListedFiles(dialog).size() == 1; }));
    excelFiles = ListedFiles(dialog);
    // The user steps to the CSV entry with the keyboard.
    types->setFocus();
    QTest::keyClick(types, Qt::Key_Down);
    EXPECT_TRUE(WaitUntil([&] { return ListedFiles(dialog).count(QStringLiteral("a.csv")) == 1; }));
    csvFiles = ListedFiles(dialog);
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!name) return dialog->reject();
    name->setText(QStringLiteral("out"));
    QTest::keyClick(name, Qt::Key_Return);  // as the user confirms
  });
  const std::optional<std::filesystem::path> chosen = Ui().AskSaveFileName(
      {dir.path(),
       "Excel文件(*.xls)|*.xls|CSV逗号分隔文件(*.cvs)|*.csv|Word文档(*.doc)|*.doc|文本文件(*.txt)|*.txt|"
       "ASCII数据文件(*.dat)|*.dat|网页文件(*.htm)|*.htm|所有文件(*.*)|*.*",
       1, "xls"});

  EXPECT_EQ(title, ToQ("另存为"));
  EXPECT_EQ(nameLabel, ToQ("文件名称(&N)："));
  EXPECT_EQ(typeLabel, ToQ("文件类型："));
  EXPECT_EQ(descriptions, (QStringList{ToQ("Excel文件(*.xls)"), ToQ("CSV逗号分隔文件(*.cvs)"),
                                       ToQ("Word文档(*.doc)"), ToQ("文本文件(*.txt)"),
                                       ToQ("ASCII数据文件(*.dat)"), ToQ("网页文件(*.htm)"),
                                       ToQ("所有文件(*.*)")}));
  EXPECT_EQ(shownFirst, ToQ("Excel文件(*.xls)"));
  EXPECT_EQ(excelFiles, (std::set<QString>{QStringLiteral("c.xls")}));
  EXPECT_EQ(csvFiles, (std::set<QString>{QStringLiteral("a.csv")}));
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, std::filesystem::path(dir.path() + "out.xls"));
}

}  // namespace
