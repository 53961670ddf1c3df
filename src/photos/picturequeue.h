// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <memory>

// Decodes picture files on a worker thread, one at a time, so a large photo
// never stalls the window. A file is decoded once, at a size that serves
// both the preview and the fitted large view; a request the caller no longer
// wants is dropped before it starts.
class PictureQueue : public QObject {
    Q_OBJECT
public:
    // previewSize, boxSize: the two views, in device pixels.
    PictureQueue(QSize previewSize, QSize boxSize, QObject *parent = nullptr);
    ~PictureQueue() override;

    // Asks for these files; any other queued file is dropped. A file already
    // queued or being decoded is not asked for twice.
    void want(const QSet<QString> &paths);

    // The size a file of this natural size is decoded at.
    static QSize decodeSize(QSize natural, QSize previewSize, QSize boxSize);

    // How many decodes have started, for checks that a file is read once.
    int decodesStarted() const;

Q_SIGNALS:
    // A null image for a file that is no readable picture.
    void decoded(const QString &path, const QImage &image);

private:
    struct Shared {
        QMutex mutex;
        QSet<QString> wanted;
        int started = 0;
    };
    QSize m_previewSize;
    QSize m_boxSize;
    std::shared_ptr<Shared> m_shared;
    QSet<QString> m_wanted;
    QSet<QString> m_queued; // asked for and not yet answered
    QThreadPool m_pool;
};
