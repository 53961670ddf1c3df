// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/applicationsetup.h"
#include "app/backupcoordinator.h"
#include "app/commandline.h"
#include "app/mainwindow.h"
#include "app/singleinstance.h"
#include "app/splashwindow.h"
#include "app/termination.h"
#include "app/trayicon.h"
#include "core/apppaths.h"
#include "core/store.h"
#include "widgets/artwork.h"
#include "widgets/style.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[]) {
    if (const int status = CommandLine::runIfAsked(argc, argv); status >= 0)
        return status;
    // However early a signal comes, the program ends in order.
    Termination::catchSignals();
    QApplication app(argc, argv);
    Termination::quitOnSignals();
    ApplicationSetup::setIdentity();
    ApplicationSetup::installTranslations();
    QApplication::setStyle(new Style);
    // The program ends through its own close button only; hiding to the
    // notification area must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start shows the first one's window instead of opening the
    // store a second time; when that one hangs, the user hears of it.
    SingleInstance instance(AppPaths::dataDir());
    if (!instance.claim() && !instance.replaceUnansweringCopy())
        return 0;

    Store store;
    store.open(AppPaths::databasePath());

    MainWindow *window = SplashWindow::start(&store);
    // Once the window is up and its tables are read, at idle priority: the
    // notebook as this session found it.
    QTimer::singleShot(0, window, [window] { window->backups->startSchedule(); });
    // Set once the splash is up: that window is off the task bar and needs none.
    QApplication::setWindowIcon(Artwork::icon(QStringLiteral("quillary")));
    // However the program ends, typed fields are not lost: on a signal the
    // event loop ends in order; when the display goes, the process ends in
    // exit(), and the fields are written there.
    Termination::setLastWords([window] { window->savePendingEdits(); });
    QObject::connect(&instance, &SingleInstance::showRequested, window, [window] {
        TrayIcon::removeIcon();
        window->show();
        window->raise();
        window->activateWindow();
    });
    QObject::connect(&instance, &SingleInstance::rowsAdded, window,
                     &MainWindow::rowsAddedElsewhere);
    QObject::connect(&app, &QApplication::aboutToQuit, window, &MainWindow::savePendingEdits);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, window,
                     &MainWindow::savePendingEdits);
    // A signal heard while the window was made: the start completes, then ends.
    if (Termination::quitAsked())
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    const int rc = QApplication::exec();
    Termination::setLastWords({});
    delete window;
    return rc;
}
