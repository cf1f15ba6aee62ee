#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "platform/qt/dialogs.h"
#include "platform/qt/qt_translations.h"

namespace tolvane {
namespace {

// Every text of Qt's own the file dialog shows: its labels, its buttons, the
// tool buttons' tooltips and the detail view's column titles.
QStringList qtTexts(QFileDialog& dlg) {
  QStringList texts;
  for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
    if (auto* l = dlg.findChild<QLabel*>(QLatin1String(name))) texts << l->text();
  if (auto* box = dlg.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
    for (QAbstractButton* b : box->buttons()) texts << b->text();
  for (const char* name :
       {"backButton", "forwardButton", "toParentButton", "newFolderButton", "listModeButton", "detailModeButton"})
    if (auto* b = dlg.findChild<QToolButton*>(QLatin1String(name))) texts << b->toolTip();
  if (auto* tree = dlg.findChild<QTreeView*>(QStringLiteral("treeView")))
    for (int i = 0; tree->model() && i < tree->model()->columnCount(); ++i)
      texts << tree->model()->headerData(i, Qt::Horizontal).toString();
  return texts;
}

// Chinese: some CJK ideographs and no Latin letters, once the keyboard
// accelerators ("(&N)", "&") are taken out.
QStringList notChinese(const QStringList& texts) {
  static const QRegularExpression accel(QStringLiteral("\\(&.\\)|&"));
  static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
  static const QRegularExpression cjk(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
  QStringList bad;
  for (const QString& t : texts) {
    QString plain = t;
    plain.remove(accel);
    if (plain.contains(latin) || !plain.contains(cjk)) bad << t;
  }
  return bad;
}

QStringList textsOfAFileDialog() {
  QFileDialog dlg(nullptr, QStringLiteral("t"), QDir::tempPath());
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  return qtTexts(dlg);
}

TEST(QtTranslations, TheSaveDialogSpeaksChineseOnly) {
  // Without the catalogue Qt's texts are English, and the check sees it.
  platform::qt::removeQtTranslations();
  const QStringList english = textsOfAFileDialog();
  ASSERT_GE(english.size(), 12);
  ASSERT_EQ(notChinese(english), english) << english.join(u'|').toStdString();

  // The save dialog loads the catalogue itself before it shows.
  QTemporaryDir dir;
  platform::qt::QtSaveDialog dialog(nullptr);
  QStringList shown;
  QTimer::singleShot(0, [&shown] {
    auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dlg) return;
    shown = qtTexts(*dlg);
    dlg->reject();
  });
  platform::SaveRequest request;
  request.title = "Tolvane-保存为";
  request.filters = {{"PNG文件(*.PNG)", "*.PNG"}};
  request.folder = dir.path().toStdString();
  EXPECT_FALSE(dialog.run(request).has_value());
  ASSERT_EQ(shown.size(), english.size());
  EXPECT_EQ(notChinese(shown), QStringList()) << shown.join(u'|').toStdString();
  platform::qt::removeQtTranslations();
}

TEST(QtTranslations, TheMessageBoxButtonIsChineseAndTheCatalogueLoadsOnce) {
  platform::qt::removeQtTranslations();
  platform::qt::QtMessageBox box(nullptr);
  QStringList buttons;
  QTimer::singleShot(0, [&buttons] {
    auto* m = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!m) return;
    for (QAbstractButton* b : m->buttons()) buttons << b->text();
    m->accept();
  });
  box.information("错误", "无法保存");
  ASSERT_EQ(buttons.size(), 1);
  EXPECT_EQ(notChinese(buttons), QStringList()) << buttons.join(u'|').toStdString();
  // A second install keeps the one catalogue: taking it out once restores English.
  EXPECT_TRUE(platform::qt::installQtTranslations());
  platform::qt::removeQtTranslations();
  EXPECT_EQ(notChinese(textsOfAFileDialog()).size(), textsOfAFileDialog().size());
}

}  // namespace
}  // namespace tolvane
