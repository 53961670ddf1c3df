// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/novelimport.h"

#include "core/chapterfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString reason() {
    return qt_error_string(errno);
}

// The folder that holds the novels' folders, held open so that every step
// below names entries inside it and nothing a link leads to.
class StoryFolder {
public:
    explicit StoryFolder(const QString &path)
        : m_path(path),
          m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~StoryFolder() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    StoryFolder(const StoryFolder &) = delete;
    StoryFolder &operator=(const StoryFolder &) = delete;
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    QString path() const { return m_path; }

    enum class Kind { None, Link, Folder, Other };
    Kind kind(const QString &name) const {
        struct stat st {};
        if (::fstatat(m_fd, QFile::encodeName(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return Kind::None;
        return S_ISLNK(st.st_mode) ? Kind::Link : S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other;
    }
    // Never over anything: what is there already stays.
    bool move(const QString &from, const QString &to) const {
        return ::renameat2(m_fd, QFile::encodeName(from).constData(), m_fd,
                           QFile::encodeName(to).constData(), RENAME_NOREPLACE) == 0;
    }
    bool unlink(const QString &name) const {
        return ::unlinkat(m_fd, QFile::encodeName(name).constData(), 0) == 0;
    }
    QStringList names() const {
        QStringList found;
        const int fd = ::dup(m_fd);
        DIR *dir = fd < 0 ? nullptr : ::fdopendir(fd);
        if (!dir) {
            if (fd >= 0)
                ::close(fd);
            return found;
        }
        ::rewinddir(dir);
        while (const dirent *e = ::readdir(dir))
            found.append(QFile::decodeName(e->d_name));
        ::closedir(dir);
        return found;
    }

private:
    QString m_path;
    int m_fd;
};

// Files the import writes: chapters, named by their number, and the
// temporary files they are saved through.
bool isOwnFileName(const char *name) {
    static const QRegularExpression own(QStringLiteral("^[0-9]+(\\.[A-Za-z0-9]{6})?$"));
    return own.match(QString::fromLatin1(name)).hasMatch();
}

// Deletes the files the import writes from the folder and the folder with
// them; false when it holds anything else, or cannot be emptied. Neither a
// link at its name nor one inside it is followed.
bool removeOwnFolder(const StoryFolder &story, const QString &name) {
    const int fd = ::openat(story.fd(), QFile::encodeName(name).constData(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR *dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    while (const dirent *e = ::readdir(dir)) {
        struct stat st {};
        if (isOwnFileName(e->d_name) && ::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(st.st_mode))
            ::unlinkat(fd, e->d_name, 0);
    }
    ::closedir(dir);
    return ::unlinkat(story.fd(), QFile::encodeName(name).constData(), AT_REMOVEDIR) == 0;
}

// Moves what stands at name out of the way under a name of its own; that
// name, or empty when it cannot be moved.
QString keepAside(const StoryFolder &story, const QString &name, const QString &novel) {
    for (int n = 1; n < 1000; ++n) {
        const QString kept =
            novel + QStringLiteral(".kept") + (n > 1 ? QStringLiteral("-%1").arg(n) : QString());
        if (story.move(name, kept))
            return kept;
        if (errno != EEXIST)
            break;
    }
    return {};
}

// What stood in the novel's place, now at aside, goes: a link as a link, an
// old set of chapters with its chapters; anything else is kept.
void dispose(const StoryFolder &story, const QString &aside, const QString &novel,
             QStringList &notes) {
    const StoryFolder::Kind kind = story.kind(aside);
    if (kind == StoryFolder::Kind::None)
        return;
    if (kind == StoryFolder::Kind::Link) {
        if (story.unlink(aside))
            notes.append(QStringLiteral("原来的 %1 是一个链接，已换成导入的章节；"
                                        "链接指向的文件没有改动。")
                             .arg(novel));
        return;
    }
    if (kind == StoryFolder::Kind::Folder && removeOwnFolder(story, aside))
        return;
    const QString kept = keepAside(story, aside, novel);
    const QString what = kind == StoryFolder::Kind::Folder
                             ? QStringLiteral("原来的章节文件夹中还有别的文件（或无法删除）")
                             : QStringLiteral("原来在 %1 位置上的不是文件夹").arg(novel);
    notes.append(kept.isEmpty() ? QStringLiteral("%1，仍留在 %2。").arg(what, aside)
                                : QStringLiteral("%1，已改名为 %2 保存。").arg(what, kept));
}

QString asideName(const QString &novel) {
    return novel + QStringLiteral(".replaced");
}

// Leftovers of an import that failed or was killed: the old set moved aside
// goes back when nothing took its place, or goes as after a replacement;
// folders being written are removed.
QStringList recover(const StoryFolder &story, const QString &novel) {
    QStringList notes;
    const QString aside = asideName(novel);
    if (story.kind(aside) != StoryFolder::Kind::None) {
        if (story.kind(novel) == StoryFolder::Kind::None && story.move(aside, novel))
            notes.append(QStringLiteral("上次没有完成的导入之前的章节已经恢复。"));
        else
            dispose(story, aside, novel, notes);
    }
    int removed = 0;
    const QString writing = novel + QStringLiteral(".importing-");
    for (const QString &name : story.names())
        if (name.startsWith(writing) && story.kind(name) == StoryFolder::Kind::Folder &&
            removeOwnFolder(story, name))
            ++removed;
    if (removed)
        notes.append(QStringLiteral("清除了中断的导入留下的 %1 个临时文件夹。").arg(removed));
    return notes;
}

// The reader refuses a chapter file past its limit; such a chapter is no
// chapter to replace readable ones with.
Result fitsTheReader(int number, const QString &text) {
    qint64 bytes = 0;
    for (const QChar c : text) // a surrogate pair makes four
        bytes += c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : c.isSurrogate() ? 2 : 3;
    if (bytes <= ChapterFile::MaxBytes)
        return {};
    return failed(QStringLiteral("第 %1 个章节超过阅读时能打开的 %2 MB")
                      .arg(number)
                      .arg(ChapterFile::MaxBytes / (1024 * 1024)));
}

// The old set steps aside, the new one takes its place, the old one goes.
Result place(const StoryFolder &story, const QString &fresh, const QString &novel,
             QStringList &notes) {
    const QString aside = asideName(novel);
    const bool hadOld = story.kind(novel) != StoryFolder::Kind::None;
    if (hadOld && !story.move(novel, aside))
        return failed(QStringLiteral("无法替换 %1（%2）").arg(novel, reason()));
    if (!story.move(fresh, novel)) {
        const QString why = reason();
        if (hadOld && !story.move(aside, novel))
            notes.append(QStringLiteral("原来的章节暂时留在 %1，下次导入时会恢复。").arg(aside));
        return failed(QStringLiteral("无法替换 %1（%2）").arg(novel, why));
    }
    dispose(story, aside, novel, notes);
    return {};
}

Result writeAndPlace(const StoryFolder &story, const QString &novel,
                     const QList<std::pair<int, QString>> &files,
                     const std::function<bool(int)> &keepGoing, QStringList &notes) {
    QByteArray made = QFile::encodeName(story.path() + QLatin1Char('/') + novel +
                                        QStringLiteral(".importing-XXXXXX"));
    if (!::mkdtemp(made.data()))
        return failed(QStringLiteral("无法在 %1 中写入（%2）").arg(story.path(), reason()));
    const QString fresh = QFileInfo(QFile::decodeName(made)).fileName();
    const QDir into(QFile::decodeName(made));
    int written = 0;
    Result result;
    for (const auto &[number, text] : files) {
        QSaveFile file(into.filePath(QString::number(number)));
        const QByteArray bytes = text.toUtf8();
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
            !file.commit()) {
            result = failed(QStringLiteral("无法写入 %1").arg(file.fileName()));
            break;
        }
        if (keepGoing && !keepGoing(++written)) {
            result = Result::failure(Result::Code::NoRow, QStringLiteral("导入已取消"));
            break;
        }
    }
    if (result)
        result = place(story, fresh, novel, notes);
    if (!result)
        removeOwnFolder(story, fresh);
    return result;
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
             const std::function<bool(int)> &keepGoing, QStringList *notes) {
    for (const auto &[number, text] : files)
        if (const Result fits = fitsTheReader(number, text); !fits)
            return fits;
    const QFileInfo target(folder);
    const QString name = target.fileName();
    if (!QDir().mkpath(target.path()))
        return failed(QStringLiteral("无法建立文件夹 %1").arg(target.path()));
    const StoryFolder story(target.path());
    if (!story.isOpen())
        return failed(QStringLiteral("无法打开文件夹 %1").arg(target.path()));
    QStringList said = recover(story, name);
    const Result result = writeAndPlace(story, name, files, keepGoing, said);
    if (notes)
        *notes = said;
    return result;
}

QStringList recover(const QString &folder) {
    const QFileInfo target(folder);
    const StoryFolder story(target.path());
    return story.isOpen() ? recover(story, target.fileName()) : QStringList();
}

} // namespace NovelImport
