// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/applicationsetup.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace ApplicationSetup {

void setIdentity() {
    QCoreApplication::setApplicationName(QStringLiteral("quillary"));
    // Lets Wayland compositors match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(DesktopFileName));
}

bool installTranslations() {
    static QTranslator *qtStrings = nullptr;
    if (qtStrings)
        return true;
    auto *translator = new QTranslator(QCoreApplication::instance());
    // Chinese whatever the system's language: the interface itself is Chinese.
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    qtStrings = translator;
    return true;
}

} // namespace ApplicationSetup
