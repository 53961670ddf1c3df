#include "shell/artwork.h"
#include "shell/diary.h"
#include "shell/icon.h"
#include "shell/loads.h"
#include "shell/singleinstance.h"
#include "shell/style.h"
#include "shell/termination.h"
#include "store/apppaths.h"
#include "store/store.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillary"));
    QApplication::setStyle(new Style);
    // The program ends through its own close button only; hiding to the
    // notification area must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start shows the first one's window instead of opening the
    // store a second time.
    SingleInstance instance(AppPaths::dataDir());
    if (!instance.claim())
        return 0;

    Store store;
    store.open(AppPaths::databasePath());

    Diary *diary = Loads::start(&store);
    // Set once the splash is up: that window is off the task bar and needs none.
    QApplication::setWindowIcon(Artwork::icon(QStringLiteral("quillary")));
    // However the program ends, typed fields are not lost.
    Termination::quitOnSignals();
    QObject::connect(&instance, &SingleInstance::showRequested, diary, [diary] {
        icon::removeIcon();
        diary->show();
        diary->raise();
        diary->activateWindow();
    });
    QObject::connect(&app, &QApplication::aboutToQuit, diary, &Diary::savePendingEdits);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, diary, &Diary::savePendingEdits);
    const int rc = QApplication::exec();
    delete diary;
    return rc;
}
