#include "chinese_texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ui {

QStringList translationFolders() {
    return {QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations")),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

QString installChineseTexts() {
    // Month and day names (the date picker's calendar) come from the locale.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

    auto* catalogue = new QTranslator(QCoreApplication::instance());
    for (const QString& folder : translationFolders()) {
        if (catalogue->load(QString::fromLatin1(kQtCatalogue), folder)) {
            QCoreApplication::installTranslator(catalogue);
            return catalogue->filePath();
        }
    }
    delete catalogue;
    return {};
}

}  // namespace ui
