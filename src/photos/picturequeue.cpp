// SPDX-License-Identifier: GPL-3.0-or-later
#include "photos/picturequeue.h"

#include "core/picturefit.h"
#include "photos/picturefile.h"

PictureQueue::PictureQueue(QSize previewSize, QSize boxSize, QObject *parent)
    : QObject(parent), m_previewSize(previewSize), m_boxSize(boxSize),
      m_shared(std::make_shared<Shared>()) {
    m_pool.setMaxThreadCount(1);
}

PictureQueue::~PictureQueue() {
    {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->wanted.clear();
    }
    m_pool.waitForDone(); // its answers are queued to this object, dropped with it
}

QSize PictureQueue::decodeSize(QSize natural, QSize previewSize, QSize boxSize) {
    const std::optional<QRectF> fit = fitPicture(float(boxSize.width()), float(boxSize.height()),
                                                 float(natural.width()), float(natural.height()));
    if (!fit)
        return previewSize;
    const QSize fitted = fit->size().toSize();
    return previewSize.expandedTo(fitted);
}

int PictureQueue::decodesStarted() const {
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->started;
}

void PictureQueue::want(const QSet<QString> &paths) {
    m_wanted = paths;
    {
        QMutexLocker lock(&m_shared->mutex);
        m_shared->wanted = paths;
    }
    for (const QString &path : paths) {
        if (m_queued.contains(path))
            continue;
        m_queued.insert(path);
        m_pool.start(
            [this, shared = m_shared, path, previewSize = m_previewSize, boxSize = m_boxSize] {
                QImage image;
                bool skipped = false;
                {
                    QMutexLocker lock(&shared->mutex);
                    skipped = !shared->wanted.contains(path);
                    if (!skipped)
                        ++shared->started;
                }
                if (!skipped) {
                    const QSize natural = PictureFile::naturalSize(path);
                    if (natural.isValid())
                        image = PictureFile::load(path, decodeSize(natural, previewSize, boxSize));
                }
                QMetaObject::invokeMethod(
                    this,
                    [this, path, image, skipped] {
                        m_queued.remove(path);
                        if (!skipped)
                            Q_EMIT decoded(path, image);
                        else if (m_wanted.contains(path))
                            want(m_wanted); // wanted again after it was dropped
                    },
                    Qt::QueuedConnection);
            });
    }
}
