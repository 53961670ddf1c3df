// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Songs rendered once into the user's cache folder, so that playing them
// later streams audio instead of running the synthesizer. Each song file
// has one entry, named after it: <name>.flac and <name>.key, which records
// what the audio was made from (the song's bytes, the SoundFont) and the
// audio's checksum. An entry that is stale or damaged is never played.
class SongCache {
public:
    // An empty folder means no cache at all.
    explicit SongCache(QString folder = {}) : m_folder(std::move(folder)) {}
    // The songs folder in the user's cache location; empty where there is none.
    static QString defaultFolder();

    bool enabled() const { return !m_folder.isEmpty(); }

    // The audio of this song as rendered with this SoundFont, if a sound
    // entry holds it; empty otherwise. Reads the whole audio file.
    QString find(const QString &songPath, const QByteArray &song, const QString &soundFont) const;
    // Where a new rendering of the song is written first; empty when the
    // folder cannot be made.
    QString partFile(const QString &songPath) const;
    // Takes a finished rendering in as the song's entry; its audio file, or
    // empty when it could not be stored.
    QString store(const QString &songPath, const QByteArray &song, const QString &soundFont,
                  const QString &partFile) const;

private:
    QString entry(const QString &songPath, const char *suffix) const;

    QString m_folder;
};
