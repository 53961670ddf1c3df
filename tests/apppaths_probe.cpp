// SPDX-License-Identifier: GPL-3.0-or-later
// Copied beside an installed program by install_check.sh: prints the shipped
// files the program would read from there, one per line, so the check can
// see that an installed tree finds them and reads none from elsewhere.
#include "core/apppaths.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QString paths[] = {
        AppPaths::helpPage(),
        AppPaths::song(1),
        AppPaths::song(10),
        AppPaths::faceFile(QStringLiteral("85.bmp")),
        AppPaths::shippedChapter(QStringLiteral("xyj"), 1),
        AppPaths::shippedStartIni(),
    };
    for (const QString &path : paths)
        std::printf("%s\n", qPrintable(path));
    return 0;
}
