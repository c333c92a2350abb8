#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace torvane::app {

bool installQtTranslations(QCoreApplication& application) {
    // The translator lives as long as the application that reads from it.
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_ko"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace torvane::app
