// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <utility>

class QTemporaryFile;

// Songs rendered once into the user's cache folder, so that playing them
// later streams audio instead of running the synthesizer. Each song file
// has one entry, named after it: <name>.flac and <name>.key, which records
// what the audio was made from (the song's bytes, the SoundFont) and the
// audio's checksum. An entry that is stale or damaged is never played.
//
// Whatever else stands at those names (a link, a FIFO, a file of another
// copy of the program) is never followed, waited on or deleted: entries are
// opened only as regular files, renderings go into files of their own and
// take an entry's place by renaming.
class SongCache {
public:
    // An empty folder means no cache at all.
    explicit SongCache(QString folder = {}) : m_folder(std::move(folder)) {}
    // The songs folder in the user's cache location; empty where there is none.
    static QString defaultFolder();

    bool enabled() const { return !m_folder.isEmpty(); }

    // A name for an open file that any open() reaches, whatever has been
    // renamed into its place, links or not.
    static QString pathOf(int fd);

    // A cache file held open: what is read through path() is the file that
    // was checked, whatever is renamed into its place since.
    class Audio {
    public:
        Audio() = default;
        explicit Audio(int fd) : m_fd(fd) {}
        Audio(Audio &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
        Audio &operator=(Audio &&other) noexcept;
        ~Audio();
        bool isOpen() const { return m_fd >= 0; }
        int fd() const { return m_fd; }
        QString path() const { return isOpen() ? pathOf(m_fd) : QString(); }

    private:
        int m_fd = -1;
    };

    // The audio of this song as rendered with this SoundFont, if its entry
    // holds it; closed otherwise. Reads the whole audio file.
    Audio find(const QString &songPath, const QByteArray &song, const QString &soundFont) const;
    // A new file of this rendering's own to write the song into, made
    // beside the entries; null when the folder cannot be made or written.
    std::unique_ptr<QTemporaryFile> newPart(const QString &songPath) const;
    // Takes a finished rendering in as the song's entry; its audio, open,
    // or closed when it could not be stored.
    Audio store(const QString &songPath, const QByteArray &song, const QString &soundFont,
                QTemporaryFile &part) const;

private:
    QString entry(const QString &songPath, const char *suffix) const;
    // Renderings that died (killed, or the power gone) leave their files;
    // one still being written holds a lock on its own.
    void removeDeadParts() const;

    QString m_folder;
};
