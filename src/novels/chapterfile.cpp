#include "novels/chapterfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace ChapterFile {

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
    {
        QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = strict.decode(bytes);
        if (!strict.hasError())
            return text;
    }
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
