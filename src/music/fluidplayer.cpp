#include "music/fluidplayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

namespace {
constexpr qint64 MaxSongBytes = 4 * 1024 * 1024;

// The engine module beside the program; loaded once, never unloaded.
std::unique_ptr<MidiEngine> loadEngine() {
    static const MidiEngineFactory factory = [] {
        QLibrary module(QDir(QCoreApplication::applicationDirPath())
                            .filePath(QStringLiteral("quillary-fluid.so")));
        return reinterpret_cast<MidiEngineFactory>(module.resolve(QUILLARY_MIDI_ENGINE_ENTRY));
    }();
    return std::unique_ptr<MidiEngine>(factory ? factory() : nullptr);
}

// A song worth handing to the sequencer: a readable Standard MIDI File.
QByteArray readSong(const QString &path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || info.size() > MaxSongBytes)
        return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    return bytes.startsWith("MThd") ? bytes : QByteArray();
}
} // namespace

FluidPlayer::FluidPlayer(Output output) : m_output(output) {}

FluidPlayer::~FluidPlayer() {
    shutdown();
}

QString FluidPlayer::systemSoundFont() {
    for (const char *candidate :
         {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
          "/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf3/default-GM.sf3"})
        if (QFileInfo(QString::fromLatin1(candidate)).isReadable())
            return QString::fromLatin1(candidate);
    return {};
}

void FluidPlayer::startEngine() {
    if (m_engine != Engine::Off)
        return;
    m_engine = Engine::Loading;
    const QByteArray soundFont = systemSoundFont().toLocal8Bit();
    m_loader = std::thread([this, soundFont] {
        bool ok = false;
        if (!soundFont.isEmpty()) {
            m_midi = loadEngine();
            ok = m_midi && m_midi->start(soundFont.constData(), m_output);
        }
        QMetaObject::invokeMethod(
            this, [this, ok] { engineReady(ok); }, Qt::QueuedConnection);
    });
}

void FluidPlayer::engineReady(bool ok) {
    if (m_loader.joinable())
        m_loader.join();
    m_engine = ok ? Engine::Ready : Engine::Failed;
    if (!ok)
        return;
    if (m_wantOpen)
        openNow();
    if (m_wantPlay)
        m_midi->play();
}

void FluidPlayer::close() {
    m_wantOpen = false;
    m_wantPlay = false;
    m_song.clear();
    if (m_engine == Engine::Ready)
        m_midi->unload();
}

void FluidPlayer::open() {
    close();
    m_song = readSong(fileName());
    if (m_song.isEmpty())
        return; // nothing to open: the device stays without a song
    m_wantOpen = true;
    if (m_engine == Engine::Ready)
        openNow();
    else
        startEngine();
}

void FluidPlayer::openNow() {
    m_midi->load(m_song);
}

void FluidPlayer::play() {
    m_wantPlay = m_wantOpen;
    if (m_engine == Engine::Ready)
        m_midi->play();
}

void FluidPlayer::stop() {
    m_wantPlay = false;
    if (m_engine == Engine::Ready)
        m_midi->stop();
}

// Equal to length exactly when the song has played to its end. Without an
// open song, or before the song is parsed, the two never agree, so the
// music loop waits instead of reopening nothing over and over.
qint64 FluidPlayer::position() const {
    if (m_engine != Engine::Ready || !m_midi->hasSong())
        return 0;
    const int total = m_midi->totalTicks();
    if (total <= 0)
        return 0;
    return std::min(m_midi->currentTick(), total);
}

qint64 FluidPlayer::length() const {
    if (m_engine != Engine::Ready || !m_midi->hasSong())
        return -1;
    const int total = m_midi->totalTicks();
    return total > 0 ? total : -1;
}

void FluidPlayer::pull(int frames) {
    if (m_engine == Engine::Ready)
        m_midi->pull(frames);
}

void FluidPlayer::shutdown() {
    if (m_loader.joinable())
        m_loader.join();
    m_midi.reset();
}

FluidPlayer::Render FluidPlayer::renderToFile(const QString &midiPath, const QString &wavPath,
                                              const QString &soundFont) {
    const QByteArray song = readSong(midiPath);
    std::unique_ptr<MidiEngine> engine =
        song.isEmpty() || soundFont.isEmpty() ? nullptr : loadEngine();
    if (!engine)
        return {};
    return engine->render(song, wavPath.toLocal8Bit().constData(),
                          soundFont.toLocal8Bit().constData());
}
