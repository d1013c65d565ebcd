// Qt's own texts in Chinese: the print preview, the page setup and print
// dialogs, the standard buttons of message boxes, the edit and combo boxes'
// context menus and the date picker's calendar. Everything the operator
// reads is Chinese, also what Qt rather than the program writes.
#pragma once

#include <QString>
#include <QStringList>

namespace ui {

// The translation catalogue of Qt's own widgets.
inline constexpr const char* kQtCatalogue = "qtbase_zh_CN";

// Where the catalogue is looked for, in order: the folder "translations"
// beside the program (a packaged build ships it there), then Qt's own
// translations folder.
QStringList translationFolders();

// Makes Chinese (China) the default locale (month and day names of the
// calendar) and installs Qt's Chinese catalogue from the first folder that
// has it. Call once, right after the application object is made and before
// any window. Returns the catalogue file loaded, empty when none was found
// (Qt's texts then stay English).
QString installChineseTexts();

}  // namespace ui
