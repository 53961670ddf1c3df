// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as the picture a user chose, read as the photo page reads
// it: the natural size from the header, then one decode at the size that
// serves both the preview and the fitted large view, within the pixel limit.
// The first byte picks a name the open dialog lets through.
#include "photos/picturefile.h"
#include "photos/picturequeue.h"

#include <QFile>
#include <QGuiApplication>
#include <QHashFunctions>
#include <QImageReader>
#include <QTemporaryDir>
#include <bit>
#include <cstdlib>

namespace {
QTemporaryDir *folder = nullptr;

// The photo page's preview and display box, at scale 1.
const QSize PreviewSize(200, 150);
const QSize BoxSize(480, 360);

// Qt's decoders are not instrumented: what they made of the bytes is fed
// back as coverage instead, so inputs that reach a new outcome are kept.
__attribute__((used, section("__libfuzzer_extra_counters"))) uint8_t outcomes[8192];

template <typename... Parts> void reached(const Parts &...parts) {
    ++outcomes[qHashMulti(0, parts...) % sizeof outcomes];
}

int magnitude(int n) {
    return n > 0 ? std::bit_width(unsigned(n)) : n;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv); // the decoders are plugins
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    static const char *const names[] = {"photo.jpg", "photo.jpeg", "photo.bmp", "PHOTO.JPG"};
    const QString path = folder->filePath(QString::fromLatin1(names[data[0] % 4]));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data + 1), qint64(size - 1));
    file.close();

    const QSize natural = PictureFile::naturalSize(path);
    QImageReader header(path);
    const QByteArray format = header.format();
    const int stored = int(header.imageFormat());
    reached(format, magnitude(natural.width()), magnitude(natural.height()));
    reached(format, stored, int(header.transformation()), natural.isValid());
    if (natural.isValid()) {
        const QSize target = PictureQueue::decodeSize(natural, PreviewSize, BoxSize);
        const QImage image = PictureFile::load(path, target);
        reached(format, stored, int(image.format()), magnitude(target.width()));
        // Whatever the file claims, the picture kept is the size asked for.
        if (!image.isNull() && image.size() != target)
            std::abort();
    }
    QFile::remove(path);
    return 0;
}
