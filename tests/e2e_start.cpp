// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the real program under a virtual X server with a fresh data folder,
// waits for its main window to be mapped, takes a screenshot and checks it.
// Usage: e2e_start <quillary binary> <folder for the screenshot> [data folder]

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {
constexpr int Skip = 77; // CTest's conventional "skipped" code, see SKIP_RETURN_CODE

int fail(const char *what) {
    std::fprintf(stderr, "e2e_start: %s\n", what);
    return 1;
}

bool windowViewable(const QString &display, const QString &name) {
    QProcess p;
    p.start("xwininfo", {"-display", display, "-name", name});
    if (!p.waitForFinished(5000))
        return false;
    return p.exitCode() == 0 && p.readAllStandardOutput().contains("IsViewable");
}
// A signal that comes while the window is still being made, once the store
// is open: the program still ends in order, not killed by it.
int endsInOrderOnAnEarlySignal(const QString &binary, QProcessEnvironment env) {
    QTemporaryDir data;
    env.insert("XDG_DATA_HOME", data.path());
    env.insert("XDG_CACHE_HOME", data.filePath("cache"));
    QProcess app;
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedChannels);
    app.start(binary, {});
    if (!app.waitForStarted(5000))
        return fail("the program did not start");
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(data.filePath("quillary/work.db")) && waited.elapsed() < 30000 &&
           app.state() == QProcess::Running)
        QThread::usleep(200);
    app.terminate();
    if (!app.waitForFinished(15000)) {
        app.kill();
        app.waitForFinished(5000);
        return fail("the program did not end on a SIGTERM during its start");
    }
    if (app.exitStatus() != QProcess::NormalExit || app.exitCode() != 0)
        return fail("a SIGTERM during the start ended the program uncleanly");
    return 0;
}
} // namespace

int main(int argc, char *argv[]) {
    if (argc < 3)
        return fail("usage: e2e_start <binary> <output folder>");
    const QString binary = QString::fromLocal8Bit(argv[1]);
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
        QStandardPaths::findExecutable("xwininfo").isEmpty()) {
        std::fprintf(stderr, "e2e_start: Xvfb or xwininfo missing, skipped\n");
        return Skip;
    }

    // The server picks a free display and names it, so runs side by side
    // never race for one; -noreset keeps it from refusing connections while
    // it resets after the probe, its last client, goes.
    QProcess xvfb;
    xvfb.start("Xvfb",
               {"-displayfd", "1", "-noreset", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    if (!xvfb.waitForStarted(5000))
        return fail("Xvfb did not start");
    QByteArray announced;
    while (!announced.contains('\n') && xvfb.waitForReadyRead(15000))
        announced += xvfb.readAllStandardOutput();
    bool numbered = false;
    const int number = announced.trimmed().toInt(&numbered);
    if (!numbered) {
        xvfb.kill();
        return fail("Xvfb named no display");
    }
    const QString display = QStringLiteral(":%1").arg(number);
    QElapsedTimer waited;
    waited.start();
    bool serverUp = false;
    while (!serverUp && waited.elapsed() < 15000 && xvfb.state() == QProcess::Running) {
        QProcess probe;
        probe.start("xwininfo", {"-display", display, "-root"});
        serverUp = probe.waitForFinished(5000) && probe.exitCode() == 0;
        if (!serverUp)
            QThread::msleep(100);
    }
    if (!serverUp)
        return fail("Xvfb did not come up");

    QTemporaryDir data;
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    const QString dataHome = argc > 3 ? QString::fromLocal8Bit(argv[3]) : data.path();
    env.insert("XDG_DATA_HOME", dataHome);
    // A song it renders stays out of the user's own cache.
    env.insert("XDG_CACHE_HOME", data.filePath("cache"));
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedChannels);
    app.start(binary, {});
    if (!app.waitForStarted(5000)) {
        xvfb.kill();
        return fail("the program did not start");
    }

    bool mapped = false;
    waited.restart();
    while (!mapped && waited.elapsed() < 30000 && app.state() == QProcess::Running) {
        mapped = windowViewable(display, "Quillary");
        if (!mapped)
            QThread::msleep(100);
    }
    int rc = 0;
    if (!mapped) {
        rc = fail("the Quillary window was never mapped");
    } else {
        QThread::msleep(700); // let it paint
        qputenv("DISPLAY", display.toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
        int qargc = 1;
        QGuiApplication grabber(qargc, argv);
        const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        shot.save(QDir(outDir).filePath("e2e_start.png"));
        // Not blank: many colours, and the window's own orange in a large area.
        QSet<QRgb> colours;
        int orange = 0;
        for (int y = 0; y < shot.height(); y += 2)
            for (int x = 0; x < shot.width(); x += 2) {
                const QRgb c = shot.pixel(x, y) & 0xffffff;
                colours.insert(c);
                orange += c == (qRgb(247, 165, 85) & 0xffffffu) ? 1 : 0;
            }
        std::printf("e2e_start: %lld colours, %d orange samples\n", qint64(colours.size()), orange);
        if (colours.size() < 20)
            rc = fail("the screenshot is nearly blank");
        else if (orange < 5000)
            rc = fail("the main window's colour is not on screen");
        if (!QDir(dataHome).exists("quillary/work.db"))
            rc = fail("the store was not created in the data folder");
    }
    if (mapped) {
        // A second start hands over to the running one and ends.
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(binary, {});
        if (!second.waitForFinished(15000) || second.exitCode() != 0) {
            rc = fail("a second start did not hand over and end");
            second.kill();
            second.waitForFinished(5000);
        } else if (app.state() != QProcess::Running) {
            rc = fail("the running program ended when a second one started");
        }
    }

    // An orderly end on SIGTERM: the program quits through its event loop.
    app.terminate();
    if (!app.waitForFinished(10000)) {
        rc = fail("the program did not end on SIGTERM");
        app.kill();
        app.waitForFinished(5000);
    } else if (mapped && (app.exitStatus() != QProcess::NormalExit || app.exitCode() != 0)) {
        rc = fail("the program did not end cleanly on SIGTERM");
    }
    if (const int early = endsInOrderOnAnEarlySignal(binary, env); early != 0)
        rc = early;
    xvfb.terminate();
    xvfb.waitForFinished(5000);
    return rc;
}
