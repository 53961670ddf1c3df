// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/searchtext.h"

#include <algorithm>
#include <atomic>
#include <sqlite3.h>

namespace SearchText {
namespace {

bool isBreak(char32_t c) {
    return c == U'\n' || c == U'\r' || c == 0x2028 || c == 0x2029 || c == 0x0b || c == 0x0c ||
           c == 0x85;
}
bool isBlank(char32_t c) {
    return c == U' ' || c == U'\t';
}

// Compatibility folding and case folding, as one, of a run of characters.
void foldSlowly(const char32_t *run, qsizetype size, std::u32string &out) {
    const QString folded =
        QString::fromUcs4(run, size).normalized(QString::NormalizationForm_KC).toCaseFolded();
    for (char32_t f : folded.toUcs4())
        out.push_back(isBreak(f) || f >= 0x110000 ? U' ' : f);
}

bool isIdeograph(char32_t c) {
    return (c >= 0x4e00 && c <= 0x9fff) || (c >= 0x3400 && c <= 0x4dbf) ||
           (c >= 0x20000 && c <= 0x2a6df);
}

// The common characters, which fold alone to one character, fast.
bool isPlain(char32_t c) {
    return c < 0x80 || isIdeograph(c) || (c >= 0x3001 && c <= 0x3003);
}
char32_t foldPlain(char32_t c) {
    return c >= U'A' && c <= U'Z' ? c + 32 : c;
}

// The folding of one character alone.
void foldAlone(char32_t c, std::u32string &out) {
    if (isPlain(c)) {
        out.push_back(foldPlain(c));
        return;
    }
    if (c >= 0xff01 && c <= 0xff5e) { // full-width ASCII
        foldAlone(c - 0xfee0, out);
        return;
    }
    if (c == 0x3000) {
        out.push_back(U' ');
        return;
    }
    foldSlowly(&c, 1, out);
}

// Whether normalising starts afresh at c: nothing before it combines with c
// or with what c decomposes to, so text folded run by run, from one such
// character to the next, is folded as the whole text would be. Marks,
// Hangul vowels and finals, and what decomposes to them join the run before.
bool startsRunSlowly(char32_t c) {
    if (c < 0x300 || isIdeograph(c) || (c >= 0xff01 && c <= 0xff5e))
        return true;
    if (QChar::combiningClass(c) != 0 || (c >= 0x1160 && c <= 0x11ff) ||
        (c >= 0xd7b0 && c <= 0xd7ff))
        return false;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return false;
    default:
        break;
    }
    if (QChar::decompositionTag(c) == QChar::NoDecomposition)
        return true;
    const QString parts = QChar::decomposition(c);
    if (parts.isEmpty())
        return true;
    return startsRunSlowly(parts.size() > 1 && parts[0].isHighSurrogate()
                               ? QChar::surrogateToUcs4(parts[0], parts[1])
                               : parts[0].unicode());
}

// Of each character of the Basic Multilingual Plane, once met: whether a run
// starts at it and, where it folds alone to one character, that character.
// Punctuation fills every page of Chinese text, and normalising it each time
// cost more than the rest of folding. Racing threads write the same value.
constexpr quint32 Known = 1u << 31, Starts = 1u << 30, FoldsToOne = 1u << 29;
quint32 memo(char32_t c) {
    static std::atomic<quint32> entries[0x10000];
    quint32 e = entries[c].load(std::memory_order_relaxed);
    if (e == 0) {
        e = Known | (startsRunSlowly(c) ? Starts : 0);
        std::u32string folded;
        foldAlone(c, folded);
        if (folded.size() == 1)
            e |= FoldsToOne | quint32(folded[0]);
        entries[c].store(e, std::memory_order_relaxed);
    }
    return e;
}

bool startsRun(char32_t c) {
    if (c < 0x300 || isIdeograph(c))
        return true;
    return c < 0x10000 ? (memo(c) & Starts) != 0 : startsRunSlowly(c);
}

void foldInto(char32_t c, std::u32string &out) {
    if (isPlain(c)) {
        out.push_back(foldPlain(c));
        return;
    }
    const quint32 e = c < 0x10000 ? memo(c) : 0;
    if ((e & FoldsToOne) != 0)
        out.push_back(char32_t(e & 0x1fffff));
    else
        foldAlone(c, out);
}

// One source character and where it begins and ends.
struct Source {
    char32_t c = 0;
    qsizetype start = 0, end = 0;
};

// Folds the characters read() hands out, run by run; put gets each folded
// character with where its run begins and ends. A line break is a run of
// its own.
template <class Read, class Put> void foldRuns(Read read, Put put) {
    std::u32string run, folded;
    Source next;
    bool more = read(next);
    while (more) {
        const Source first = next;
        const bool lineBreak = isBreak(first.c);
        run.assign(1, first.c);
        qsizetype end = first.end;
        while ((more = read(next)) && !lineBreak && !isBreak(next.c) && !startsRun(next.c)) {
            run.push_back(next.c);
            end = next.end;
        }
        if (lineBreak) {
            put(U'\n', first.start, end);
            continue;
        }
        if (run.size() == 1 && isPlain(first.c)) {
            put(foldPlain(first.c), first.start, end);
            continue;
        }
        folded.clear();
        if (run.size() == 1)
            foldInto(first.c, folded);
        else
            foldSlowly(run.data(), qsizetype(run.size()), folded);
        for (char32_t f : folded)
            put(f, first.start, end);
    }
}

void appendUtf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xc0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3f)));
    } else if (c < 0x10000) {
        out.push_back(char(0xe0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3f)));
        out.push_back(char(0x80 | (c & 0x3f)));
    } else {
        out.push_back(char(0xf0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3f)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3f)));
        out.push_back(char(0x80 | (c & 0x3f)));
    }
}

// One UTF-8 character from bytes[at]; malformed bytes read as U+FFFD, one
// byte at a time, so any text tokenizes.
char32_t decodeUtf8(const unsigned char *bytes, int size, int &at) {
    const unsigned char b = bytes[at++];
    if (b < 0x80)
        return b;
    int extra = b >= 0xf0 && b < 0xf5 ? 3 : b >= 0xe0 ? 2 : b >= 0xc2 && b < 0xe0 ? 1 : -1;
    if (extra < 0 || at + extra > size)
        return 0xfffd;
    char32_t c = b & (0x3f >> extra);
    for (int i = 0; i < extra; ++i) {
        if ((bytes[at + i] & 0xc0) != 0x80)
            return 0xfffd;
        c = (c << 6) | (bytes[at + i] & 0x3f);
    }
    at += extra;
    return c;
}

struct Tokenizer {};

int createTokenizer(void *, const char **, int, Fts5Tokenizer **out) {
    static Tokenizer shared;
    *out = reinterpret_cast<Fts5Tokenizer *>(&shared);
    return SQLITE_OK;
}
void deleteTokenizer(Fts5Tokenizer *) {}

using TokenSink = int (*)(void *, int, const char *, int, int, int);

// One folded character and the bytes of the text it came from.
struct Char {
    char32_t c;
    int start, end;
};

std::vector<Char> foldedChars(const char *text, int size) {
    std::vector<Char> chars;
    chars.reserve(size_t(size));
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    int at = 0;
    foldRuns(
        [&](Source &s) {
            if (at >= size)
                return false;
            s.start = at;
            s.c = decodeUtf8(bytes, size, at);
            s.end = at;
            return true;
        },
        [&](char32_t c, qsizetype start, qsizetype end) {
            chars.push_back({c, int(start), int(end)});
        });
    return chars;
}

// One character asks for itself; more ask for their pairs in a row.
int queryTokens(const std::vector<Char> &chars, void *context, TokenSink emit) {
    std::string token;
    if (chars.size() == 1 && !isBlank(chars[0].c) && chars[0].c != U'\n') {
        appendUtf8(token, chars[0].c);
        return emit(context, 0, token.data(), int(token.size()), chars[0].start, chars[0].end);
    }
    for (size_t i = 0; i + 1 < chars.size(); ++i) {
        token.clear();
        appendUtf8(token, chars[i].c);
        appendUtf8(token, chars[i + 1].c);
        if (int rc =
                emit(context, 0, token.data(), int(token.size()), chars[i].start, chars[i + 1].end);
            rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

// Each character, and in the same place the pair it begins, so that a
// query of one character and one of many both find it; nothing spans a
// line break.
int documentTokens(const std::vector<Char> &chars, void *context, TokenSink emit) {
    std::string token;
    for (size_t i = 0; i < chars.size(); ++i) {
        const char32_t c = chars[i].c;
        if (c == U'\n')
            continue;
        int tokenFlags = 0;
        if (!isBlank(c)) {
            token.clear();
            appendUtf8(token, c);
            if (int rc =
                    emit(context, 0, token.data(), int(token.size()), chars[i].start, chars[i].end);
                rc != SQLITE_OK)
                return rc;
            tokenFlags = FTS5_TOKEN_COLOCATED;
        }
        if (i + 1 < chars.size() && chars[i + 1].c != U'\n') {
            token.clear();
            appendUtf8(token, c);
            appendUtf8(token, chars[i + 1].c);
            if (int rc = emit(context, tokenFlags, token.data(), int(token.size()), chars[i].start,
                              chars[i + 1].end);
                rc != SQLITE_OK)
                return rc;
        }
    }
    return SQLITE_OK;
}

int tokenize(Fts5Tokenizer *, void *context, int flags, const char *text, int size,
             TokenSink emit) {
    const std::vector<Char> chars = foldedChars(text, size);
    return (flags & FTS5_TOKENIZE_QUERY) != 0 ? queryTokens(chars, context, emit)
                                              : documentTokens(chars, context, emit);
}

fts5_api *ftsApi(sqlite3 *db) {
    fts5_api *api = nullptr;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &stmt, nullptr) != SQLITE_OK)
        return nullptr;
    sqlite3_bind_pointer(stmt, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    return api;
}

qsizetype find(const std::u32string &haystack, const std::u32string &needle) {
    const size_t at = haystack.find(needle);
    return at == std::u32string::npos ? -1 : qsizetype(at);
}

} // namespace

Folded fold(QStringView text, qsizetype limit) {
    Folded out;
    const qsizetype end = limit < 0 ? text.size() : std::min(limit, text.size());
    out.chars.reserve(size_t(end));
    out.from.reserve(size_t(end) + 1);
    qsizetype at = 0;
    foldRuns(
        [&](Source &s) {
            if (at >= end)
                return false;
            s.start = at;
            s.c = text[at++].unicode();
            if (QChar::isHighSurrogate(s.c) && at < end && text[at].isLowSurrogate())
                s.c = QChar::surrogateToUcs4(char16_t(s.c), text[at++].unicode());
            s.end = at;
            return true;
        },
        [&](char32_t c, qsizetype start, qsizetype) {
            out.chars.push_back(c);
            out.from.push_back(start);
        });
    out.from.push_back(end);
    return out;
}

QStringList terms(const QString &query, bool *cut) {
    QStringList words;
    QString word;
    bool quoted = false, dropped = false;
    qsizetype kept = 0;
    const auto flush = [&] {
        if (word.trimmed().isEmpty()) {
            word.clear();
            return;
        }
        if (words.size() == MaxQueryWords || kept + word.size() > MaxQueryLength) {
            dropped = true;
            word.truncate(words.size() == MaxQueryWords ? 0 : MaxQueryLength - kept);
            if (!word.isEmpty() && word.back().isHighSurrogate())
                word.chop(1);
        }
        if (!word.trimmed().isEmpty()) {
            kept += word.size();
            words << word;
        }
        word.clear();
    };
    for (QChar c : query) {
        if (isBreak(c.unicode()) || c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
        // Chinese text is full of other quotation marks, pasted with the
        // words around them: they are text to find.
        if (c == QLatin1Char('"')) {
            flush();
            quoted = !quoted;
        } else if (!quoted && (c.isSpace() || c == QChar(0x3000))) {
            flush();
        } else {
            word += c;
        }
    }
    flush();
    if (cut)
        *cut = dropped;
    return words;
}

std::vector<std::u32string> foldedTerms(const QStringList &words) {
    std::vector<std::u32string> out;
    for (const QString &w : words) {
        Folded f = fold(w);
        std::replace(f.chars.begin(), f.chars.end(), U'\n', U' ');
        out.push_back(std::move(f.chars));
    }
    return out;
}

QString matchExpression(const QStringList &words) {
    QStringList parts;
    for (QString w : words) {
        w.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        parts << QLatin1Char('"') + w + QLatin1Char('"');
    }
    return parts.join(QStringLiteral(" AND "));
}

QList<QByteArray> termTokens(const std::u32string &folded) {
    QList<QByteArray> tokens;
    const size_t size = folded.size() == 1 ? 1 : 2;
    for (size_t i = 0; i + size <= folded.size(); ++i) {
        const std::u32string token = folded.substr(i, size);
        const QString text = QString::fromStdU32String(token);
        const bool none = size == 1 ? isBlank(token[0]) || token[0] == U'\n'
                                    : token[0] == U'\n' || token[1] == U'\n';
        if (none || fold(text).chars != token)
            continue;
        QByteArray expression = '"' + text.toUtf8().replace('"', "\"\"") + '"';
        if (!tokens.contains(expression))
            tokens << expression;
    }
    return tokens;
}

bool containsAll(const Folded &text, const std::vector<std::u32string> &words) {
    return std::all_of(words.begin(), words.end(),
                       [&](const std::u32string &w) { return find(text.chars, w) >= 0; });
}

// A slice ends where a fold run starts, so slices fold as the whole text
// does; a text of nothing but marks is cut anyway, a little further on.
static qsizetype sliceEnd(QStringView text, qsizetype from) {
    constexpr qsizetype Slice = 1 << 16, Reach = 256;
    qsizetype end = std::min(text.size(), from + Slice);
    for (const qsizetype last = std::min(text.size(), end + Reach); end < last; ++end) {
        const QChar c = text[end];
        if (c.isLowSurrogate())
            continue;
        const char32_t code = c.isHighSurrogate() && end + 1 < text.size()
                                  ? QChar::surrogateToUcs4(c, text[end + 1])
                                  : char32_t(c.unicode());
        if (startsRun(code))
            break;
    }
    return end;
}

bool containsAll(QStringView text, const std::vector<std::u32string> &words) {
    size_t longest = 0, missing = 0;
    std::vector<bool> found(words.size());
    for (size_t i = 0; i < words.size(); ++i) {
        longest = std::max(longest, words[i].size());
        found[i] = words[i].empty();
        missing += found[i] ? 0 : 1;
    }
    // Each slice is searched with the end of the one before, so a word
    // across the seam is found.
    std::u32string window;
    for (qsizetype at = 0; missing > 0 && at < text.size();) {
        const qsizetype end = sliceEnd(text, at);
        window += fold(text.mid(at, end - at)).chars;
        for (size_t i = 0; i < words.size(); ++i)
            if (!found[i] && find(window, words[i]) >= 0) {
                found[i] = true;
                --missing;
            }
        if (window.size() > longest)
            window.erase(0, window.size() - longest);
        at = end;
    }
    return missing == 0;
}

namespace {

// A character that folds to itself, while no mark follows it.
bool foldsToItself(char32_t c) {
    return (c < 0x80 && !(c >= U'A' && c <= U'Z') && !isBreak(c)) || isIdeograph(c) ||
           (c >= 0x3001 && c <= 0x3003);
}

// Whether the text folded holds term only where the text holds it as it
// stands: each character folds to itself, or starts a run of its own that
// folds to none of term's characters, which no mark joins.
bool foldsApart(QByteArrayView utf8, const std::u32string &term) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(utf8.data());
    std::u32string folded;
    for (int at = 0; at < int(utf8.size());) {
        const char32_t c = decodeUtf8(bytes, int(utf8.size()), at);
        if (foldsToItself(c) || isBreak(c))
            continue;
        if (!startsRun(c))
            return false;
        folded.clear();
        foldInto(c, folded);
        for (char32_t f : folded)
            if (term.find(f) != std::u32string::npos)
                return false;
    }
    return true;
}

// Whether asked stands in the text as runs of its own: what it folds to.
bool standsApart(QByteArrayView utf8, QByteArrayView asked) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(utf8.data());
    int first = 0;
    if (asked.isEmpty() ||
        !startsRun(decodeUtf8(reinterpret_cast<const unsigned char *>(asked.data()),
                              int(asked.size()), first)))
        return false;
    for (qsizetype at = utf8.indexOf(asked); at >= 0; at = utf8.indexOf(asked, at + 1)) {
        int end = int(at + asked.size());
        if (end == utf8.size() || startsRun(decodeUtf8(bytes, int(utf8.size()), end)))
            return true;
    }
    return false;
}

} // namespace

bool holds(QByteArrayView utf8, const std::u32string &term, QStringView typed) {
    std::string written;
    for (char32_t c : term)
        appendUtf8(written, c);
    const QByteArrayView folded(written.data(), qsizetype(written.size()));
    // As folded, it stands for itself where each character folds to itself.
    const bool plain = std::all_of(term.begin(), term.end(), foldsToItself);
    if (standsApart(utf8, typed.toUtf8()) || (plain && standsApart(utf8, folded)))
        return true;
    if (plain && foldsApart(utf8, term))
        return utf8.indexOf(folded) >= 0;
    return containsAll(QStringView(QString::fromUtf8(utf8)), {term});
}

namespace {

struct Hit {
    qsizetype at = -1, end = -1;
};

Hit earliest(const std::u32string &chars, const std::vector<std::u32string> &words) {
    Hit first;
    for (const std::u32string &w : words) {
        const qsizetype at = w.empty() ? -1 : find(chars, w);
        if (at >= 0 && (first.at < 0 || at < first.at))
            first = {at, at + qsizetype(w.size())};
    }
    return first;
}

// Of a text folded only so far: the folded characters before its last run,
// which may fold otherwise once the text goes on.
qsizetype settled(const Folded &folded) {
    qsizetype i = qsizetype(folded.chars.size());
    const qsizetype last = i > 0 ? folded.from[size_t(i - 1)] : 0;
    while (i > 0 && folded.from[size_t(i - 1)] == last)
        --i;
    return i;
}

// The line around a hit in text, and where it ends in text.
Snippet around(const QString &text, const Folded &folded, Hit hit, int width, qsizetype &to) {
    Snippet s;
    qsizetype from = 0, hitFrom = 0, hitTo = 0;
    if (hit.at >= 0) {
        hitFrom = folded.from[size_t(hit.at)];
        // A hit that ends inside a run (one character folded to several)
        // takes the whole run.
        auto last = size_t(hit.end);
        while (last + 1 < folded.from.size() && folded.from[last] == folded.from[last - 1])
            ++last;
        hitTo = folded.from[last];
        from = std::max<qsizetype>(0, hitFrom - width / 4);
        if (from > 0 && text[from].isLowSurrogate())
            --from;
    }
    to = std::min(text.size(), std::max(from + width, hitTo));
    if (to < text.size() && to > 0 && text[to - 1].isHighSurrogate())
        ++to;
    s.text = text.mid(from, to - from);
    for (QChar &c : s.text)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    if (hit.at >= 0) {
        s.hitStart = hitFrom - from;
        s.hitLength = hitTo - hitFrom;
    }
    return s;
}

// Folding eight times as much a round, a hit near the start, as most are,
// costs little more than the text up to it. A hit is taken before the whole
// reach is folded only where no word could begin before it unseen.
std::optional<Snippet> snippetWithin(const QString &text, const std::vector<std::u32string> &words,
                                     int width, bool whole) {
    size_t longest = 0;
    for (const std::u32string &w : words)
        longest = std::max(longest, w.size());
    const qsizetype reach = std::min(text.size(), SnippetReach);
    for (qsizetype limit = std::min<qsizetype>(1024, reach);; limit = std::min(limit * 8, reach)) {
        const Folded folded = fold(text, limit);
        const Hit hit = earliest(folded.chars, words);
        qsizetype to = 0;
        const bool sure = hit.at >= 0 && hit.at + qsizetype(longest) <= settled(folded);
        if (limit == reach && whole)
            return around(text, folded, hit, width, to);
        if (sure) {
            Snippet s = around(text, folded, hit, width, to);
            if (whole || to < text.size())
                return s;
        }
        if (limit == reach)
            return std::nullopt;
    }
}

} // namespace

Snippet snippet(const QString &text, const std::vector<std::u32string> &words, int width) {
    return *snippetWithin(text, words, width, true);
}

std::optional<Snippet> headSnippet(const QString &head, const std::vector<std::u32string> &words,
                                   int width) {
    return snippetWithin(head, words, width, false);
}

namespace {

// Whether a character begins at at, and folding starts afresh with it.
bool cutsAt(QByteArrayView text, qsizetype at) {
    if (at >= text.size())
        return true;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data()) + at;
    if ((bytes[0] & 0xc0) == 0x80)
        return false;
    int read = 0;
    return startsRun(decodeUtf8(bytes, int(std::min<qsizetype>(4, text.size() - at)), read));
}

bool continues(QByteArrayView text, qsizetype at) {
    return at < text.size() && (uchar(text[at]) & 0xc0) == 0x80;
}

// Text of nothing but marks is cut anyway, at a character, this far on.
constexpr qsizetype CutReach = 1024;

} // namespace

std::vector<Piece> pieces(QByteArrayView text) {
    std::vector<Piece> out;
    for (qsizetype from = 0;;) {
        if (text.size() - from <= PieceBytes) {
            out.push_back({from, text.size()});
            return out;
        }
        const qsizetype least = from + PieceBytes;
        qsizetype to = least;
        while (to < least + CutReach && !cutsAt(text, to))
            ++to;
        if (!cutsAt(text, to))
            for (to = least; continues(text, to); ++to) {
            }
        out.push_back({from, to});
        if (to >= text.size())
            return out;
        const qsizetype most = to - PieceOverlap;
        qsizetype next = most;
        while (next > most - CutReach && !cutsAt(text, next))
            --next;
        if (!cutsAt(text, next))
            for (next = most; continues(text, next); --next) {
            }
        from = next;
    }
}

bool registerTokenizer(sqlite3 *db) {
    fts5_api *api = db ? ftsApi(db) : nullptr;
    if (!api)
        return false;
    static fts5_tokenizer tokenizer = {createTokenizer, deleteTokenizer, tokenize};
    return api->xCreateTokenizer(api, TokenizerName, nullptr, &tokenizer, nullptr) == SQLITE_OK;
}

} // namespace SearchText
