#include "platform/qt/dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>

#include "platform/qt/capture_window.h"
#include "platform/qt/qt_translations.h"
#include "platform/wayland/toplevel_activation.h"

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
  if (window_) window_->suspendKeyboardGrab();
  QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
}

DialogScope::~DialogScope() {
  QGuiApplication::restoreOverrideCursor();
  if (window_) window_->resumeKeyboardGrab();
}

QWidget* DialogScope::parent() const { return window_ && window_->isVisible() ? window_ : nullptr; }

namespace {

// Moves a window to the middle of a monitor as it is about to be shown: its
// widget has laid itself out by then, and the window manager takes the
// place with the window's first map.
class CentreOnShow : public QObject {
 public:
  CentreOnShow(QScreen* screen, QObject* parent) : QObject(parent), screen_(screen) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    auto* w = qobject_cast<QWindow*>(watched);
    if (w && e->type() == QEvent::Show && screen_) {
      const QRect g = screen_->geometry();
      const QSize size = w->frameGeometry().size();
      w->setScreen(screen_);
      w->setFramePosition(QPoint(g.x() + std::max(0, (g.width() - size.width()) / 2),
                                 g.y() + std::max(0, (g.height() - size.height()) / 2)));
    }
    return QObject::eventFilter(watched, e);
  }

 private:
  QPointer<QScreen> screen_;
};

// On Wayland: once the dialog is on the screen, asks the compositor to give
// it the keyboard, which it may not do by itself (toplevel_activation.h).
// The window is listed only once its first picture is in, so the request is
// repeated a little while until it is.
class KeyboardOnShow : public QObject {
 public:
  explicit KeyboardOnShow(QObject* parent) : QObject(parent) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    auto* w = qobject_cast<QWindow*>(watched);
    if (w && e->type() == QEvent::Expose && w->isExposed() && !asking_) {
      asking_ = true;
      auto* timer = new QTimer(this);
      timer->start(kEvery);
      QObject::connect(timer, &QTimer::timeout, this, [this, w, timer] {
        using wayland::Activation;
        const Activation a = wayland::activateToplevel(appId().toStdString(), w->title().toStdString());
        if (a != Activation::NotShownYet || ++tries_ >= kTries) timer->stop();
      });
    }
    return QObject::eventFilter(watched, e);
  }

 private:
  // The app id Qt gives our windows.
  static QString appId() {
    QString name = QGuiApplication::desktopFileName();
    if (name.endsWith(QLatin1String(".desktop"))) name.chop(8);
    return name.isEmpty() ? QFileInfo(QCoreApplication::applicationFilePath()).baseName() : name;
  }
  static constexpr int kEvery = 20, kTries = 100;  // milliseconds apart; two seconds in all
  bool asking_ = false;
  int tries_ = 0;
};

}  // namespace

void DialogScope::place(QWidget& dialog) const {
  if (window_ && window_->isVisible() && QGuiApplication::platformName() == QLatin1String("wayland")) {
    dialog.winId();
    if (QWindow* w = dialog.windowHandle()) w->installEventFilter(new KeyboardOnShow(&dialog));
    return;
  }
  if (!window_ || !window_->isVisible() || QGuiApplication::platformName() != QLatin1String("xcb")) return;
  // Under such a compositor the dialog bypasses the window manager too,
  // like the capture window: it is drawn above it, and Qt gives it the
  // keyboard itself.
  if (window_->compositedDesktop()) dialog.setWindowFlag(Qt::BypassWindowManagerHint);
  dialog.winId();  // its window, to be watched
  if (QWindow* w = dialog.windowHandle()) w->installEventFilter(new CentreOnShow(window_->dialogScreen(), &dialog));
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
