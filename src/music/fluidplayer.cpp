// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/fluidplayer.h"

#include "music/musiclog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QTemporaryFile>
#include <pthread.h>
#include <sched.h>

Q_LOGGING_CATEGORY(lcMusic, "quillary.music", QtWarningMsg)

namespace {
constexpr qint64 MaxSongBytes = 4 * 1024 * 1024;

// The module's entry point; null, once it has said why, when there is none.
MidiEngineFactory engineFactory() {
    const QString path =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("quillary-fluid.so"));
    // Without the file, QLibrary's message would name another it tried.
    if (!QFileInfo::exists(path)) {
        qCInfo(lcMusic).noquote() << "synthesizer module missing:" << path;
        return nullptr;
    }
    QLibrary module(path);
    if (!module.load()) {
        qCInfo(lcMusic).noquote() << "synthesizer module could not be loaded:"
                                  << module.errorString();
        return nullptr;
    }
    const auto factory =
        reinterpret_cast<MidiEngineFactory>(module.resolve(QUILLARY_MIDI_ENGINE_ENTRY));
    if (!factory)
        qCInfo(lcMusic).noquote() << "synthesizer module lacks its entry point"
                                  << QUILLARY_MIDI_ENGINE_ENTRY ":" << module.fileName();
    return factory;
}

void engineSaid(const char *line) {
    qCInfo(lcMusic).noquote() << QString::fromLocal8Bit(line);
}

// The engine module beside the program; loaded once, never unloaded.
std::unique_ptr<MidiEngine> loadEngine() {
    static const MidiEngineFactory factory = engineFactory();
    return std::unique_ptr<MidiEngine>(factory ? factory(engineSaid) : nullptr);
}

QByteArray noSong(const char *why, const QString &path) {
    qCInfo(lcMusic).noquote() << why << path;
    return {};
}

// A song worth handing to the sequencer: a readable Standard MIDI File.
QByteArray readSong(const QString &path) {
    if (path.isEmpty())
        return {}; // no song chosen
    const QFileInfo info(path);
    if (!info.isFile())
        return noSong("song file missing:", path);
    if (info.size() > MaxSongBytes)
        return noSong("song file too large to be MIDI:", path);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return noSong("song file could not be read:", path + " (" + f.errorString() + ')');
    const QByteArray bytes = f.readAll();
    return bytes.startsWith("MThd") ? bytes : noSong("song file is not MIDI:", path);
}

// Rendering is work nobody waits for: it gets only time no one else wants,
// so the window and the live song never wait for it.
void lowestPriority() {
    sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
}
} // namespace

FluidPlayer::FluidPlayer(Output output, const QString &cacheFolder, const QString &soundFont)
    : m_output(output), m_cache(cacheFolder), m_chosenSoundFont(soundFont), m_done(0) {}

FluidPlayer::~FluidPlayer() {
    m_cancel = true;
    {
        std::lock_guard lock(m_jobsLock);
        m_quit = true;
    }
    m_jobsChanged.notify_all();
    if (m_worker.joinable())
        m_worker.join();
    if (m_renderer.joinable())
        m_renderer.join();
    m_midi.reset();
}

QString FluidPlayer::systemSoundFont() {
    for (const char *candidate :
         {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
          "/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf3/default-GM.sf3"})
        if (QFileInfo(QString::fromLatin1(candidate)).isReadable())
            return QString::fromLatin1(candidate);
    return {};
}

void FluidPlayer::post(std::function<void()> job, bool command) {
    {
        std::lock_guard lock(m_jobsLock);
        if (m_quit)
            return;
        if (command) {
            ++m_given;
            m_jobs.push_back([this, job = std::move(job)] {
                job();
                ++m_done;
            });
        } else {
            m_jobs.push_back(std::move(job));
        }
        if (!m_worker.joinable())
            m_worker = std::thread([this] { work(); });
    }
    m_jobsChanged.notify_all();
}

void FluidPlayer::work() {
    std::unique_lock lock(m_jobsLock);
    for (;;) {
        m_jobsChanged.wait(lock, [this] { return m_quit || !m_jobs.empty(); });
        if (m_quit)
            return;
        const std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        job();
        lock.lock();
        m_jobsChanged.notify_all(); // pull() waits for the commands to be done
    }
}

bool FluidPlayer::engineReady() {
    if (m_engine == Engine::Off) {
        m_soundFont = m_chosenSoundFont.isEmpty() ? systemSoundFont() : m_chosenSoundFont;
        if (m_soundFont.isEmpty())
            qCInfo(lcMusic) << "no General MIDI SoundFont found in /usr/share/sounds";
        std::unique_ptr<MidiEngine> midi = m_soundFont.isEmpty() ? nullptr : loadEngine();
        if (midi && midi->start(m_output))
            m_midi = std::move(midi);
        m_engine = m_midi ? Engine::Ready : Engine::Failed;
    }
    return m_engine == Engine::Ready;
}

void FluidPlayer::load(const QString &path, const QByteArray &song) {
    m_livePath.clear();
    m_liveSong.clear();
    if (!engineReady())
        return;
    const SongCache::Audio rendered = m_cache.find(path, song, m_soundFont);
    if (rendered.isOpen() && m_midi->loadRendered(QFile::encodeName(rendered.path()).constData()))
        return;
    if (!m_midi->loadLive(song, QFile::encodeName(m_soundFont).constData())) {
        qCInfo(lcMusic).noquote() << "song could not be played live:" << path;
        return;
    }
    if (!m_cache.enabled() || m_noRender.contains(path))
        return;
    m_livePath = path;
    m_liveSong = song;
    render(path, song);
}

void FluidPlayer::render(const QString &path, const QByteArray &song) {
    if (m_rendering)
        return; // one at a time: another song renders the next time it plays
    if (m_renderer.joinable())
        m_renderer.join();
    m_rendering = true;
    m_renderer = std::thread([this, path, song, soundFont = m_soundFont] {
        lowestPriority();
        std::unique_ptr<QTemporaryFile> part = m_cache.newPart(path);
        // Written through the file made for it, whatever its name leads to.
        const QByteArray partName =
            part ? QFile::encodeName(SongCache::pathOf(part->handle())) : QByteArray();
        const QByteArray fontName = QFile::encodeName(soundFont);
        std::unique_ptr<MidiEngine> engine = part ? loadEngine() : nullptr;
        auto audio = std::make_shared<SongCache::Audio>();
        if (engine &&
            engine->render(song, partName.constData(), fontName.constData(), false, &m_cancel).ok)
            *audio = m_cache.store(path, song, soundFont, *part);
        part.reset(); // gone unless stored
        const bool cancelled = m_cancel;
        if (!audio->isOpen() && !cancelled)
            qCInfo(lcMusic).noquote() << "song could not be rendered, plays live:" << path;
        m_rendering = false;
        post(
            [this, path, song, audio, cancelled] {
                if (!audio->isOpen() && !cancelled)
                    m_noRender.insert(path); // live for the rest of the session
                else if (audio->isOpen() && path == m_livePath && song == m_liveSong)
                    m_midi->continueRendered(QFile::encodeName(audio->path()).constData());
            },
            false);
    });
}

void FluidPlayer::close() {
    if (m_opened)
        post([this] {
            m_livePath.clear();
            m_liveSong.clear();
            if (m_midi)
                m_midi->unload();
        });
}

void FluidPlayer::open() {
    close();
    const QByteArray song = readSong(fileName());
    if (song.isEmpty())
        return; // nothing to open: the device stays without a song
    m_opened = true;
    post([this, path = fileName(), song] { load(path, song); });
}

void FluidPlayer::play() {
    if (m_opened)
        post([this] {
            if (m_midi)
                m_midi->play();
        });
}

void FluidPlayer::stop() {
    if (m_opened)
        post([this] {
            if (m_midi)
                m_midi->stop();
        });
}

// Equal to length exactly when the song has been heard to its end. Without
// an open song, before a live song's end is known, and while commands are
// still being carried out, the two never agree, so the music loop waits
// instead of reopening nothing over and over.
qint64 FluidPlayer::position() const {
    return m_done == m_given && m_midi ? m_midi->position() : 0;
}

qint64 FluidPlayer::length() const {
    return m_done == m_given && m_midi ? m_midi->length() : -1;
}

void FluidPlayer::pull(int frames) {
    {
        std::unique_lock lock(m_jobsLock);
        m_jobsChanged.wait(lock, [this] { return m_quit || m_done == m_given; });
    }
    if (m_midi)
        m_midi->pull(frames);
}

FluidPlayer::Render FluidPlayer::renderToFile(const QString &midiPath, const QString &audioPath,
                                              const QString &soundFont, bool wholeSoundFont) {
    const QByteArray song = readSong(midiPath);
    std::unique_ptr<MidiEngine> engine =
        song.isEmpty() || soundFont.isEmpty() ? nullptr : loadEngine();
    if (!engine)
        return {};
    return engine->render(song, QFile::encodeName(audioPath).constData(),
                          QFile::encodeName(soundFont).constData(), wholeSoundFont, nullptr);
}
