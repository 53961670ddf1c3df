// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/splashwindow.h"

#include "app/mainwindow.h"
#include "core/records.h"
#include "core/store.h"
#include "widgets/splashpicture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <utility>

namespace {

// Calls done once the window has drawn what it shows after now.
class AfterNextFrame : public QObject {
public:
    AfterNextFrame(QWidget *window, std::function<void()> done)
        : QObject(window), m_done(std::move(done)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::UpdateRequest) {
            QTimer::singleShot(0, watched, m_done);
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> m_done;
};

} // namespace

SplashWindow::SplashWindow() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("loads"));
    setFixedSize(SplashPicture::Size);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
        m_picture = SplashPicture::drawnAhead(screen->devicePixelRatio());
    }
}

// The picture drawn at build time shows without a font being loaded: the
// splash is the first thing painted. Elsewhere the same is drawn here.
void SplashWindow::paintEvent(QPaintEvent *) {
    QPainter p(this);
    if (m_picture.isNull())
        SplashPicture::draw(p, font());
    else
        p.drawImage(0, 0, m_picture);
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
        // The pages the entry list reads to draw its first rows are a read
        // away should they be wanted again: once drawn, they go back too.
        new AfterNextFrame(window, [store] { store->releaseMemory(); });
    });
    return window;
}
