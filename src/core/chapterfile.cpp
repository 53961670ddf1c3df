// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/chapterfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>

namespace ChapterFile {

namespace {
// Stops at the first byte that cannot be UTF-8, which for GBK text comes
// within the first few characters. A file cut short inside its last
// character is still UTF-8.
bool isUtf8(const QByteArray &bytes) {
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const auto *end = p + bytes.size();
    while (p < end) {
        const uchar c = *p;
        int more;
        char32_t cp;
        if (c < 0x80) {
            ++p;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= more) // cut inside the last character: the rest decides
            return c >= 0xC2 && c <= 0xF4 &&
                   std::all_of(p + 1, end, [](uchar b) { return (b & 0xC0) == 0x80; });
        for (int i = 1; i <= more; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and values past Unicode are not UTF-8.
        static const char32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += more + 1;
    }
    return true;
}
// The decoder for these bytes, chosen from all of them, and how many leading
// bytes it skips.
QStringDecoder decoderFor(const QByteArray &bytes, qsizetype &skip) {
    skip = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        skip = 3;
        return QStringDecoder(QStringDecoder::Utf8);
    }
    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
    if (ascii)
        return QStringDecoder(QStringDecoder::Latin1); // plain ASCII reads the same either way
    if (isUtf8(bytes))
        return QStringDecoder(QStringDecoder::Utf8);
    QStringDecoder gb("GB18030");
    return gb.isValid() ? std::move(gb) : QStringDecoder(QStringDecoder::Utf8);
}

std::optional<QByteArray> readBytes(const QString &path) {
    if (path.isEmpty())
        return std::nullopt;
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(MaxBytes + 1);
    if (bytes.size() > MaxBytes || file.error() != QFileDevice::NoError)
        return std::nullopt;
    if (bytes.contains('\0'))
        return std::nullopt; // not text
    return bytes;
}

} // namespace

QString decode(const QByteArray &bytes) {
    qsizetype skip;
    QStringDecoder decoder = decoderFor(bytes, skip);
    return decoder.decode(QByteArrayView(bytes).sliced(skip));
}

std::optional<QString> read(const QString &path) {
    const std::optional<QByteArray> bytes = readBytes(path);
    if (!bytes)
        return std::nullopt;
    return decode(*bytes);
}

bool readInParts(const QString &path, qsizetype headBytes,
                 const std::function<void(QString)> &deliver) {
    const std::optional<QByteArray> bytes = readBytes(path);
    if (!bytes)
        return false;
    // A line feed byte is never part of a GBK or UTF-8 character, and cutting
    // after one keeps a CR LF pair together.
    const qsizetype cut = bytes->indexOf('\n', headBytes);
    if (cut < 0 || cut + 1 == bytes->size()) {
        deliver(decode(*bytes));
        return true;
    }
    qsizetype skip;
    QStringDecoder decoder = decoderFor(*bytes, skip);
    const QByteArrayView all(*bytes);
    deliver(decoder.decode(all.sliced(skip, cut + 1 - skip)));
    deliver(decoder.decode(all.sliced(cut + 1)));
    return true;
}

} // namespace ChapterFile
