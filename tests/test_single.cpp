// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/singleinstance.h"

#include "asuser.h"
#include "fakeinteraction.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

// One program per user and store.
class TestSingle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void secondStartShowsTheFirst() {
        QTemporaryDir dir;
        QThread running; // the first copy's interface
        auto *first = new SingleInstance(dir.path());
        first->moveToThread(&running);
        running.start();
        bool claimed = false;
        QMetaObject::invokeMethod(
            first, [&] { claimed = first->claim(); }, Qt::BlockingQueuedConnection);
        QVERIFY(claimed);
        QSignalSpy shown(first, &SingleInstance::showRequested);
        {
            SingleInstance second(dir.path());
            QVERIFY(!second.claim());
            QVERIFY(second.runningCopyAnswered());
        }
        QTRY_COMPARE(shown.count(), 1);
        QMetaObject::invokeMethod(
            first, [first] { delete first; }, Qt::BlockingQueuedConnection);
        running.quit();
        running.wait();

        QTemporaryDir other; // another store is another program
        SingleInstance elsewhere(other.path());
        QVERIFY(elsewhere.claim());
    }

    // A copy whose interface hangs still has its connections taken by the
    // system: only an answer counts as shown, and the start that got none
    // names the hung process to the user instead of ending unseen.
    void aCopyThatNeverAnswersIsNamed() {
        QTemporaryDir dir;
        SingleInstance hung(dir.path());
        QVERIFY(hung.claim()); // its events never run below
        SingleInstance second(dir.path());
        QVERIFY(!second.claim());
        QVERIFY(!second.runningCopyAnswered());
        QCOMPARE(second.unansweringProcess(), QCoreApplication::applicationPid());
        FakeInteraction told;
        QVERIFY(!second.replaceUnansweringCopy());
        QCOMPARE(told.asked.size(), 1);
        QVERIFY(
            told.asked.first().text.contains(QString::number(QCoreApplication::applicationPid())));
    }

    void aLockLeftByADeadProcessIsTakenOver() {
        QTemporaryDir dir;
        {
            QFile stale(dir.filePath("quillary.lock"));
            QVERIFY(stale.open(QIODevice::WriteOnly));
            // Written by a process of this machine that is gone.
            stale.write("999999\ntest_single\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        }
        SingleInstance first(dir.path());
        QVERIFY(first.claim());
    }

    // A lock nobody can judge, or whose owner never answers, is stale: the
    // start takes it over (or runs without one) instead of ending unseen.
    void locksItCannotJudgeAreTakenOver_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbage") << QByteArray("\x01\x02 not a lock at all");
        QTest::newRow("another host") << QByteArray("4242\nquillary\nsome-other-machine\n");
    }
    void locksItCannotJudgeAreTakenOver() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        QFile lock(dir.filePath("quillary.lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(content);
        lock.close();
        SingleInstance first(dir.path());
        QVERIFY(first.claim());
        SingleInstance second(dir.path()); // and the lock taken over is a real one
        QVERIFY(!second.claim());
    }

    void aFolderInTheLocksPlaceDoesNotStopTheStart() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("quillary.lock"));
        SingleInstance first(dir.path());
        QVERIFY(first.claim());
    }

    // A folder nobody can write holds no lock: the program runs at once.
    void aReadOnlyFolderDoesNotStopTheStart() {
        RUN_AS_ORDINARY_USER();
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        SingleInstance only(dir.path());
        QVERIFY(only.claim()); // true only without the wait for a running copy
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestSingle)
#include "test_single.moc"
