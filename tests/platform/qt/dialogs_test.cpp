#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include "platform/qt/dialogs.h"

namespace tolvane {
namespace {

using platform::qt::completeSavePath;

TEST(SaveDialog, AddsTheFiltersExtensionOnlyToNamesWithoutOne) {
  EXPECT_EQ(completeSavePath("/p/Tolvane2026-12-06_14.05.09", "*.PNG", "PNG"),
            QStringLiteral("/p/Tolvane2026-12-06_14.05.09.PNG"));
  EXPECT_EQ(completeSavePath("/p/shot", "*.jpg", "PNG"), QStringLiteral("/p/shot.jpg"));
  EXPECT_EQ(completeSavePath("/p/shot", "*.*", "PNG"), QStringLiteral("/p/shot.PNG"));
  EXPECT_EQ(completeSavePath("/p/shot.", "*.gif", "PNG"), QStringLiteral("/p/shot.gif"));
  // A typed extension stays, even one the writer will refuse.
  EXPECT_EQ(completeSavePath("/p/shot.png", "*.jpg", "PNG"), QStringLiteral("/p/shot.png"));
  EXPECT_EQ(completeSavePath("/p/shot.jpeg", "*.PNG", "PNG"), QStringLiteral("/p/shot.jpeg"));
  EXPECT_EQ(completeSavePath("/p/shot.tif", "*.PNG", "PNG"), QStringLiteral("/p/shot.tif"));
  // A full stop in a folder name is not the file's.
  EXPECT_EQ(completeSavePath("/p/my.dir/shot", "*.bmp", "PNG"), QStringLiteral("/p/my.dir/shot.bmp"));
}

platform::SaveRequest request(const QString& folder) {
  platform::SaveRequest r;
  r.title = "Tolvane-保存为";
  r.filters = {{"PNG文件(*.PNG)", "*.PNG"},     {"JPEG文件(*.jpg;*.jpeg)", "*.jpg"}, {"位图文件(*.bmp)", "*.bmp"},
               {"GIF文件(*.gif)", "*.gif"},     {"TIFF文件(*.TIFF)", "*.tiff"},       {"所有文件(*.*)", "*.*"}};
  r.selectedFilter = 1;
  r.fileName = "Tolvane2026-12-06_14.05.09";
  r.defaultExtension = "PNG";
  r.folder = folder.toStdString();
  return r;
}

// Runs `step` on the dialog once it is up.
void whenDialogShows(std::function<void(QFileDialog&)> step) {
  QTimer::singleShot(0, [step] {
    auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dlg) {
      ADD_FAILURE() << "no modal file dialog";
      return;
    }
    step(*dlg);
  });
}

TEST(SaveDialog, ShowsTheRequestAndAnswersWithPathAndFilter) {
  QTemporaryDir dir;
  platform::qt::QtSaveDialog dialog(nullptr);
  QStringList shownFilters;
  QString title, name, folder;
  whenDialogShows([&](QFileDialog& dlg) {
    title = dlg.windowTitle();
    auto* combo = dlg.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    for (int i = 0; combo && i < combo->count(); ++i) shownFilters << combo->itemText(i);
    name = dlg.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
    folder = dlg.directory().absolutePath();
    // The user picks JPEG and keeps the proposed name.
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    emit combo->textActivated(combo->itemText(1));
    QMetaObject::invokeMethod(&dlg, "accept");
  });
  const auto answer = dialog.run(request(dir.path()));
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(title, QStringLiteral("Tolvane-保存为"));
  EXPECT_EQ(shownFilters, (QStringList{"PNG文件(*.PNG)", "JPEG文件(*.jpg;*.jpeg)", "位图文件(*.bmp)", "GIF文件(*.gif)",
                                       "TIFF文件(*.TIFF)", "所有文件(*.*)"}));
  EXPECT_EQ(name, QStringLiteral("Tolvane2026-12-06_14.05.09"));
  EXPECT_EQ(folder, QDir(dir.path()).absolutePath());
  EXPECT_EQ(answer->filter, 2);
  EXPECT_EQ(answer->path, (dir.path() + "/Tolvane2026-12-06_14.05.09.jpg").toStdString());
}

TEST(SaveDialog, KeepsTheProposedNameInTheFirstFilter) {
  QTemporaryDir dir;
  platform::qt::QtSaveDialog dialog(nullptr);
  whenDialogShows([](QFileDialog& dlg) { QMetaObject::invokeMethod(&dlg, "accept"); });
  const auto answer = dialog.run(request(dir.path()));
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->filter, 1);
  EXPECT_EQ(answer->path, (dir.path() + "/Tolvane2026-12-06_14.05.09.PNG").toStdString());
}

TEST(SaveDialog, CancelAnswersNothing) {
  QTemporaryDir dir;
  platform::qt::QtSaveDialog dialog(nullptr);
  whenDialogShows([](QFileDialog& dlg) { dlg.reject(); });
  EXPECT_FALSE(dialog.run(request(dir.path())).has_value());
}

}  // namespace
}  // namespace tolvane
