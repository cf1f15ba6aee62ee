// Qt's own texts in the program's language, Chinese: the file dialog's
// labels, buttons and tooltips, and the message box's button.
#pragma once

namespace tolvane::platform::qt {

// Installs Qt's zh_CN catalogue (qtbase_zh_CN.qm from Qt's translations
// folder) once; later calls do nothing. The dialogs call it before they
// show, which keeps it off the start-up path. False when the catalogue is
// missing: Qt's texts then stay English.
bool installQtTranslations();
// Takes it out again (for the tests).
void removeQtTranslations();

}  // namespace tolvane::platform::qt
