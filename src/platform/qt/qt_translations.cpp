#include "platform/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tolvane::platform::qt {

namespace {
QTranslator* installed = nullptr;
}

bool installQtTranslations() {
  if (installed) return true;
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return false;
  }
  installed = translator;
  return true;
}

void removeQtTranslations() {
  if (!installed) return;
  QCoreApplication::removeTranslator(installed);
  delete installed;
  installed = nullptr;
}

}  // namespace tolvane::platform::qt
