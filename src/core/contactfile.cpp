// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/contactfile.h"

#include "core/apppaths.h"
#include "core/statement.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QSaveFile>

namespace ContactFile {
namespace {

constexpr int Faces = 85;
// No address book comes near this; a bigger file is not read into memory.
constexpr qint64 MostBytes = 512LL * 1024 * 1024;

QMutex facesLock;

QImage faceImage(const QString &faceName) {
    const QString path = AppPaths::faceFile(faceName);
    return path.isEmpty() ? QImage() : QImage(path).convertToFormat(QImage::Format_ARGB32);
}

} // namespace

QByteArray facePicture(const QString &faceName) {
    static QHash<QString, QByteArray> made;
    const QMutexLocker lock(&facesLock);
    if (const auto found = made.constFind(faceName); found != made.cend())
        return *found;
    QByteArray png;
    if (const QImage image = faceImage(faceName); !image.isNull()) {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    made.insert(faceName, png);
    return png;
}

QString faceOf(const QByteArray &picture) {
    static std::vector<QImage> faces;
    // A file of our own cards holds the same few pictures again and again.
    static QHash<QByteArray, QString> known;
    {
        const QMutexLocker lock(&facesLock);
        if (const auto found = known.constFind(picture); found != known.cend())
            return *found;
    }
    QImage image = QImage::fromData(picture);
    if (image.isNull())
        return {};
    image = image.convertToFormat(QImage::Format_ARGB32);
    const QMutexLocker lock(&facesLock);
    if (faces.empty())
        for (int n = 1; n <= Faces; ++n)
            faces.push_back(faceImage(QStringLiteral("%1.bmp").arg(n)));
    QString name;
    for (int n = 1; n <= Faces && name.isEmpty(); ++n)
        if (!faces[size_t(n - 1)].isNull() && faces[size_t(n - 1)] == image)
            name = QStringLiteral("%1.bmp").arg(n);
    if (known.size() < 4 * Faces)
        known.insert(picture, name);
    return name;
}

std::optional<std::vector<Contact>> readContacts(sqlite3 *db) {
    QStringList columns;
    for (const QString &f : Contact::fields())
        columns << QStringLiteral("\"%1\"").arg(f);
    Statement q(db, QStringLiteral("SELECT %1 FROM address ORDER BY rowid")
                        .arg(columns.join(QLatin1Char(',')))
                        .toUtf8());
    if (!q.isValid())
        return std::nullopt;
    std::vector<Contact> contacts;
    while (q.step()) {
        QHash<QString, QVariant> row;
        for (int i = 0; i < Contact::fields().size(); ++i)
            row.insert(Contact::fields()[i], q.isNull(i) ? QString() : q.text(i));
        contacts.push_back(Contact::fromRow(row));
    }
    if (!q.done())
        return std::nullopt;
    return contacts;
}

Result exportTo(sqlite3 *db, const QString &path, VCard::Version version, qsizetype *count) {
    const std::optional<std::vector<Contact>> contacts = readContacts(db);
    if (!contacts)
        return Result::failure(Result::Code::Unavailable, QStringLiteral("地址簿无法读取"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Result::failure(Result::Code::Failed,
                               QStringLiteral("不能写入 %1：%2").arg(path, file.errorString()));
    QByteArray cards;
    for (const Contact &contact : *contacts) {
        cards += VCard::write(contact, version, facePicture);
        if (cards.size() > (1 << 20) && file.write(cards) >= 0)
            cards.clear();
    }
    file.write(cards);
    if (!file.commit())
        return Result::failure(Result::Code::Failed,
                               QStringLiteral("不能写入 %1：%2").arg(path, file.errorString()));
    if (count)
        *count = qsizetype(contacts->size());
    return {};
}

Reading read(const QString &path) {
    Reading reading;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reading.refusal = QStringLiteral("不能读取 %1：%2").arg(path, file.errorString());
        return reading;
    }
    if (file.size() > MostBytes) {
        reading.refusal = QStringLiteral("%1 太大了").arg(path);
        return reading;
    }
    VCard::Reading cards = VCard::read(file.readAll(), faceOf);
    if (!cards.isVCard)
        reading.refusal = QStringLiteral("%1 不是 vCard 文件").arg(path);
    else if (cards.contacts.empty())
        reading.refusal = QStringLiteral("%1 里没有可以读取的名片").arg(path);
    reading.contacts = std::move(cards.contacts);
    reading.badCards = cards.badCards;
    return reading;
}

} // namespace ContactFile
