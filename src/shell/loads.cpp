#include "shell/loads.h"

#include "shell/artwork.h"
#include "shell/diary.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace {
const QSize SplashSize(420, 260);
}

Loads::Loads() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("loads"));
    setFixedSize(SplashSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Loads::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, Artwork::pixmap(QStringLiteral("splash"), size(), devicePixelRatioF()));
}

Diary *Loads::start(Store *store) {
    Loads splash;
    splash.show();
    for (int i = 0; i <= 100; ++i)
        QCoreApplication::processEvents();
    auto *diary = new Diary(store, nullptr, Diary::Start::Deferred);
    diary->show();
    splash.close();
    // The hidden pages and the music follow once the window is on screen.
    QTimer::singleShot(0, diary, &Diary::completeStart);
    return diary;
}
