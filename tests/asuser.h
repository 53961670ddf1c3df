// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <unistd.h>

// File permissions do not bind root, so a test of write-protected files runs
// its own function again as an ordinary user and reports that run's verdict
// (or skips when no other user can run this program).
inline void checkAsOrdinaryUser() {
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                 QStringLiteral("--clear-groups"), QStringLiteral("--"),
                 QCoreApplication::applicationFilePath(),
                 QString::fromLatin1(QTest::currentTestFunction())});
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit)
        QSKIP("cannot run as an ordinary user here");
    const QByteArray out = child.readAll();
    if (child.exitCode() == 126 || child.exitCode() == 127 || out.contains("Permission denied"))
        QSKIP("the test program is out of an ordinary user's reach");
    QVERIFY2(child.exitCode() == 0, out.constData());
}

#define RUN_AS_ORDINARY_USER()                                                                     \
    if (geteuid() == 0) {                                                                          \
        checkAsOrdinaryUser();                                                                     \
        return;                                                                                    \
    }
