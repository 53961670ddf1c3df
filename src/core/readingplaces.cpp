// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/readingplaces.h"

#include "core/apppaths.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {
// A place file is a few lines; anything much bigger is not one of ours.
constexpr qint64 MostBytes = 1024 * 1024;
} // namespace

ReadingPlaces::ReadingPlaces(QString path) : m_path(std::move(path)) {
    QFile file(m_path);
    if (m_path.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > MostBytes)
        return;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    const QJsonObject novels = doc.object().value(QStringLiteral("novels")).toObject();
    for (auto it = novels.begin(); it != novels.end(); ++it) {
        const QJsonObject entry = it.value().toObject();
        const int chapter = entry.value(QStringLiteral("chapter")).toInt();
        const double offset = entry.value(QStringLiteral("offset")).toDouble(-1);
        // A value that cannot be a place is dropped, not guessed at.
        if (chapter < 1 || offset < 0 || offset > 1e15)
            continue;
        m_places.insert(it.key(),
                        {chapter, qsizetype(offset), entry.value(QStringLiteral("own")).toBool()});
    }
}

QString ReadingPlaces::defaultPath() {
    const QString dir = AppPaths::dataDir();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/places.json");
}

std::optional<ReadingPlaces::Place> ReadingPlaces::place(const QString &folder) const {
    const auto it = m_places.constFind(folder);
    if (it == m_places.constEnd())
        return std::nullopt;
    return *it;
}

void ReadingPlaces::keep(const QString &folder, const Place &place) {
    auto it = m_places.find(folder);
    if (it != m_places.end() && *it == place)
        return;
    m_places.insert(folder, place);
    m_unsaved = true;
}

Result ReadingPlaces::save() {
    // A file removed meanwhile is written again: it alone keeps the places.
    if (!m_unsaved && QFileInfo::exists(m_path))
        return {};
    if (m_path.isEmpty())
        return Result::failure(Result::Code::Unavailable, QStringLiteral("没有用户数据文件夹"));
    QJsonObject novels;
    for (auto it = m_places.cbegin(); it != m_places.cend(); ++it)
        novels.insert(it.key(), QJsonObject{{QStringLiteral("chapter"), it->chapter},
                                            {QStringLiteral("offset"), double(it->offset)},
                                            {QStringLiteral("own"), it->own}});
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return Result::failure(Result::Code::Failed, file.errorString());
    file.write(QJsonDocument(QJsonObject{{QStringLiteral("novels"), novels}}).toJson());
    if (!file.commit())
        return Result::failure(Result::Code::Failed, file.errorString());
    m_unsaved = false;
    return {};
}
