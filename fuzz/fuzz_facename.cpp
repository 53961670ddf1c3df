// SPDX-License-Identifier: GPL-3.0-or-later
// No face name ever resolves outside the face folder.
#include "core/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_facename";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = [] {
        auto *a = new QCoreApplication(argc, argv);
        QDir(QCoreApplication::applicationDirPath()).mkpath(QStringLiteral("qqface"));
        return a;
    }();
    (void)app;
    const QString faceName =
        QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = AppPaths::faceFile(faceName);
    if (!path.isEmpty()) {
        const QString folder = QFileInfo(AppPaths::face(QString())).canonicalFilePath();
        if (QFileInfo(path).canonicalPath() != folder)
            abort();
    }
    return 0;
}
