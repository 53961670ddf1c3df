#include "core/chapterfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace ChapterFile {

namespace {
// Stops at the first byte that cannot be UTF-8, which for GBK text comes
// within the first few characters.
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
        if (end - p <= more)
            return false;
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
} // namespace

QString decode(const QByteArray &bytes) {
    static const QByteArray bom("\xEF\xBB\xBF");
    if (bytes.startsWith(bom)) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        return utf8.decode(QByteArrayView(bytes).sliced(3));
    }
    bool multiByte = false;
    for (char c : bytes)
        if (uchar(c) >= 0x80) {
            multiByte = true;
            break;
        }
    if (!multiByte)
        return QString::fromLatin1(bytes); // plain ASCII reads the same either way
    if (isUtf8(bytes))
        return QString::fromUtf8(bytes);
    QStringDecoder gb("GB18030");
    if (gb.isValid())
        return gb.decode(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8);
    return utf8.decode(bytes);
}

std::optional<QString> read(const QString &path) {
    if (path.isEmpty())
        return std::nullopt;
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(MaxBytes + 1);
    if (bytes.size() > MaxBytes || file.error() != QFileDevice::NoError)
        return std::nullopt;
    if (bytes.contains('\0'))
        return std::nullopt; // not text

    return decode(bytes);
}

} // namespace ChapterFile
