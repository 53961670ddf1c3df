// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the ten background songs mid/1.mid to mid/10.mid: Standard MIDI
// Files of public-domain tunes, each with a melody and an accompaniment on
// General MIDI instruments, repeated with changing voices to last over a
// minute.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstdio>

namespace {

QByteArray bytes3(int a, int b, int c) {
    QByteArray out;
    out += char(a);
    out += char(b);
    out += char(c);
    return out;
}
QByteArray bytes2(int a, int b) {
    QByteArray out;
    out += char(a);
    out += char(b);
    return out;
}

constexpr int Division = 480; // ticks per beat

struct Tune {
    const char *name; // what it is and why it is free to use
    int tonic;        // pitch class of the key's tonic
    bool minor;
    int beatsPerMinute;
    QList<int> voices; // melody programs, one per repetition, cycled
    int accompaniment; // program of the accompaniment
    const char *notes; // "E4/1 D4/0.5 ... | ..." with bars split by "|"; R is a rest
};

const Tune tunes[] = {
    {"Ode to Joy (Beethoven, Symphony No. 9, 1824)",
     0,
     false,
     112,
     {0, 73, 40, 56},
     48,
     "E4 E4 F4 G4 | G4 F4 E4 D4 | C4 C4 D4 E4 | E4/1.5 D4/0.5 D4/2 | E4 E4 F4 G4 | G4 F4 E4 D4 |"
     " C4 C4 D4 E4 | D4/1.5 C4/0.5 C4/2 | D4 D4 E4 C4 | D4 E4/0.5 F4/0.5 E4 C4 |"
     " D4 E4/0.5 F4/0.5 E4 D4 | C4 D4 G3/2 | E4 E4 F4 G4 | G4 F4 E4 D4 | C4 C4 D4 E4 |"
     " D4/1.5 C4/0.5 C4/2"},
    {"Ah! vous dirai-je, maman (French folk tune, 18th century)",
     0,
     false,
     100,
     {10, 8, 11, 9},
     0,
     "C4 C4 G4 G4 | A4 A4 G4/2 | F4 F4 E4 E4 | D4 D4 C4/2 | G4 G4 F4 F4 | E4 E4 D4/2 |"
     " G4 G4 F4 F4 | E4 E4 D4/2 | C4 C4 G4 G4 | A4 A4 G4/2 | F4 F4 E4 E4 | D4 D4 C4/2"},
    {"Frere Jacques (French folk round, 18th century)",
     0,
     false,
     116,
     {71, 68, 72, 70},
     32,
     "C4 D4 E4 C4 | C4 D4 E4 C4 | E4 F4 G4/2 | E4 F4 G4/2 |"
     " G4/0.5 A4/0.5 G4/0.5 F4/0.5 E4 C4 | G4/0.5 A4/0.5 G4/0.5 F4/0.5 E4 C4 |"
     " C4 G3 C4/2 | C4 G3 C4/2"},
    {"Jasmine Flower (Chinese folk song, 18th century)",
     0,
     false,
     72,
     {73, 107, 75, 104},
     46,
     "E4 E4/0.5 G4/0.5 A4/0.5 C5/0.5 C5/0.5 A4/0.5 | G4 G4/0.5 A4/0.5 G4/2 |"
     " E4 E4/0.5 G4/0.5 A4/0.5 C5/0.5 C5/0.5 A4/0.5 | G4 G4/0.5 A4/0.5 G4/2 |"
     " G4 G4 G4 E4/0.5 G4/0.5 | A4 A4 G4/2 | E4 D4/0.5 E4/0.5 G4 E4/0.5 D4/0.5 |"
     " C4 C4/0.5 D4/0.5 C4/2 | E4/0.5 D4/0.5 C4/0.5 E4/0.5 D4/1.5 E4/0.5 |"
     " G4 A4/0.5 C5/0.5 G4/2 | D4 E4/0.5 G4/0.5 D4/0.5 E4/0.5 C4/0.5 A3/0.5 | G3/3 R/1"},
    {"Auld Lang Syne (Scottish folk song)",
     0,
     false,
     88,
     {22, 21, 0, 74},
     19,
     "G3 | C4/1.5 C4/0.5 C4 E4 | D4/1.5 C4/0.5 D4 E4/0.5 D4/0.5 | C4/1.5 C4/0.5 E4 G4 |"
     " A4/3 A4 | G4/1.5 E4/0.5 E4 C4 | D4/1.5 C4/0.5 D4 E4/0.5 D4/0.5 |"
     " C4/1.5 A3/0.5 A3 G3 | C4/3"},
    {"Greensleeves (English folk tune, 16th century)",
     9,
     true,
     150,
     {24, 73, 46, 68},
     48,
     "A4 | C5/2 D5 | E5/1.5 F5/0.5 E5 | D5/2 B4 | G4/1.5 A4/0.5 B4 | C5/2 A4 |"
     " A4/1.5 G#4/0.5 A4 | B4/2 G#4 | E4/2 A4 | C5/2 D5 | E5/1.5 F5/0.5 E5 | D5/2 B4 |"
     " G4/1.5 A4/0.5 B4 | C5/1.5 B4/0.5 A4 | G#4/1.5 F#4/0.5 G#4 | A4/3 | A4/3"},
    {"New Britain, the hymn tune of Amazing Grace (1829)",
     7,
     false,
     80,
     {19, 52, 42, 73},
     49,
     "D4 | G4/2 B4/0.5 G4/0.5 | B4/2 A4 | G4/2 E4 | D4/2 D4 | G4/2 B4/0.5 G4/0.5 | B4/2 A4 |"
     " D5/3 | D5/2 B4 | D5/2 B4/0.5 G4/0.5 | B4/2 A4 | G4/2 E4 | D4/2 D4 |"
     " G4/2 B4/0.5 G4/0.5 | B4/2 A4 | G4/3"},
    {"Wiegenlied, Brahms' Lullaby (1868)",
     0,
     false,
     84,
     {10, 46, 11, 0},
     48,
     "E4/0.5 E4/0.5 | G4/2 E4/0.5 E4/0.5 | G4/2 E4/0.5 G4/0.5 | C5 B4/1.5 A4/0.5 |"
     " A4 G4 D4/0.5 E4/0.5 | F4 D4 D4/0.5 E4/0.5 | F4/2 D4/0.5 F4/0.5 | B4/0.5 A4/0.5 G4 B4 |"
     " C5/2 C4/0.5 C4/0.5 | C5/2 A4/0.5 F4/0.5 | G4/2 E4/0.5 C4/0.5 | F4 G4 A4 |"
     " G4/2 C4/0.5 C4/0.5 | C5/2 A4/0.5 F4/0.5 | G4/2 E4/0.5 C4/0.5 | F4 E4 D4 | C4/3"},
    {"Oh! Susanna (Stephen Foster, 1848)",
     0,
     false,
     120,
     {25, 105, 22, 24},
     32,
     "C4/0.5 D4/0.5 | E4 G4 G4/1.5 A4/0.5 | G4 E4 C4/1.5 D4/0.5 | E4 E4 D4 C4 |"
     " D4/3 C4/0.5 D4/0.5 | E4 G4 G4/1.5 A4/0.5 | G4 E4 C4/1.5 D4/0.5 | E4 E4 D4 D4 |"
     " C4/3 R/1 | F4/2 F4/2 | A4 A4/2 A4 | G4 G4 E4 C4 | D4/3 C4/0.5 D4/0.5 |"
     " E4 G4 G4/1.5 A4/0.5 | G4 E4 C4/1.5 D4/0.5 | E4 E4 D4 D4 | C4/4"},
    {"Minuet in G (Christian Petzold, about 1725)",
     7,
     false,
     126,
     {6, 0, 46, 73},
     48,
     "D5 G4/0.5 A4/0.5 B4/0.5 C5/0.5 | D5 G4 G4 | E5 C5/0.5 D5/0.5 E5/0.5 F#5/0.5 | G5 G4 G4 |"
     " C5 D5/0.5 C5/0.5 B4/0.5 A4/0.5 | B4 C5/0.5 B4/0.5 A4/0.5 G4/0.5 |"
     " F#4 G4/0.5 A4/0.5 B4/0.5 G4/0.5 | A4/3 | D5 G4/0.5 A4/0.5 B4/0.5 C5/0.5 | D5 G4 G4 |"
     " E5 C5/0.5 D5/0.5 E5/0.5 F#5/0.5 | G5 G4 G4 | C5 D5/0.5 C5/0.5 B4/0.5 A4/0.5 |"
     " B4 C5/0.5 B4/0.5 A4/0.5 G4/0.5 | A4 B4/0.5 A4/0.5 G4/0.5 F#4/0.5 | G4/3"},
};

struct Note {
    int pitch; // -1 for a rest
    double beats;
};
using Bar = QList<Note>;

int parsePitch(const QString &name) {
    if (name == QLatin1String("R"))
        return -1;
    static const int steps[] = {9, 11, 0, 2, 4, 5, 7}; // A..G
    int pc = steps[name[0].toLatin1() - 'A'];
    int i = 1;
    if (name[i] == QLatin1Char('#')) {
        ++pc;
        ++i;
    } else if (name[i] == QLatin1Char('b')) {
        --pc;
        ++i;
    }
    const int octave = name.mid(i).toInt();
    return 12 * (octave + 1) + pc;
}

QList<Bar> parse(const char *notes) {
    QList<Bar> bars;
    for (const QString &barText : QString::fromLatin1(notes).split(QLatin1Char('|'))) {
        Bar bar;
        for (const QString &token : barText.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QStringList parts = token.split(QLatin1Char('/'));
            bar << Note{parsePitch(parts[0]), parts.size() > 1 ? parts[1].toDouble() : 1.0};
        }
        bars << bar;
    }
    return bars;
}

// The triad of the key that holds most of the bar's melody, weighted by length.
QList<int> chordFor(const Bar &bar, const Tune &tune) {
    const QList<QList<int>> major = {{0, 4, 7}, {5, 9, 0}, {7, 11, 2}, {9, 0, 4}};
    const QList<QList<int>> minor = {{0, 3, 7}, {5, 8, 0}, {7, 11, 2}, {8, 0, 3}};
    const auto &choices = tune.minor ? minor : major;
    QList<int> best = choices[0];
    double bestScore = -1;
    for (const auto &chord : choices) {
        double score = 0;
        for (const Note &n : bar)
            if (n.pitch >= 0 && chord.contains(((n.pitch - tune.tonic) % 12 + 12) % 12))
                score += n.beats;
        if (score > bestScore + 1e-9) {
            bestScore = score;
            best = chord;
        }
    }
    QList<int> pitches;
    for (int step : best)
        pitches << (tune.tonic + step) % 12;
    return pitches;
}

void variableLength(QByteArray &out, quint32 value) {
    QByteArray bytes;
    bytes.prepend(char(value & 0x7f));
    while (value >>= 7)
        bytes.prepend(char((value & 0x7f) | 0x80));
    out += bytes;
}

struct Event {
    quint32 tick;
    QByteArray data;
};

QByteArray track(QList<Event> events) {
    std::stable_sort(events.begin(), events.end(),
                     [](const Event &a, const Event &b) { return a.tick < b.tick; });
    QByteArray body;
    quint32 last = 0;
    for (const Event &e : events) {
        variableLength(body, e.tick - last);
        body += e.data;
        last = e.tick;
    }
    body += QByteArray("\x00\xFF\x2F\x00", 4);
    QByteArray chunk("MTrk");
    const quint32 n = quint32(body.size());
    chunk += char(n >> 24);
    chunk += char(n >> 16);
    chunk += char(n >> 8);
    chunk += char(n);
    return chunk + body;
}

void note(QList<Event> &events, int channel, int pitch, quint32 start, quint32 length,
          int velocity) {
    events << Event{start, bytes3(0x90 | channel, pitch, velocity)};
    events << Event{start + length, bytes3(0x80 | channel, pitch, 0)};
}

QByteArray song(const Tune &tune) {
    const QList<Bar> bars = parse(tune.notes);
    double beats = 0;
    for (const Bar &b : bars)
        for (const Note &n : b)
            beats += n.beats;
    const double seconds = beats * 60.0 / tune.beatsPerMinute;
    const int rounds = int(std::ceil(65.0 / seconds));

    QList<Event> melody, accompaniment;
    accompaniment << Event{0, bytes2(0xC1, tune.accompaniment)};
    quint32 tick = 0;
    for (int round = 0; round < rounds; ++round) {
        const int voice = tune.voices[round % tune.voices.size()];
        melody << Event{tick, bytes2(0xC0, voice)};
        const int lift = round % 2 == 1 && voice != 0 ? 12 : 0;
        for (const Bar &bar : bars) {
            const QList<int> chord = chordFor(bar, tune);
            double barBeats = 0;
            for (const Note &n : bar) {
                const quint32 len = quint32(n.beats * Division);
                if (n.pitch >= 0)
                    note(melody, 0, std::min(n.pitch + lift, 108),
                         tick + quint32(barBeats * Division), len - len / 10, 96);
                barBeats += n.beats;
            }
            // Bass on the bar's first beat, the chord broken over the others.
            const int whole = std::max(1, int(std::round(barBeats)));
            for (int beat = 0; beat < whole; ++beat) {
                const quint32 at = tick + quint32(beat * Division);
                if (beat == 0)
                    note(accompaniment, 1, 36 + chord[0], at, Division - 40, 70);
                else
                    note(accompaniment, 1, 48 + chord[beat % 3], at, Division - 40, 52);
            }
            tick += quint32(barBeats * Division);
        }
    }
    // A closing chord.
    for (int pc : chordFor(Bar{Note{tune.tonic + 60, 1}}, tune))
        note(accompaniment, 1, 48 + pc, tick, Division * 3, 60);
    note(accompaniment, 1, 36 + tune.tonic, tick, Division * 3, 70);

    QList<Event> meta;
    const quint32 tempo = quint32(60000000 / tune.beatsPerMinute);
    meta << Event{0, QByteArray("\xFF\x51\x03", 3) + char(tempo >> 16) + char(tempo >> 8) +
                         char(tempo)};
    const QByteArray title(tune.name);
    QByteArray nameEvent("\xFF\x03", 2);
    variableLength(nameEvent, quint32(title.size()));
    meta << Event{0, nameEvent + title};

    QByteArray file("MThd\x00\x00\x00\x06\x00\x01\x00\x03", 12);
    file += char(Division >> 8);
    file += char(Division & 0xff);
    return file + track(meta) + track(melody) + track(accompaniment);
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makesongs <folder>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral(".")))
        return 1;
    int n = 1;
    for (const Tune &tune : tunes) {
        QFile f(dir.filePath(QStringLiteral("%1.mid").arg(n++)));
        const QByteArray bytes = song(tune);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
    }
    return 0;
}
