// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/journalexport.h"

#include "core/statement.h"

#include <QDate>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>
#include <QUrl>
#include <algorithm>
#include <functional>

namespace JournalExport {
namespace {

// Written out in pieces of about this many bytes.
constexpr qsizetype ChunkBytes = 1024 * 1024;

// "2024年01月26日" for a key that is a date; the key itself otherwise.
QString caption(const QString &dates) {
    if (isoDate(dates).isEmpty())
        return dates;
    return dates.left(4) + QStringLiteral("年") + dates.mid(4, 2) + QStringLiteral("月") +
           dates.mid(6, 2) + QStringLiteral("日");
}

QString monthOf(const QString &dates) {
    return dates.left(4) + QStringLiteral("年") + dates.mid(4, 2) + QStringLiteral("月");
}

// What a machine reads back: the ISO day, or for a key that is no date the
// key itself, percent-encoded so no character of it can end the marker.
QString marker(const QString &dates) {
    const QString iso = isoDate(dates);
    return iso.isEmpty()
               ? QStringLiteral("key=") + QString::fromLatin1(QUrl::toPercentEncoding(dates))
               : iso;
}

// An entry as it goes out: its text as the UTF-8 the store holds, which is
// written as it is, never turned into UTF-16 and back.
struct Row {
    QString dates, iso; // iso: empty for a key that is no date
    QByteArray text;
};

Row rowOf(const QString &dates, QByteArray text) {
    // Bytes that are not UTF-8 go out as a reader of the store would see them.
    if (!text.isValidUtf8())
        text = QString::fromUtf8(text).toUtf8();
    return {dates, isoDate(dates), std::move(text)};
}

// A fence longer than any run of backticks in the text, so no line of it
// can close the block.
QByteArray fenceFor(const QByteArray &text) {
    qsizetype longest = 0, run = 0;
    for (const char c : text) {
        run = c == '`' ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return QByteArray(std::max<qsizetype>(3, longest + 1), '`');
}

QByteArray htmlEscaped(const QByteArray &text) {
    QByteArray out;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char *entity = c == '<'   ? "&lt;"
                             : c == '>' ? "&gt;"
                             : c == '&' ? "&amp;"
                             : c == '"' ? "&quot;"
                                        : nullptr;
        if (!entity)
            continue;
        if (out.isEmpty())
            out.reserve(text.size() + text.size() / 8);
        out.append(text.constData() + from, i - from).append(entity);
        from = i + 1;
    }
    if (from == 0)
        return text; // shared, not copied
    return out.append(text.constData() + from, text.size() - from);
}

// Every line after the first set in by two blanks.
QByteArray indented(const QByteArray &text) {
    QByteArray out;
    out.reserve(text.size() + 2 * text.count('\n'));
    qsizetype from = 0;
    for (qsizetype at = text.indexOf('\n'); at >= 0; at = text.indexOf('\n', from)) {
        out.append(text.constData() + from, at + 1 - from).append("  ");
        from = at + 1;
    }
    return out.append(text.constData() + from, text.size() - from);
}

// Shared walk over the entries: headings for new years, months and days,
// then the entry itself.
struct Sink {
    QIODevice &out;
    QByteArray pending;
    bool ok = true;
    void flush() {
        ok = ok && out.write(pending) >= 0;
        pending.truncate(0); // its room is kept for the next piece
    }
    Sink &operator<<(const QByteArray &s) {
        pending += s;
        if (pending.size() > ChunkBytes)
            flush();
        return *this;
    }
    Sink &operator<<(const QString &s) { return *this << s.toUtf8(); }
};

struct Writer {
    virtual ~Writer() = default;
    virtual void begin(qsizetype total) = 0;
    virtual void year(const QString &dates) = 0;
    virtual void month(const QString &dates) = 0;
    virtual void otherDays() = 0;
    virtual void day(const QString &dates) = 0;
    virtual void entry(const Row &entry) = 0;
    virtual void end() = 0;
};

class MarkdownWriter : public Writer {
public:
    explicit MarkdownWriter(Sink &sink) : s(sink) {}
    void begin(qsizetype total) override {
        s << QStringLiteral("# 日记\n\n共 %1 篇。\n").arg(total);
    }
    void year(const QString &dates) override {
        s << QStringLiteral("\n## %1年\n").arg(dates.left(4));
    }
    void month(const QString &dates) override {
        s << QStringLiteral("\n### %1\n").arg(monthOf(dates));
    }
    void otherDays() override { s << QStringLiteral("\n## 其他日期\n"); }
    void day(const QString &dates) override {
        const QString shown = caption(dates);
        s << QStringLiteral("\n#### %1\n").arg(isoDate(dates).isEmpty() ? escaped(shown) : shown);
    }
    void entry(const Row &e) override {
        const QByteArray fence = fenceFor(e.text);
        s << "\n" + fence + "text " + (e.iso.isEmpty() ? marker(e.dates) : e.iso).toUtf8() + '\n'
          << e.text << "\n" + fence + '\n';
    }
    void end() override {}

private:
    // A key shown in a heading: every punctuation mark taken literally.
    static QString escaped(const QString &text) {
        QString out;
        for (const QChar c : text) {
            if (c.unicode() < 0x80 && c.isPunct())
                out += QLatin1Char('\\');
            out += c.isSpace() ? QChar(u' ') : c;
        }
        return out;
    }
    Sink &s;
};

class TextWriter : public Writer {
public:
    explicit TextWriter(Sink &sink) : s(sink) {}
    void begin(qsizetype total) override { s << QStringLiteral("日记（共 %1 篇）\n").arg(total); }
    void year(const QString &) override {}
    void month(const QString &dates) override {
        s << QStringLiteral("\n==== %1 ====\n").arg(monthOf(dates));
    }
    void otherDays() override { s << QStringLiteral("\n==== 其他日期 ====\n"); }
    void day(const QString &) override {}
    void entry(const Row &e) override {
        const QString shown = e.iso.isEmpty() ? QStringLiteral("日期") : caption(e.dates);
        // Every line of the text set in by two blanks: no line of it can
        // pass for a heading, and the blank line after it ends the entry.
        s << QStringLiteral("\n%1 [%2]\n  ").arg(shown, e.iso.isEmpty() ? marker(e.dates) : e.iso)
          << indented(e.text) << QByteArrayLiteral("\n");
    }
    void end() override {}

private:
    Sink &s;
};

class HtmlWriter : public Writer {
public:
    HtmlWriter(Sink &sink, const std::vector<Row> &entries) : s(sink), m_entries(entries) {}
    void begin(qsizetype total) override;
    void year(const QString &dates) override {
        closeSections();
        s << QStringLiteral("<section id=\"y%1\">\n<h2>%1年</h2>\n").arg(dates.left(4));
        m_openSections = 1;
    }
    void month(const QString &dates) override {
        closeDay();
        if (m_openSections == 2)
            s << QStringLiteral("</section>\n");
        s << QStringLiteral("<section id=\"m%1-%2\">\n<h3>%3</h3>\n")
                 .arg(dates.left(4), dates.mid(4, 2), monthOf(dates));
        m_openSections = 2;
    }
    void otherDays() override {
        closeSections();
        s << QStringLiteral("<section id=\"other\">\n<h2>其他日期</h2>\n");
        m_openSections = 1;
    }
    void day(const QString &dates) override;
    void entry(const Row &e) override {
        s << QByteArrayLiteral("<div class=\"entry\">") << htmlEscaped(e.text)
          << QByteArrayLiteral("</div>\n");
    }
    void end() override {
        closeSections();
        s << QStringLiteral("</main>\n</body>\n</html>\n");
    }

private:
    void contents();
    void closeDay() {
        if (m_dayOpen)
            s << QStringLiteral("</article>\n");
        m_dayOpen = false;
    }
    void closeSections() {
        closeDay();
        for (; m_openSections > 0; --m_openSections)
            s << QStringLiteral("</section>\n");
    }
    Sink &s;
    const std::vector<Row> &m_entries;
    int m_openSections = 0;
    bool m_dayOpen = false;
};

const char *const PageStyle = R"(
body { font-family: "宋体", SimSun, "Noto Serif CJK SC", "Noto Sans CJK SC", "WenQuanYi Zen Hei", serif;
       font-size: 12pt; line-height: 1.6; max-width: 46em; margin: 2em auto; padding: 0 1em;
       color: #222; background: #fff; }
h1 { text-align: center; }
h2 { border-bottom: 1px solid #c96; margin-top: 2em; }
h4 { margin: 1.4em 0 0.4em; }
.entry { white-space: pre-wrap; overflow-wrap: anywhere; margin: 0 0 0.8em; min-height: 1em; }
.entry + .entry { border-top: 1px dashed #ccc; padding-top: 0.6em; }
nav ul { list-style: none; padding-left: 1em; }
nav a { color: #a52; text-decoration: none; }
@media print {
  body { margin: 0; max-width: none; }
  nav { break-after: page; }
  main > section { break-before: page; }
  h2, h3, h4 { break-after: avoid; }
  a { color: inherit; }
}
)";

void HtmlWriter::begin(qsizetype total) {
    s << QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
                        "<title>日记</title>\n<style>")
      << QString::fromUtf8(PageStyle)
      << QStringLiteral(
             "</style>\n</head>\n<body>\n<h1>日记</h1>\n<p class=\"count\">共 %1 篇</p>\n")
             .arg(total);
    contents();
    s << QStringLiteral("<main>\n");
}

// The table of contents: each year, and under it each month with its count.
void HtmlWriter::contents() {
    std::vector<std::pair<QString, int>> months; // yyyymm, entries
    bool others = false;
    for (const Row &e : m_entries) {
        if (e.iso.isEmpty()) {
            others = true;
            continue;
        }
        if (months.empty() || months.back().first != e.dates.left(6))
            months.emplace_back(e.dates.left(6), 0);
        ++months.back().second;
    }
    s << QStringLiteral("<nav id=\"contents\">\n<h2>目录</h2>\n<ul>\n");
    QString year;
    for (const auto &[month, count] : months) {
        if (month.left(4) != year) {
            if (!year.isEmpty())
                s << QStringLiteral("</ul></li>\n");
            year = month.left(4);
            s << QStringLiteral("<li><a href=\"#y%1\">%1年</a>\n<ul>\n").arg(year);
        }
        s << QStringLiteral("<li><a href=\"#m%1-%2\">%3</a>（%4 篇）</li>\n")
                 .arg(year, month.mid(4), monthOf(month))
                 .arg(count);
    }
    if (!year.isEmpty())
        s << QStringLiteral("</ul></li>\n");
    if (others)
        s << QStringLiteral("<li><a href=\"#other\">其他日期</a></li>\n");
    s << QStringLiteral("</ul>\n</nav>\n");
}

void HtmlWriter::day(const QString &dates) {
    closeDay();
    const QString iso = isoDate(dates);
    if (iso.isEmpty())
        s << QStringLiteral("<article>\n<h4>%1</h4>\n").arg(dates.toHtmlEscaped());
    else
        s << QStringLiteral("<article id=\"d%1\">\n<h4><time datetime=\"%1\">%2</time></h4>\n")
                 .arg(iso, caption(dates));
    m_dayOpen = true;
}

bool walk(Writer &w, const std::vector<Row> &entries, const Progress &progress) {
    w.begin(qsizetype(entries.size()));
    const Row *previous = nullptr;
    bool inOthers = false;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Row &e = entries[i];
        const bool real = !e.iso.isEmpty();
        if (real && (!previous || previous->dates.left(4) != e.dates.left(4)))
            w.year(e.dates);
        if (real && (!previous || previous->dates.left(6) != e.dates.left(6)))
            w.month(e.dates);
        if (!real && !inOthers)
            w.otherDays();
        inOthers = !real;
        if (!previous || previous->dates != e.dates)
            w.day(e.dates);
        w.entry(e);
        previous = &e;
        if (progress && i % 1000 == 999 && !progress(qsizetype(i + 1), qsizetype(entries.size())))
            return false;
    }
    w.end();
    return true;
}

} // namespace

std::optional<Format> formatFor(const QString &path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("md") || suffix == QLatin1String("markdown"))
        return Format::Markdown;
    if (suffix == QLatin1String("txt"))
        return Format::Text;
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        return Format::Html;
    return std::nullopt;
}

QString isoDate(const QString &dates) {
    // Called for every entry, several times: no date parsing by format.
    if (dates.size() != 8)
        return {};
    int parts[3] = {0, 0, 0};
    for (int i = 0; i < 8; ++i) {
        const char16_t c = dates[i].unicode();
        if (c < u'0' || c > u'9')
            return {};
        int &part = parts[i < 4 ? 0 : i < 6 ? 1 : 2];
        part = part * 10 + (c - u'0');
    }
    if (!QDate::isValid(parts[0], parts[1], parts[2]) || parts[0] == 0)
        return {};
    return dates.left(4) + QLatin1Char('-') + dates.mid(4, 2) + QLatin1Char('-') + dates.mid(6, 2);
}

namespace {

// Real days by day, each day's entries in the order given; the others after
// them, in the order given.
template <typename Entry>
void sortByDay(std::vector<Entry> &entries, const std::function<bool(const Entry &)> &real) {
    std::vector<std::pair<bool, size_t>> order; // a real day?, place
    order.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        order.emplace_back(real(entries[i]), i);
    std::stable_sort(order.begin(), order.end(), [&entries](const auto &a, const auto &b) {
        if (a.first != b.first)
            return a.first;
        return a.first && entries[a.second].dates < entries[b.second].dates;
    });
    std::vector<Entry> sorted;
    sorted.reserve(entries.size());
    for (const auto &[isReal, at] : order)
        sorted.push_back(std::move(entries[at]));
    entries = std::move(sorted);
}

std::optional<std::vector<Row>> readRows(sqlite3 *db) {
    Statement q(db, "SELECT dates, things FROM diary ORDER BY rowid");
    if (!q.isValid())
        return std::nullopt;
    std::vector<Row> rows;
    while (q.step())
        rows.push_back(rowOf(q.isNull(0) ? QString() : q.text(0), q.bytes(1)));
    if (!q.done())
        return std::nullopt;
    sortByDay<Row>(rows, [](const Row &r) { return !r.iso.isEmpty(); });
    return rows;
}

bool writeRows(QIODevice &out, const std::vector<Row> &rows, Format format,
               const Progress &progress) {
    Sink sink{out, {}};
    MarkdownWriter markdown(sink);
    TextWriter text(sink);
    HtmlWriter html(sink, rows);
    Writer &writer = format == Format::Markdown ? static_cast<Writer &>(markdown)
                     : format == Format::Text   ? static_cast<Writer &>(text)
                                                : static_cast<Writer &>(html);
    if (!walk(writer, rows, progress))
        return false;
    sink.flush();
    return sink.ok;
}

} // namespace

std::optional<std::vector<JournalEntry>> readJournal(sqlite3 *db) {
    Statement q(db, "SELECT dates, things FROM diary ORDER BY rowid");
    if (!q.isValid())
        return std::nullopt;
    std::vector<JournalEntry> entries;
    while (q.step())
        entries.push_back(
            {q.isNull(0) ? QString() : q.text(0), q.isNull(1) ? QString() : q.text(1)});
    if (!q.done())
        return std::nullopt;
    return entries;
}

void sortOldestFirst(std::vector<JournalEntry> &entries) {
    sortByDay<JournalEntry>(entries,
                            [](const JournalEntry &e) { return !isoDate(e.dates).isEmpty(); });
}

bool write(QIODevice &out, const std::vector<JournalEntry> &entries, Format format,
           const Progress &progress) {
    std::vector<Row> rows;
    rows.reserve(entries.size());
    for (const JournalEntry &e : entries)
        rows.push_back(rowOf(e.dates, e.things.toUtf8()));
    return writeRows(out, rows, format, progress);
}

Result exportTo(sqlite3 *db, const QString &path, Format format, qsizetype *count,
                const Progress &progress) {
    const std::optional<std::vector<Row>> rows = readRows(db);
    if (!rows)
        return Result::failure(Result::Code::Unavailable, QStringLiteral("日记本无法读取"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Result::failure(Result::Code::Failed,
                               QStringLiteral("不能写入 %1：%2").arg(path, file.errorString()));
    if (!writeRows(file, *rows, format, progress)) {
        file.cancelWriting();
        return Result::failure(Result::Code::Failed, file.error() == QFileDevice::NoError
                                                         ? QStringLiteral("导出已取消")
                                                         : file.errorString());
    }
    if (!file.commit())
        return Result::failure(Result::Code::Failed,
                               QStringLiteral("不能写入 %1：%2").arg(path, file.errorString()));
    if (count)
        *count = qsizetype(rows->size());
    return {};
}

} // namespace JournalExport
