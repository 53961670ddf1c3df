#include "core/novelimport.h"

#include "core/chapterfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

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

bool isNumeral(QChar c) {
    static const QString chinese = QStringLiteral("〇零一二三四五六七八九十百千两");
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QChar(0xFF10) && c <= QChar(0xFF19)) || chinese.contains(c);
}

Result failed(const QString &message) {
    return Result::failure(Result::Code::Failed, message);
}
} // namespace

bool isHeading(QStringView line) {
    qsizetype i = skipBlanks(line);
    if (i >= line.size() || line[i] != QChar(0x7B2C)) // 第
        return false;
    const qsizetype digits = ++i;
    while (i < line.size() && isNumeral(line[i]))
        ++i;
    static const QString units = QStringLiteral("回章集节卷");
    if (i == digits || i >= line.size() || !units.contains(line[i]))
        return false;
    // A heading ends there or sets its title off; 第四回中，… is the text
    // of a chapter talking about another.
    static const QString setOff = QStringLiteral("\r:：");
    const QStringView rest = line.sliced(i + 1);
    return rest.isEmpty() || isBlank(rest[0]) || setOff.contains(rest[0]);
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
    enum { Preface, Prologue, Numbered } section = Preface;
    const QList<QStringView> lines = QStringView(text).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringView line = lines[i];
        if (isHeading(line)) {
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
