// SPDX-License-Identifier: GPL-3.0-or-later
// Time to window, memory and idle cost of the real program under a virtual
// X server, against a Qt Widgets program that only shows an empty window.
// Music plays into a PulseAudio null sink of the bench's own, which takes
// the audio in real time as a sound card would, from a fresh song cache.
// Usage: window_bench <quillary> <floor> [entries] [runs] [idle seconds]
//        (defaults 100000, 7 and 60)

#include "core/snapshots.h"
#include "core/store.h"
#include "generate.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

struct Sample {
    double ms = -1;
    long rssKb = 0;
    long peakKb = 0;
    QStringList libraries; // mapped when the window first showed
};

QStringList mappedLibraries(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/maps").arg(pid));
    QStringList names;
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (const qsizetype at = line.indexOf('/'); at >= 0 && line.contains(".so"))
                names << QFileInfo(QString::fromLocal8Bit(line.mid(at))).fileName();
    names.removeDuplicates();
    names.sort();
    return names;
}

QString windowName(xcb_connection_t *c, xcb_window_t w) {
    const auto cookie =
        xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 64);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(c, cookie, nullptr);
    if (!reply)
        return {};
    const QString name = QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(reply)),
                                           xcb_get_property_value_length(reply));
    free(reply);
    return name;
}

long statusField(qint64 pid, const char *field) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(strlen(field))).trimmed().split(' ').first().toLong();
    return 0;
}

// CPU ticks of the process and context switches of all its threads.
std::pair<long, long> usage(qint64 pid) {
    long ticks = 0, switches = 0;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray s = stat.readAll();
        const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
        ticks = fields.value(11).toLong() + fields.value(12).toLong(); // utime, stime
    }
    for (const QString &task : QDir(QStringLiteral("/proc/%1/task").arg(pid))
                                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        switches += statusField(task.toLongLong(), "voluntary_ctxt_switches:") +
                    statusField(task.toLongLong(), "nonvoluntary_ctxt_switches:");
    return {ticks, switches};
}

class Harness {
public:
    Harness(const QString &display) : m_display(display) {}
    ~Harness() {
        if (m_x)
            xcb_disconnect(m_x);
    }
    bool connect() {
        m_x = xcb_connect(m_display.toLatin1().constData(), nullptr);
        if (xcb_connection_has_error(m_x))
            return false;
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_x, screen->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_x);
        return true;
    }

    // Starts the program and waits for its window named "Quillary" to map.
    Sample run(const QString &binary, const QString &dataHome, double idleSeconds,
               double *cpuPercent = nullptr, double *wakeups = nullptr,
               const QStringList &arguments = {}) {
        while (xcb_generic_event_t *e = xcb_poll_for_event(m_x))
            free(e);
        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", m_display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_DATA_HOME", dataHome);
        app.setProcessEnvironment(env);
        app.setStandardOutputFile(QProcess::nullDevice());
        app.setStandardErrorFile(QProcess::nullDevice());
        Sample s;
        QElapsedTimer t;
        t.start();
        app.start(binary, arguments);
        const int fd = xcb_get_file_descriptor(m_x);
        while (t.elapsed() < 30000 && s.ms < 0) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, 50);
            while (xcb_generic_event_t *e = xcb_poll_for_event(m_x)) {
                if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                    const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(e);
                    if (s.ms < 0 && windowName(m_x, map->window) == QLatin1String("Quillary")) {
                        s.ms = double(t.nsecsElapsed()) / 1e6;
                        s.libraries = mappedLibraries(app.processId());
                    }
                }
                free(e);
            }
        }
        QThread::msleep(1500); // settle, then measure at rest
        s.rssKb = statusField(app.processId(), "VmRSS:");
        if (cpuPercent && idleSeconds > 0) {
            const auto before = usage(app.processId());
            QThread::msleep(qint64(idleSeconds * 1000));
            const auto after = usage(app.processId());
            *cpuPercent = 100.0 * double(after.first - before.first) /
                          double(sysconf(_SC_CLK_TCK)) / idleSeconds;
            *wakeups = double(after.second - before.second) / idleSeconds;
        }
        s.peakKb = statusField(app.processId(), "VmHWM:");
        app.terminate();
        if (!app.waitForFinished(10000))
            app.kill();
        app.waitForFinished(5000);
        return s;
    }

private:
    QString m_display;
    xcb_connection_t *m_x = nullptr;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

// A sound server with only a null sink, private to the bench; false where
// PulseAudio is not installed or does not start.
bool startSoundServer(QProcess &server, const QString &folder) {
    const QString socket = folder + "/native";
    if (QStandardPaths::findExecutable("pulseaudio").isEmpty())
        return false;
    QDir(folder).mkpath("run");
    QFile::setPermissions(folder + "/run",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", folder);
    env.insert("XDG_CONFIG_HOME", folder);
    env.insert("XDG_RUNTIME_DIR", folder + "/run");
    server.setProcessEnvironment(env);
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start("pulseaudio",
                 {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-L",
                  "module-native-protocol-unix auth-anonymous=1 socket=" + socket, "-L",
                  "module-null-sink sink_name=bench"});
    QElapsedTimer t;
    t.start();
    while (server.state() != QProcess::NotRunning && !QFileInfo::exists(socket) &&
           t.elapsed() < 10000)
        QThread::msleep(50);
    if (!QFileInfo::exists(socket))
        return false;
    qputenv("PULSE_SERVER", ("unix:" + socket).toLocal8Bit());
    return true;
}

void setMusic(const QString &ini, const char *flag) {
    QFile f(ini);
    if (f.open(QIODevice::WriteOnly))
        f.write(flag);
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: window_bench <quillary> <floor> [entries] [runs] [idle seconds]\n");
        return 2;
    }
    const QString program = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString floor = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    const int entries = argc > 3 ? atoi(argv[3]) : 100000;
    const int runs = argc > 4 ? std::max(1, atoi(argv[4])) : 7;
    const double idle = argc > 5 ? atof(argv[5]) : 60;

    int number = 200 + int(QCoreApplication::applicationPid() % 300);
    while (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
        ++number;
    const QString display = QStringLiteral(":%1").arg(number);
    QProcess xvfb;
    xvfb.start("Xvfb", {display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
    if (!xvfb.waitForStarted(5000)) {
        std::fprintf(stderr, "window_bench: Xvfb missing\n");
        return 77;
    }
    Harness h(display);
    QElapsedTimer up;
    up.start();
    while (!h.connect() && up.elapsed() < 10000)
        QThread::msleep(100);

    // Songs render into a cache of the bench's own; the user's settings
    // never decide whether music plays.
    QTemporaryDir emptyHome, bigHome, userHome;
    qputenv("XDG_CACHE_HOME", userHome.filePath("cache").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", userHome.filePath("config").toLocal8Bit());
    QProcess soundServer;
    const bool sink = startSoundServer(soundServer, userHome.filePath("pulse"));
    QDir(emptyHome.path()).mkpath("quillary");
    {
        QDir(bigHome.path()).mkpath("quillary");
        Store store;
        store.open(bigHome.filePath("quillary/work.db"));
        Generate::journal(store, entries);
        Generate::indexJournal(store); // as a store in use has it
        Generate::contacts(store, 1000);
        Generate::photos(store, 1000, bigHome.filePath("pictures"));
    }
    // Backed up once, as a notebook in use is: a start then copies nothing
    // and the figures are of the program at rest. A copy's name tells its
    // second, so the copy comes a second after the last write.
    QThread::sleep(1);
    const QString bigStore = bigHome.filePath("quillary/work.db");
    if (!Snapshots::take(bigStore, Snapshots::folderFor(bigStore)).result)
        std::printf("the generated notebook could not be backed up\n");
    const QString ini = QFileInfo(program).absolutePath() + "/start.ini";
    QFile saved(ini);
    const bool hadIni = saved.open(QIODevice::ReadOnly);
    const QByteArray oldIni = saved.readAll();
    saved.close();

    // The first song played: live, while it renders in the background. The
    // render is left a minute to finish: a program that ends promptly stops
    // it, and the music-on figures below are of a song played from the cache.
    setMusic(ini, "1");
    double renderCpu = 0, renderWakeups = 0;
    const Sample first = h.run(program, bigHome.path(), 60, &renderCpu, &renderWakeups);
    const bool rendered = !QDir(userHome.filePath("cache/quillary/songs"))
                               .entryList({"*.key"}, QDir::Files)
                               .isEmpty();
    setMusic(ini, "0");
    h.run(program, emptyHome.path(), 0); // warm the caches once
    h.run(floor, emptyHome.path(), 0);
    const Sample chinese = h.run(floor, emptyHome.path(), 0, nullptr, nullptr, {"chinese"});
    const Sample program0 = h.run(program, emptyHome.path(), 0);
    QStringList own;
    for (const QString &name : program0.libraries)
        if (!chinese.libraries.contains(name))
            own << name;
    std::vector<double> floorMs, emptyMs, bigMs, musicMs;
    std::vector<double> floorRss, emptyRss, bigRss, musicRss, chineseMs;
    for (int i = 0; i < runs; ++i) {
        Sample f = h.run(floor, emptyHome.path(), 0);
        floorMs.push_back(f.ms);
        chineseMs.push_back(h.run(floor, emptyHome.path(), 0, nullptr, nullptr, {"chinese"}).ms);
        floorRss.push_back(double(f.rssKb));
        Sample e = h.run(program, emptyHome.path(), 0);
        emptyMs.push_back(e.ms);
        emptyRss.push_back(double(e.rssKb));
        Sample b = h.run(program, bigHome.path(), 0);
        bigMs.push_back(b.ms);
        bigRss.push_back(double(b.rssKb));
        setMusic(ini, "1");
        Sample m = h.run(program, bigHome.path(), 0);
        musicMs.push_back(m.ms);
        musicRss.push_back(double(m.rssKb));
        setMusic(ini, "0");
    }
    double cpuOff = 0, wakeOff = 0, cpuOn = 0, wakeOn = 0, cpuLive = 0, wakeLive = 0;
    if (idle > 0) {
        h.run(program, bigHome.path(), idle, &cpuOff, &wakeOff);
        setMusic(ini, "1");
        h.run(program, bigHome.path(), idle, &cpuOn, &wakeOn);
        // A cache folder that cannot be made: the song plays live throughout.
        const QByteArray cache = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", ini.toLocal8Bit());
        h.run(program, bigHome.path(), idle, &cpuLive, &wakeLive);
        qputenv("XDG_CACHE_HOME", cache);
    }
    if (hadIni)
        setMusic(ini, oldIni.constData());
    else
        QFile::remove(ini);
    xvfb.terminate();
    xvfb.waitForFinished(5000);
    soundServer.terminate();
    soundServer.waitForFinished(5000);

    const double fl = median(floorMs);
    std::printf("%-46s %10s %8s\n", "time to window (median of runs)", "ms", "x floor");
    std::printf("%-46s %10.1f %8.2f\n", "floor: empty Qt Widgets window", fl, 1.0);
    std::printf("%-46s %10.1f %8.2f\n", "floor: one line of Chinese text", median(chineseMs),
                median(chineseMs) / fl);
    std::printf("%-46s %10.1f %8.2f   %.2f x the Chinese floor\n", "Quillary, empty store",
                median(emptyMs), median(emptyMs) / fl, median(emptyMs) / median(chineseMs));
    std::printf("%-46s %10.1f %8.2f   %.2f x the empty store\n",
                QStringLiteral("Quillary, %1 entries").arg(entries).toUtf8().constData(),
                median(bigMs), median(bigMs) / fl, median(bigMs) / median(emptyMs));
    std::printf("%-46s %10.1f %8.2f\n", "  the same with music on", median(musicMs),
                median(musicMs) / fl);
    std::printf("%-46s %10.0f %8.2f\n", "resident memory at rest, floor (KiB)", median(floorRss),
                1.0);
    std::printf("%-46s %10.0f %8.2f\n", "resident memory at rest, empty store (KiB)",
                median(emptyRss), median(emptyRss) / median(floorRss));
    std::printf("%-46s %10.0f %8.2f   %.2f x the empty store\n",
                QStringLiteral("resident memory at rest, %1 entries (KiB)")
                    .arg(entries)
                    .toUtf8()
                    .constData(),
                median(bigRss), median(bigRss) / median(floorRss),
                median(bigRss) / median(emptyRss));
    std::printf("%-46s %10.0f %8.2f   %.2f x music off\n", "  the same with music on (KiB)",
                median(musicRss), median(musicRss) / median(floorRss),
                median(musicRss) / median(bigRss));
    std::printf("%-46s %10ld %8.2f   %.2f x music off\n",
                "  peak while the first song renders (KiB)", first.peakKb,
                double(first.peakKb) / median(floorRss), double(first.peakKb) / median(bigRss));
    std::printf("libraries mapped at the first frame beyond the Chinese floor's (%lld): %s\n",
                qint64(own.size()), qPrintable(own.join(QLatin1Char(' '))));
    std::printf("music: %s; the first song %s\n",
                sink ? "played into a PulseAudio null sink" : "no PulseAudio, so nothing played",
                rendered ? "was rendered into the cache" : "was not rendered");
    if (idle > 0) {
        std::printf("idle %.0f s, music off: %.3f %% of one core, %.1f wake-ups/s\n", idle, cpuOff,
                    wakeOff);
        std::printf("idle %.0f s, music on:  %.3f %% of one core, %.1f wake-ups/s\n", idle, cpuOn,
                    wakeOn);
        std::printf(
            "idle %.0f s, music on, live (no cache): %.3f %% of one core, %.1f wake-ups/s\n", idle,
            cpuLive, wakeLive);
    }
    return 0;
}
