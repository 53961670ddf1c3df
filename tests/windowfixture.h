// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/mainwindow.h"
#include "core/store.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// A fresh store in a temporary folder for each test, and the main window on it.
class WindowFixture : public QObject {
protected:
    void openStore() {
        for (const char *file : {"work.db", "drafts.db", "drafts.db-wal", "drafts.db-shm"})
            QFile::remove(m_dir.filePath(QString::fromLatin1(file)));
        m_store = std::make_unique<Store>();
        QCOMPARE(m_store->open(m_dir.filePath("work.db")), Store::State::Open);
    }
    void closeAll() {
        m_diary.reset();
        m_store.reset();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<MainWindow> m_diary;
};
