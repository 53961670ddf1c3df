// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

// How journal text is matched: Latin letters in one case, full-width forms
// as their ordinary ones and accents with their letters, typed apart or not
// (compatibility folding of the whole text), Chinese as it stands, every
// character a possible start of a match.
namespace SearchText {

// Text folded for matching, with where the source of each folded character
// begins (in UTF-16 units: a character, or a letter with its marks) and,
// past the end, the text's length.
struct Folded {
    std::u32string chars;
    std::vector<qsizetype> from;
};
// At most limit source characters (UTF-16 units) are folded; -1: all.
Folded fold(QStringView text, qsizetype limit = -1);

// The words of a query: separated by blanks, a "quoted phrase" kept whole
// with its blanks (ASCII quotes only); blank words are dropped. Line breaks
// and control characters are blanks, as the index sees them. A pasted page
// would ask the index for thousands of pairs and every entry for as long a
// search: at most MaxQueryWords words of MaxQueryLength characters together
// are kept, and cut says whether anything was left out.
constexpr qsizetype MaxQueryLength = 64;
constexpr qsizetype MaxQueryWords = 8;
QStringList terms(const QString &query, bool *cut = nullptr);
std::vector<std::u32string> foldedTerms(const QStringList &terms);
// An FTS5 expression that asks for every term, through the tokenizer below.
QString matchExpression(const QStringList &terms);
// The tokens a folded term is a phrase of (itself when one character, else
// its pairs), each an FTS5 expression of its own, without repeats. A pair
// that folds to something else when folded again would not ask for what
// the text holds, and is left out: every entry holding the term holds each
// token given.
QList<QByteArray> termTokens(const std::u32string &folded);

// Whether every term occurs in the folded text.
bool containsAll(const Folded &text, const std::vector<std::u32string> &terms);
// The same of a text folded a slice at a time, so that an entry of any
// length costs little memory.
bool containsAll(QStringView text, const std::vector<std::u32string> &terms);
// Whether the text, UTF-8, folded holds term (folded), typed being the term
// as it was asked. Most pieces of Chinese text hold the term as it stands,
// or fold nothing into its characters, and are answered without folding.
bool holds(QByteArrayView utf8, const std::u32string &term, QStringView typed);

// How far into a text a snippet looks for its hit.
constexpr qsizetype SnippetReach = 200000;

// A line for the result list: about width characters of text around the
// first occurrence of any term, line breaks as blanks; hitStart and
// hitLength mark the occurrence within it (hitLength 0: none found).
struct Snippet {
    QString text;
    qsizetype hitStart = 0, hitLength = 0;
};
Snippet snippet(const QString &text, const std::vector<std::u32string> &terms, int width = 40);
// The same of the head of a text that goes on past it: nothing where the
// hit, or the words shown around it, may lie past the head.
std::optional<Snippet> headSnippet(const QString &head, const std::vector<std::u32string> &terms,
                                   int width = 40);

// A long text is indexed in pieces of about PieceBytes of its UTF-8, each
// cut where folding starts afresh, and each overlapping the one before by
// at least PieceOverlap bytes, so that anything a query asks for, which is
// far shorter, lies whole in one piece or another. The cuts depend on the
// text alone: a piece is taken out of the index cut as it was put in.
constexpr qsizetype PieceBytes = 8 * 1024, PieceOverlap = 1024;
struct Piece {
    qsizetype from = 0, to = 0; // in bytes
};
// At least one piece, of valid UTF-8 (as QString::toUtf8 makes it).
std::vector<Piece> pieces(QByteArrayView utf8);

// The FTS5 tokenizer "quillary" on a connection: every character is a token
// and so is every pair of neighbours on a line, which answers one-character
// queries and every longer substring as a phrase of pairs.
bool registerTokenizer(sqlite3 *db);
constexpr const char *TokenizerName = "quillary";

} // namespace SearchText
