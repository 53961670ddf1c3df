// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/journalimport.h"

#include "core/chapterfile.h"

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringDecoder>
#include <algorithm>

namespace JournalImport {
namespace {

// An exported journal of this size is far beyond any kept by hand.
constexpr qint64 MostBytes = 1024LL * 1024 * 1024;
// Where the digits of a marker's day "2024-01-26" are.
constexpr qsizetype DigitsAt[] = {0, 1, 2, 3, 5, 6, 8, 9};
// Bytes read and decoded at a time while a file is taken for UTF-8.
constexpr qsizetype DecodedPiece = 1024 * 1024;

// The day key a marker written by the export stands for.
std::optional<QString> keyOf(QStringView marker) {
    if (marker.startsWith(QLatin1String("key=")))
        return QString::fromUtf8(QByteArray::fromPercentEncoding(marker.mid(4).toLatin1()));
    // As the export writes it, a day is read without parsing by format.
    const auto digit = [&](qsizetype i) { return marker[i] >= u'0' && marker[i] <= u'9'; };
    if (marker.size() == 10 && marker[4] == u'-' && marker[7] == u'-' &&
        std::all_of(DigitsAt, DigitsAt + 8, digit)) {
        const QString key = marker.first(4) + marker.sliced(5, 2) + marker.sliced(8, 2);
        if (!QDate::isValid(key.first(4).toInt(), key.sliced(4, 2).toInt(), key.sliced(6).toInt()))
            return std::nullopt;
        return key;
    }
    const QDate day = QDate::fromString(marker.toString(), Qt::ISODate);
    if (marker.size() != 10 || !day.isValid())
        return std::nullopt;
    return day.toString(QStringLiteral("yyyyMMdd"));
}

// A document whose line ends an editor turned into CR LF reads as written:
// the CR is dropped where the line that opened the entry had one too.
QStringView line(const QList<QStringView> &lines, qsizetype i, bool crlf) {
    QStringView l = lines[i];
    if (crlf && l.endsWith(QLatin1Char('\r')))
        l.chop(1);
    return l;
}

QString joined(const QList<QStringView> &parts) {
    qsizetype size = parts.size();
    for (QStringView p : parts)
        size += p.size();
    QString text;
    text.reserve(size);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i)
            text += QLatin1Char('\n');
        text += parts[i];
    }
    return text;
}

bool opened(QFile &file, QString &refusal) {
    if (!file.open(QIODevice::ReadOnly)) {
        refusal = QStringLiteral("不能读取 %1：%2").arg(file.fileName(), file.errorString());
        return false;
    }
    if (file.size() > MostBytes) {
        refusal = QStringLiteral("%1 太大了").arg(file.fileName());
        return false;
    }
    return true;
}

std::optional<QByteArray> readBytes(const QString &path, QString &refusal) {
    QFile file(path);
    if (!opened(file, refusal))
        return std::nullopt;
    return file.readAll();
}

// An export is UTF-8: read and decoded a piece at a time, its bytes never
// all held, until a piece says otherwise; the file is then read whole and
// decided as any text file is.
std::optional<QString> readText(const QString &path, QString &refusal) {
    QFile file(path);
    if (!opened(file, refusal))
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text;
    // UTF-8 spends a byte at least on each unit of UTF-16: the text is never
    // moved as it grows, and what it leaves unused is never touched.
    text.reserve(file.size());
    QByteArray piece(DecodedPiece, Qt::Uninitialized);
    qint64 got = 0;
    while (!utf8.hasError() && (got = file.read(piece.data(), piece.size())) > 0)
        text += utf8.decode(QByteArrayView(piece.constData(), got));
    if (got >= 0 && !utf8.hasError())
        return text;
    text = QString();
    if (got < 0 || !file.seek(0)) {
        refusal = QStringLiteral("不能读取 %1：%2").arg(path, file.errorString());
        return std::nullopt;
    }
    return ChapterFile::decode(file.readAll());
}

Reading readFolder(const QString &folder) {
    struct Note {
        QString key, path;
    };
    std::vector<Note> notes;
    QDirIterator it(folder, {QStringLiteral("*.md"), QStringLiteral("*.txt")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (const QString key = dayOfNote(it.fileName()); !key.isEmpty())
            notes.push_back({key, path});
    }
    std::sort(notes.begin(), notes.end(), [](const Note &a, const Note &b) {
        return a.key != b.key ? a.key < b.key : a.path < b.path;
    });
    Reading reading;
    for (const Note &note : notes) {
        const std::optional<QByteArray> bytes = readBytes(note.path, reading.refusal);
        if (!bytes)
            return {{}, reading.refusal};
        reading.entries.push_back({note.key, ChapterFile::decode(*bytes)});
    }
    if (reading.entries.empty())
        reading.refusal =
            QStringLiteral("%1 里没有按日期命名（YYYY-MM-DD.md 或 .txt）的日记").arg(folder);
    return reading;
}

Reading readFile(const QString &path) {
    Reading reading;
    const std::optional<QString> read = readText(path, reading.refusal);
    if (!read)
        return reading;
    const QString &text = *read;
    const QFileInfo info(path);
    if (const QString key = dayOfNote(info.fileName()); !key.isEmpty()) {
        reading.entries.push_back({key, text});
        return reading;
    }
    const QString suffix = info.suffix().toLower();
    const std::optional<std::vector<JournalEntry>> entries =
        suffix == QLatin1String("md") || suffix == QLatin1String("markdown") ? fromMarkdown(text)
        : suffix == QLatin1String("txt")                                     ? fromText(text)
                                                                             : std::nullopt;
    if (!entries || entries->empty())
        reading.refusal = QStringLiteral("%1 不是本程序导出的日记（.md 或 .txt），"
                                         "也不是按日期命名（YYYY-MM-DD）的日记文件")
                              .arg(info.fileName());
    else
        reading.entries = std::move(*entries);
    return reading;
}

} // namespace

QString dayOfNote(const QString &fileName) {
    const QFileInfo info(fileName);
    const QString suffix = info.suffix().toLower();
    if (suffix != QLatin1String("md") && suffix != QLatin1String("txt"))
        return {};
    const QString base = info.completeBaseName();
    const QDate day = QDate::fromString(base, Qt::ISODate);
    if (base.size() != 10 || !day.isValid())
        return {};
    return day.toString(QStringLiteral("yyyyMMdd"));
}

std::optional<std::vector<JournalEntry>> fromMarkdown(const QString &text) {
    const QList<QStringView> lines = QStringView(text).split(QLatin1Char('\n'));
    std::vector<JournalEntry> entries;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool crlf = lines[i].endsWith(QLatin1Char('\r'));
        const QStringView opening = line(lines, i, crlf);
        qsizetype ticks = 0;
        while (ticks < opening.size() && opening[ticks] == QLatin1Char('`'))
            ++ticks;
        if (ticks < 3 || !opening.sliced(ticks).startsWith(QLatin1String("text ")))
            continue;
        const std::optional<QString> key = keyOf(opening.sliced(ticks + 5));
        if (!key)
            continue;
        const QStringView fence = opening.first(ticks);
        QList<QStringView> body;
        qsizetype j = i + 1;
        for (; j < lines.size() && line(lines, j, crlf) != fence; ++j)
            body << line(lines, j, crlf);
        if (j == lines.size())
            return std::nullopt; // cut short: an entry without its end
        entries.push_back({*key, joined(body)});
        i = j;
    }
    return entries;
}

std::optional<std::vector<JournalEntry>> fromText(const QString &text) {
    const QList<QStringView> lines = QStringView(text).split(QLatin1Char('\n'));
    std::vector<JournalEntry> entries;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool crlf = lines[i].endsWith(QLatin1Char('\r'));
        const QStringView header = line(lines, i, crlf);
        const qsizetype open = header.lastIndexOf(QLatin1String(" ["));
        if (open < 0 || !header.endsWith(QLatin1Char(']')))
            continue;
        const std::optional<QString> key = keyOf(header.sliced(open + 2, header.size() - open - 3));
        if (!key)
            continue;
        QList<QStringView> body;
        qsizetype j = i + 1;
        for (; j < lines.size() && line(lines, j, crlf).startsWith(QLatin1String("  ")); ++j)
            body << line(lines, j, crlf).sliced(2);
        if (body.isEmpty())
            continue; // every entry has at least its one set-in line
        entries.push_back({*key, joined(body)});
        i = j - 1;
    }
    return entries;
}

Reading read(const QString &fileOrFolder) {
    const QFileInfo info(fileOrFolder);
    if (info.isDir())
        return readFolder(fileOrFolder);
    if (!info.exists())
        return {{}, QStringLiteral("%1 不存在").arg(fileOrFolder)};
    return readFile(fileOrFolder);
}

} // namespace JournalImport
