// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/novelimport.h"

#include "core/chapterfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <optional>

namespace NovelImport {

namespace {
bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QChar(0x3000);
}

qsizetype skipBlanks(QStringView line) {
    qsizetype i = 0;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    return i;
}

// 0 to 9 for a digit of either kind, 10, 100 or 1000 for 十, 百 and 千, -1
// for anything else.
int numeralValue(QChar c) {
    static const QString chinese = QStringLiteral("〇一二三四五六七八九十百千零两");
    static const int values[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 100, 1000, 0, 2};
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - u'0';
    if (c >= QChar(0xFF10) && c <= QChar(0xFF19)) // full-width
        return c.unicode() - 0xFF10;
    const qsizetype at = chinese.indexOf(c);
    return at < 0 ? -1 : values[at];
}

bool isNumeral(QChar c) {
    return numeralValue(c) >= 0;
}

// Printed novels write 一百一 for 101 and 一百十 for 110; a run without 十,
// 百 or 千, as 12 or 一〇一, is read digit by digit. Nothing for a run too
// long to number any novel's chapters.
std::optional<int> numberOf(QStringView numerals) {
    const bool byDigit = std::none_of(numerals.begin(), numerals.end(),
                                      [](QChar c) { return numeralValue(c) >= 10; });
    qint64 value = 0;
    int digit = -1;
    for (QChar c : numerals) {
        const int n = numeralValue(c);
        if (byDigit) {
            value = value * 10 + n;
        } else if (n >= 10) {
            value += qint64(digit < 0 ? 1 : digit) * n;
            digit = -1;
        } else {
            digit = n;
        }
        if (value > 1000000)
            return std::nullopt;
    }
    return int(value + std::max(digit, 0));
}

struct Heading {
    int number;
    QChar unit;
};

std::optional<Heading> headingOf(QStringView line) {
    qsizetype i = skipBlanks(line);
    if (i >= line.size() || line[i] != QChar(0x7B2C)) // 第
        return std::nullopt;
    const qsizetype digits = ++i;
    while (i < line.size() && isNumeral(line[i]))
        ++i;
    static const QString units = QStringLiteral("回章集节卷");
    if (i == digits || i >= line.size() || !units.contains(line[i]))
        return std::nullopt;
    // A heading ends there or sets its title off; 第四回中，… is the text
    // of a chapter talking about another.
    static const QString setOff = QStringLiteral("\r:：");
    const QStringView rest = line.sliced(i + 1);
    if (!rest.isEmpty() && !isBlank(rest[0]) && !setOff.contains(rest[0]))
        return std::nullopt;
    const std::optional<int> number = numberOf(line.sliced(digits, i - digits));
    if (!number)
        return std::nullopt;
    return Heading{*number, line[i]};
}

Result failed(const QString &message) {
    return Result::failure(Result::Code::Failed, message);
}
} // namespace

bool isHeading(QStringView line) {
    return headingOf(line).has_value();
}

bool isPrologue(QStringView line) {
    return line.sliced(skipBlanks(line)).startsWith(QStringLiteral("序幕"));
}

Text read(const QString &path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return {{}, QStringLiteral("这不是一个可以读取的文件。")};
    if (info.size() > MaxBytes)
        return {{}, QStringLiteral("文件太大（超过 256 MB），不像是一部小说的文本。")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, QStringLiteral("无法打开这个文件。")};
    const QByteArray bytes = file.read(MaxBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > MaxBytes)
        return {{}, QStringLiteral("无法读取这个文件。")};
    if (bytes.contains('\0'))
        return {{}, QStringLiteral("这不是纯文本文件。")};
    return {ChapterFile::decode(bytes), {}};
}

Chapters split(const QString &text, bool withPrologue) {
    Chapters found;
    QString preface;
    // A novel names its own chapters all the time, so only the number its
    // unit expects next opens a chapter. Units count apart, as volumes hold
    // chapters; a unit's first heading sets its start, for a text that
    // begins part way through.
    QHash<QChar, int> next;
    enum { Preface, Prologue, Numbered } section = Preface;
    const QList<QStringView> lines = QStringView(text).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringView line = lines[i];
        const std::optional<Heading> heading = headingOf(line);
        if (heading && next.value(heading->unit, heading->number) == heading->number) {
            next.insert(heading->unit, heading->number + 1);
            found.numbered.append(QString());
            section = Numbered;
        } else if (withPrologue && found.prologue.isNull() && isPrologue(line)) {
            found.prologue = QStringLiteral("");
            section = Prologue;
        }
        QString &into = section == Numbered   ? found.numbered.last()
                        : section == Prologue ? found.prologue
                                              : preface;
        into.append(line);
        if (i + 1 < lines.size()) // the last line keeps the end it has, or none
            into.append(QLatin1Char('\n'));
    }
    if (found.numbered.isEmpty() && found.prologue.isNull())
        return {};
    // The title and any preface open the first section.
    QString &first = found.numbered.isEmpty() ? found.prologue : found.numbered.first();
    first.prepend(preface);
    return found;
}

Result write(const QString &folder, const QList<std::pair<int, QString>> &files,
             const std::function<bool(int)> &keepGoing) {
    const QFileInfo target(folder);
    QDir parent = target.dir();
    if (!QDir().mkpath(parent.path()))
        return failed(QStringLiteral("无法建立文件夹 %1").arg(parent.path()));
    QTemporaryDir fresh(parent.filePath(target.fileName() + QStringLiteral(".importing-XXXXXX")));
    if (!fresh.isValid())
        return failed(QStringLiteral("无法在 %1 中写入").arg(parent.path()));
    int written = 0;
    for (const auto &[number, text] : files) {
        QSaveFile file(fresh.filePath(QString::number(number)));
        const QByteArray bytes = text.toUtf8();
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            return failed(QStringLiteral("无法写入 %1").arg(file.fileName()));
        if (keepGoing && !keepGoing(++written))
            return Result::failure(Result::Code::NoRow, QStringLiteral("导入已取消"));
    }
    // The old set steps aside, the new one takes its place, the old one goes.
    const QString old = folder + QStringLiteral(".replaced");
    QDir(old).removeRecursively();
    const bool hadOld = target.exists();
    if (hadOld && !parent.rename(target.fileName(), QFileInfo(old).fileName()))
        return failed(QStringLiteral("无法替换 %1").arg(folder));
    if (!parent.rename(QFileInfo(fresh.path()).fileName(), target.fileName())) {
        if (hadOld)
            parent.rename(QFileInfo(old).fileName(), target.fileName());
        return failed(QStringLiteral("无法替换 %1").arg(folder));
    }
    fresh.setAutoRemove(false);
    QDir(old).removeRecursively();
    return {};
}

} // namespace NovelImport
