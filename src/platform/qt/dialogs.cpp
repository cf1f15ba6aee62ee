#include "platform/qt/dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>

#include "platform/qt/capture_window.h"
#include "platform/qt/qt_translations.h"
#include "platform/qt/window_handling.h"

namespace tolvane::platform::qt {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }

bool lacksExtension(const QString& fileName) {
  const int dot = fileName.lastIndexOf(QLatin1Char('.'));
  if (dot < 0) return true;
  const QString suffix = fileName.mid(dot + 1);
  if (suffix.isEmpty()) return true;
  for (const QChar c : suffix)
    if (!c.isDigit()) return false;
  return true;
}

// "*.PNG" gives "PNG"; a pattern with wildcards in its extension gives nothing.
QString patternExtension(const QString& pattern) {
  if (!pattern.startsWith(QLatin1String("*."))) return {};
  const QString ext = pattern.mid(2);
  if (ext.isEmpty() || ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?')) ||
      ext.contains(QLatin1Char(';')))
    return {};
  return ext;
}
}  // namespace

QString completeSavePath(const QString& path, const QString& filterPattern, const QString& defaultExtension) {
  const QString name = QFileInfo(path).fileName();
  if (name.isEmpty() || !lacksExtension(name)) return path;
  QString ext = patternExtension(filterPattern);
  if (ext.isEmpty()) ext = defaultExtension;
  if (ext.isEmpty()) return path;
  QString out = path;
  if (!out.endsWith(QLatin1Char('.'))) out += QLatin1Char('.');
  return out + ext;
}

QString qtNameFilter(const SaveFilter& f) { return q(f.description) + QStringLiteral(" (") + q(f.pattern) + ")"; }

DialogScope::DialogScope(CaptureWindow* window) : window_(window) {
  if (window_) window_->handling().dialogOpens();
  QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
}

DialogScope::~DialogScope() {
  QGuiApplication::restoreOverrideCursor();
  if (window_) window_->handling().dialogEnded();
}

QWidget* DialogScope::parent() const { return window_ && window_->isVisible() ? window_ : nullptr; }

void DialogScope::place(QWidget& dialog) const {
  if (window_ && window_->isVisible()) window_->handling().placeDialog(dialog);
}

std::optional<SaveAnswer> QtSaveDialog::run(const SaveRequest& request) {
  if (beforeBuilding) beforeBuilding();
  installQtTranslations();
  // A compositor shows a dialog above a full-screen window only when it
  // belongs to that window: the one on the region's output.
  DialogScope scope(hostWindow ? hostWindow() : window_);
  QFileDialog dlg(scope.parent(), q(request.title), q(request.folder));
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.setOption(QFileDialog::DontConfirmOverwrite);
  dlg.setOption(QFileDialog::HideNameFilterDetails);
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setFileMode(QFileDialog::AnyFile);
  dlg.setWindowModality(Qt::ApplicationModal);
  QStringList filters;
  for (const auto& f : request.filters) filters << qtNameFilter(f);
  dlg.setNameFilters(filters);
  const int selected = request.selectedFilter;
  if (selected >= 1 && selected <= filters.size()) dlg.selectNameFilter(filters[selected - 1]);
  if (!request.folder.empty()) dlg.setDirectory(q(request.folder));
  dlg.selectFile(q(request.fileName));

  // Choosing another filter makes QFileDialog swap the name's "extension"
  // for the filter's; with the proposed name that would eat the seconds
  // ("14.05.09" becoming "14.05.jpg"). Keep the name as it was then.
  if (auto* edit = dlg.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    auto before = std::make_shared<QString>(edit->text());
    auto now = std::make_shared<QString>(edit->text());
    QObject::connect(edit, &QLineEdit::textChanged, &dlg, [before, now](const QString& t) {
      *before = *now;
      *now = t;
    });
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [edit, before, now] {
      if (*now != *before && lacksExtension(*before) &&
          QFileInfo(*now).completeBaseName() == QFileInfo(*before).completeBaseName())
        edit->setText(*before);
    });
  }

  scope.place(dlg);
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dlg.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  SaveAnswer answer;
  // With the details hidden, Qt answers with the filter as shown: the description.
  const QString chosen = dlg.selectedNameFilter();
  int index = filters.indexOf(chosen);
  for (std::size_t i = 0; index < 0 && i < request.filters.size(); ++i)
    if (q(request.filters[i].description) == chosen) index = static_cast<int>(i);
  answer.filter = index >= 0 ? index + 1 : selected;
  const QString pattern =
      answer.filter >= 1 && answer.filter <= static_cast<int>(request.filters.size())
          ? q(request.filters[static_cast<std::size_t>(answer.filter - 1)].pattern)
          : QString();
  answer.path = completeSavePath(files.first(), pattern, q(request.defaultExtension)).toStdString();
  return answer;
}

void QtMessageBox::information(const std::string& title, const std::string& text) {
  installQtTranslations();
  DialogScope scope(hostWindow ? hostWindow() : window_);
  QMessageBox box(QMessageBox::Information, q(title), q(text), QMessageBox::Ok, scope.parent());
  box.setWindowModality(Qt::ApplicationModal);
  scope.place(box);
  box.exec();
}

}  // namespace tolvane::platform::qt
