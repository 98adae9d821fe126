#pragma once
// The interface is Chinese whatever the machine's locale: Qt's own texts (standard buttons,
// file dialogs) and the names its widgets take from the default locale (calendar months and
// week days, dates in file lists).
#include <QLocale>
#include <QTranslator>

// Held for as long as the interface runs; undoing both on destruction lets a headless run
// inside a longer-lived process leave it as it found it.
class ChineseInterface {
public:
    ChineseInterface();
    ~ChineseInterface();
    ChineseInterface(const ChineseInterface&) = delete;
    ChineseInterface& operator=(const ChineseInterface&) = delete;

    // Whether Qt's Chinese translations were found (the set-up script installs them).
    bool TranslationsLoaded() const { return installed_; }

private:
    QLocale previousLocale_;
    QTranslator qtTexts_;
    bool installed_ = false;
};
