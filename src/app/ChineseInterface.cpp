#include "app/ChineseInterface.h"

#include <QCoreApplication>
#include <QLibraryInfo>

ChineseInterface::ChineseInterface() {
    // Month and day names come from the default locale, not from translations: without this a
    // machine set to LANG=C shows an English calendar inside a Chinese form.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    // Named explicitly: loading by the system's UI languages would find nothing under LANG=C.
    installed_ = qtTexts_.load(QStringLiteral("qtbase_zh_CN"),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                 QCoreApplication::installTranslator(&qtTexts_);
}

ChineseInterface::~ChineseInterface() {
    if (installed_)
        QCoreApplication::removeTranslator(&qtTexts_);
    QLocale::setDefault(previousLocale_);
}
