// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The background music device: a MIDI sequencer driven by four commands.
// Position and length are in one unit; a song that has played to its end
// reports them equal, and nothing else does.
class MusicPlayer {
public:
    virtual ~MusicPlayer() = default;

    virtual void setFileName(const QString &path) { m_fileName = path; }
    QString fileName() const { return m_fileName; }

    virtual void close() = 0;
    virtual void open() = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual qint64 position() const = 0;
    virtual qint64 length() const = 0;

private:
    QString m_fileName;
};
