// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/splashwindow.h"

#include "app/mainwindow.h"
#include "core/records.h"
#include "core/store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

namespace {
const QSize SplashSize(420, 260);
}

SplashWindow::SplashWindow() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("loads"));
    setFixedSize(SplashSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

// Drawn directly rather than from a picture file: the splash is the first
// thing painted, before any image or vector reader has been loaded.
void SplashWindow::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 0, height());
    background.setColorAt(0, QColor(0xfb, 0xc8, 0x8f));
    background.setColorAt(1, QColor(0xf7, 0xa5, 0x55));
    p.fillRect(rect(), background);
    const QColor brown(0x8a, 0x4b, 0x12);
    p.setPen(QPen(brown, 3));
    p.drawRect(QRectF(6, 6, 408, 248));

    // A notebook with a quill.
    p.save();
    p.translate(40, 60);
    p.scale(2.2, 2.2);
    p.setPen(QPen(brown, 2.5));
    p.setBrush(QColor(0xff, 0xf4, 0xe6));
    p.drawRoundedRect(QRectF(8, 6, 40, 52), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc4, 0x6f, 0x1f));
    p.drawRoundedRect(QRectF(8, 6, 9, 52), 3, 3);
    p.setPen(QPen(brown, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QLineF(23, 20, 42, 20));
    p.drawLine(QLineF(23, 28, 42, 28));
    p.drawLine(QLineF(23, 36, 36, 36));
    QPainterPath quill(QPointF(58, 4));
    quill.cubicTo(44, 10, 34, 24, 30, 44);
    quill.lineTo(34, 45);
    quill.cubicTo(40, 28, 50, 16, 58, 4);
    p.setPen(QPen(QColor(0x3b, 0x3b, 0x58), 2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(quill);
    p.restore();

    QFont title = font();
    title.setPixelSize(44);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0x5a, 0x2e, 0x06));
    p.drawText(QPointF(200, 130), QStringLiteral("Quillary"));
    QFont line = font();
    line.setPixelSize(16);
    p.setFont(line);
    p.setPen(QColor(0x6b, 0x3b, 0x0c));
    p.drawText(QPointF(202, 164), QStringLiteral("日记 · 小说 · 通讯录 · 相册"));
    line.setPixelSize(13);
    p.setFont(line);
    p.drawText(QPointF(202, 230), QStringLiteral("正在载入……"));
}

MainWindow *SplashWindow::start(Store *store) {
    SplashWindow splash;
    splash.show();
    for (int i = 0; i <= 100; ++i)
        QCoreApplication::processEvents();
    auto *window = new MainWindow(store, nullptr, MainWindow::Start::Deferred);
    window->show();
    splash.close();
    // Read while the window is mapped and drawn; taken when the tables open.
    store->prefetchKeys(QLatin1String(JournalEntry::Table));
    // The tables, the hidden pages and the music follow once the window has
    // been drawn on screen.
    QElapsedTimer waited;
    waited.start();
    while (!window->windowHandle()->isExposed() && waited.elapsed() < 500) {
        QCoreApplication::processEvents();
        QThread::usleep(500);
    }
    window->repaint();
    QTimer::singleShot(0, window, [window, store] {
        window->completeStart();
        store->releaseMemory();
    });
    return window;
}
