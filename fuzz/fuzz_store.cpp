// SPDX-License-Identifier: GPL-3.0-or-later
// A store opened from arbitrary bytes: it opens, is refused or shows
// read-only, and every step through what it holds returns.
#include "core/recordset.h"
#include "core/store.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {
QTemporaryDir *folder = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    static QCoreApplication app(*argc, *argv);
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString path = folder->filePath(QStringLiteral("work.db"));
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    Store store;
    if (store.open(path) != Store::State::Open)
        return 0;
    for (const QString &table : Store::tables()) {
        RecordSet records(&store, table);
        if (!records.open())
            continue;
        (void)records.moveFirst();
        for (int i = 0; i < 50 && !records.eof(); ++i) {
            for (const QString &field : records.fieldNames())
                records.text(field);
            (void)records.moveNext();
        }
        (void)records.findFirst(records.fieldNames().first(), QStringLiteral("20020101"));
        (void)records.append({{records.fieldNames().first(), QStringLiteral("x")}});
        (void)records.moveLast();
        (void)records.deleteCurrent();
    }
    return 0;
}
