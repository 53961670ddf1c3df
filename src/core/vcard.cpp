// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/vcard.h"

#include "core/chapterfile.h"

#include <QList>
#include <QStringDecoder>
#include <optional>

namespace VCard {
namespace {

constexpr qsizetype FoldOctets = 75;
// A picture past this is nobody's face; it is not even decoded.
constexpr qsizetype MostPhotoBytes = 1024 * 1024;

QByteArray propertyLine(const QByteArray &nameAndParams, const QByteArray &value) {
    return fold(nameAndParams + ':' + value) + "\r\n";
}

QByteArray photoLine(const QByteArray &png, Version version) {
    if (version == Version::V40)
        return propertyLine("PHOTO", "data:image/png;base64," + png.toBase64());
    return propertyLine("PHOTO;ENCODING=b;TYPE=PNG", png.toBase64());
}

} // namespace

QByteArray fold(const QByteArray &line) {
    if (line.size() <= FoldOctets)
        return line;
    QByteArray out;
    out.reserve(line.size() + line.size() / 24);
    qsizetype at = 0;
    qsizetype room = FoldOctets;
    while (line.size() - at > room) {
        qsizetype cut = at + room;
        // Back to the lead byte, so no character is split across lines.
        while (cut > at && (uchar(line[cut]) & 0xC0) == 0x80)
            --cut;
        if (cut == at)
            cut = at + room;
        out += QByteArrayView(line).sliced(at, cut - at);
        out += "\r\n ";
        at = cut;
        room = FoldOctets - 1; // the leading blank counts
    }
    out += QByteArrayView(line).sliced(at);
    return out;
}

QString escaped(const QString &text) {
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case ',':
            out += QLatin1String("\\,");
            break;
        case ';':
            out += QLatin1String("\\;");
            break;
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                break; // CR LF is one line break
            out += QLatin1String("\\n");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray write(const Contact &c, Version version, const FacePicture &face) {
    const bool v4 = version == Version::V40;
    QByteArray card = "BEGIN:VCARD\r\nVERSION:";
    card += v4 ? "4.0\r\n" : "3.0\r\n";
    const auto text = [&](const char *property, const QString &value) {
        if (!value.isEmpty())
            card += propertyLine(property, escaped(value).toUtf8());
    };
    card += propertyLine("FN", escaped(c.name).toUtf8());
    card += propertyLine("N", escaped(c.name).toUtf8() + ";;;;");
    text("NICKNAME", c.nickname);
    text(v4 ? "EMAIL" : "EMAIL;TYPE=INTERNET", c.email);
    text(v4 ? "TEL;TYPE=cell" : "TEL;TYPE=CELL", c.mobilephone);
    text(v4 ? "TEL;TYPE=work" : "TEL;TYPE=WORK", c.workphone);
    text(v4 ? "TEL;TYPE=home" : "TEL;TYPE=HOME", c.homephone);
    if (!c.homeaddress.isEmpty() || !c.code.isEmpty())
        card += propertyLine(v4 ? "ADR;TYPE=home" : "ADR;TYPE=HOME",
                             ";;" + escaped(c.homeaddress).toUtf8() + ";;;" +
                                 escaped(c.code).toUtf8() + ';');
    text("NOTE", c.introduce);
    text("X-QQ", c.oicq);
    text("X-ICQ", c.icq);
    if (face && !c.qqpic.isEmpty())
        if (const QByteArray png = face(c.qqpic); !png.isEmpty())
            card += photoLine(png, version);
    card += "END:VCARD\r\n";
    return card;
}

// ---- reading

namespace {

struct Property {
    QByteArray name;         // upper case, without its group
    QList<QByteArray> types; // upper case
    QByteArray encoding;     // upper case
    QByteArray charset;      // upper case
    QByteArray value;        // as written
};

// Where the name and parameters of a line end; searched only so far, so a
// long line without a colon is not searched again at each of its folds.
constexpr qsizetype MostHeadBytes = 4096;

qsizetype colonOf(QByteArrayView line) {
    bool quoted = false;
    const qsizetype end = std::min(line.size(), MostHeadBytes);
    for (qsizetype i = 0; i < end; ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return i;
    }
    return -1;
}

bool isQuotedPrintable(QByteArrayView line) {
    const qsizetype colon = colonOf(line);
    return colon > 0 && line.first(colon).toByteArray().toUpper().contains("QUOTED-PRINTABLE");
}

// Physical lines joined: folds (CR LF and a blank) and quoted-printable soft
// breaks (a value ending in "=") undone. Blank lines go.
std::vector<QByteArray> logicalLines(const QByteArray &bytes) {
    std::vector<QByteArray> lines;
    qsizetype at = 0;
    bool softBreak = false;
    while (at < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            end = bytes.size();
        qsizetype stop = end;
        if (stop > at && bytes[stop - 1] == '\r')
            --stop;
        const QByteArrayView raw(bytes.constData() + at, stop - at);
        at = end + 1;
        const bool folded = !raw.empty() && (raw[0] == ' ' || raw[0] == '\t');
        if (!lines.empty() && softBreak) {
            lines.back().chop(1);
            lines.back() += raw;
        } else if (!lines.empty() && folded) {
            lines.back() += raw.sliced(1);
        } else if (!raw.empty()) {
            lines.emplace_back(raw.toByteArray());
        } else {
            continue;
        }
        softBreak = lines.back().endsWith('=') && isQuotedPrintable(lines.back());
    }
    return lines;
}

QList<QByteArray> splitOutsideQuotes(QByteArrayView head, char separator) {
    QList<QByteArray> parts;
    bool quoted = false;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= head.size(); ++i) {
        if (i < head.size() && head[i] == '"')
            quoted = !quoted;
        if (i == head.size() || (head[i] == separator && !quoted)) {
            parts << head.sliced(from, i - from).toByteArray();
            from = i + 1;
        }
    }
    return parts;
}

void takeParameter(Property &p, const QByteArray &param) {
    const qsizetype eq = param.indexOf('=');
    if (eq < 0) { // 2.1 writes bare words: CELL, HOME, QUOTED-PRINTABLE
        const QByteArray word = param.trimmed().toUpper();
        if (word == "QUOTED-PRINTABLE" || word == "BASE64" || word == "B" || word == "8BIT")
            p.encoding = word;
        else
            p.types << word;
        return;
    }
    const QByteArray key = param.left(eq).trimmed().toUpper();
    QByteArray value = param.mid(eq + 1).trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        value = value.mid(1, value.size() - 2);
    if (key == "TYPE")
        for (const QByteArray &type : value.split(','))
            p.types << type.trimmed().toUpper();
    else if (key == "ENCODING")
        p.encoding = value.toUpper();
    else if (key == "CHARSET")
        p.charset = value.toUpper();
}

std::optional<Property> parseLine(const QByteArray &line) {
    const qsizetype colon = colonOf(line);
    if (colon <= 0)
        return std::nullopt;
    const QList<QByteArray> head = splitOutsideQuotes(QByteArrayView(line).first(colon), ';');
    Property p;
    QByteArray name = head.first().trimmed();
    name = name.mid(name.lastIndexOf('.') + 1); // "item1.TEL": groups only tie lines together
    p.name = name.toUpper();
    if (p.name.isEmpty())
        return std::nullopt;
    for (qsizetype i = 1; i < head.size(); ++i)
        takeParameter(p, head[i]);
    p.value = line.mid(colon + 1);
    return p;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray quotedPrintable(QByteArrayView in) {
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const int high = in[i] == '=' && i + 2 < in.size() ? hexDigit(in[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(in[i + 2]) : -1;
        if (low >= 0) {
            out += char(high * 16 + low);
            i += 2;
        } else if (in[i] != '=' || i + 1 < in.size()) {
            out += in[i]; // a cut or stray "=" stays as written, except at the end
        }
    }
    return out;
}

QString decoded(const QByteArray &bytes, const QByteArray &charset) {
    if (charset.isEmpty())
        return ChapterFile::decode(bytes); // UTF-8, or GBK from a phone that does not say
    if (charset == "UTF-8" || charset == "UTF8")
        return QString::fromUtf8(bytes);
    const bool chinese = charset == "GB2312" || charset == "GBK" || charset == "GB18030" ||
                         charset == "CP936" || charset == "EUC-CN" || charset == "X-GBK";
    QStringDecoder decoder(chinese ? "GB18030" : charset.constData());
    if (!decoder.isValid())
        return ChapterFile::decode(bytes);
    return decoder.decode(bytes);
}

// The value's text with the encoding undone, escapes kept.
QString rawText(const Property &p) {
    const QByteArray bytes = p.encoding == "QUOTED-PRINTABLE" ? quotedPrintable(p.value) : p.value;
    QString text = decoded(bytes, p.charset);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

QString unescaped(QStringView v) {
    QString out;
    out.reserve(v.size());
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] != QLatin1Char('\\') || i + 1 == v.size()) {
            out += v[i];
            continue;
        }
        const QChar next = v[++i];
        out += next == QLatin1Char('n') || next == QLatin1Char('N') ? QChar(u'\n') : next;
    }
    return out;
}

// A structured value (N, ADR) in its components, each unescaped.
QStringList components(const QString &value) {
    QStringList parts;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= value.size(); ++i) {
        if (i < value.size() && value[i] == QLatin1Char('\\')) {
            ++i;
            continue;
        }
        if (i >= value.size() || value[i] == QLatin1Char(';')) {
            parts << unescaped(QStringView(value).sliced(from, std::min(i, value.size()) - from));
            from = i + 1;
        }
    }
    return parts;
}

QString text(const Property &p) {
    return unescaped(rawText(p));
}

QByteArray photoBytes(const Property &p) {
    if (p.value.size() > MostPhotoBytes * 4 / 3 + 64)
        return {};
    QByteArray data = p.value;
    if (data.startsWith("data:")) {
        const qsizetype comma = data.indexOf(',');
        if (comma < 0 || !data.left(comma).contains(";base64"))
            return {};
        data = data.mid(comma + 1);
    } else if (p.encoding != "B" && p.encoding != "BASE64") {
        return {}; // a link to a picture elsewhere: not fetched
    }
    return QByteArray::fromBase64(data);
}

// One card as it is read, property by property.
class CardReader {
public:
    explicit CardReader(const FaceName &faceName) : m_faceName(faceName) {}
    bool bad = false;

    void take(const Property &p);
    bool isEmpty() const { return m_contact == Contact{} && m_extras.isEmpty(); }
    Contact finish();

private:
    void takeTelephone(const Property &p);
    void takeAddress(const Property &p);
    void takeMessaging(const QString &value);
    // The first of a kind fills the field; the rest go to the remark.
    void fill(QString &field, const QString &value, const char *caption);

    const FaceName &m_faceName;
    Contact m_contact;
    QStringList m_name; // N, for a card without FN
    QStringList m_extras;
};

void CardReader::fill(QString &field, const QString &value, const char *caption) {
    if (value.isEmpty())
        return;
    if (field.isEmpty())
        field = value;
    else
        m_extras << QString::fromUtf8(caption) + value;
}

void CardReader::takeTelephone(const Property &p) {
    QString number = text(p);
    if (number.size() > 4 && number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        number = number.mid(4);
    const auto is = [&](const char *type) { return p.types.contains(type); };
    if (is("CELL") || is("MOBILE") || is("IPHONE"))
        fill(m_contact.mobilephone, number, "手机：");
    else if (is("FAX") || is("PAGER"))
        m_extras << (is("FAX") ? QStringLiteral("传真：") : QStringLiteral("寻呼机：")) + number;
    else if (is("WORK"))
        fill(m_contact.workphone, number, "公司电话：");
    else if (is("HOME"))
        fill(m_contact.homephone, number, "家庭电话：");
    else
        fill(m_contact.mobilephone, number, "电话：");
}

void CardReader::takeAddress(const Property &p) {
    const QStringList parts = components(rawText(p));
    const auto part = [&](int i) { return i < parts.size() ? parts[i] : QString(); };
    // Street first, as the program's one line holds it; then the larger places.
    QStringList place;
    for (int i : {2, 1, 0, 3, 4, 6})
        if (!part(i).isEmpty())
            place << part(i);
    const QString address = place.join(QLatin1Char(' '));
    const QString code = part(5);
    const bool home = p.types.contains("HOME") || !p.types.contains("WORK");
    if (home && m_contact.homeaddress.isEmpty() && m_contact.code.isEmpty()) {
        m_contact.homeaddress = address;
        m_contact.code = code;
    } else if (!address.isEmpty() || !code.isEmpty()) {
        m_extras << QStringLiteral("地址：") + address +
                        (code.isEmpty() ? QString() : QString(QLatin1Char(' ') + code));
    }
}

void CardReader::takeMessaging(const QString &value) {
    const qsizetype colon = value.indexOf(QLatin1Char(':'));
    const QString scheme = value.left(colon).toLower();
    const QString id = value.mid(colon + 1);
    if (scheme == QLatin1String("icq"))
        fill(m_contact.icq, id, "ICQ：");
    else if (scheme == QLatin1String("qq") || scheme == QLatin1String("oicq") ||
             scheme == QLatin1String("tencent"))
        fill(m_contact.oicq, id, "OICQ：");
}

void CardReader::take(const Property &p) {
    const QByteArray &n = p.name;
    if (n == "VERSION") {
        const QByteArray v = p.value.trimmed();
        bad = bad || (v != "2.1" && v != "3.0" && v != "4.0");
    } else if (n == "FN") {
        fill(m_contact.name, text(p), "姓名：");
    } else if (n == "N") {
        m_name = components(rawText(p));
    } else if (n == "NICKNAME") {
        fill(m_contact.nickname, text(p), "昵称：");
    } else if (n == "EMAIL") {
        fill(m_contact.email, text(p), "E－MAIL：");
    } else if (n == "TEL") {
        takeTelephone(p);
    } else if (n == "ADR") {
        takeAddress(p);
    } else if (n == "NOTE") {
        fill(m_contact.introduce, text(p), "");
    } else if (n == "X-QQ" || n == "X-OICQ") {
        fill(m_contact.oicq, text(p), "OICQ：");
    } else if (n == "X-ICQ") {
        fill(m_contact.icq, text(p), "ICQ：");
    } else if (n == "IMPP") {
        takeMessaging(text(p));
    } else if (n == "PHOTO" && m_faceName && m_contact.qqpic.isEmpty()) {
        if (const QByteArray picture = photoBytes(p); !picture.isEmpty())
            m_contact.qqpic = m_faceName(picture);
    }
}

Contact CardReader::finish() {
    if (m_contact.name.isEmpty() && !m_name.isEmpty()) {
        // Family name first, as Chinese names are written; a space only
        // between names in Latin letters.
        const QString family = m_name.value(0).trimmed(), given = m_name.value(1).trimmed();
        const bool latin =
            std::all_of(family.begin(), family.end(), [](QChar c) { return c.unicode() < 0x3000; });
        m_contact.name = latin && !family.isEmpty() && !given.isEmpty()
                             ? QString(given + QLatin1Char(' ') + family)
                             : QString(family + given);
    }
    if (!m_extras.isEmpty())
        m_contact.introduce += (m_contact.introduce.isEmpty() ? QString() : QStringLiteral("\n")) +
                               m_extras.join(QLatin1Char('\n'));
    return m_contact;
}

bool isCardBoundary(const std::optional<Property> &p, const char *which) {
    return p && p->name == which && p->value.trimmed().toUpper() == "VCARD";
}

} // namespace

Reading read(const QByteArray &bytes, const FaceName &faceName) {
    Reading reading;
    std::optional<CardReader> card;
    for (const QByteArray &line : logicalLines(bytes)) {
        const std::optional<Property> p = parseLine(line);
        if (isCardBoundary(p, "BEGIN")) {
            reading.isVCard = true;
            if (card)
                ++reading.badCards; // never ended
            card.emplace(faceName);
            continue;
        }
        if (!card)
            continue;
        if (isCardBoundary(p, "END")) {
            if (card->bad || card->isEmpty())
                ++reading.badCards;
            else
                reading.contacts.push_back(card->finish());
            card.reset();
        } else if (!p) {
            card->bad = true;
        } else {
            card->take(*p);
        }
    }
    if (card)
        ++reading.badCards;
    return reading;
}

} // namespace VCard
