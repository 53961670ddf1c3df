#include "novels/novelpanel.h"

#include "novels/book.h"
#include "novels/catalogue.h"
#include "novels/chapterfile.h"
#include "shell/panelframe.h"
#include "shell/picturebutton.h"
#include "shell/selectionformat.h"

#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QTextEdit>
#include <QTimer>

NovelPanel::NovelPanel(QWidget *window, QTimer *scrollTimer)
    : QObject(window), Timertext(scrollTimer), book([this, window] {
          auto *b = new Book(window);
          connect(b, &Book::novelChosen, this, &NovelPanel::chooseNovel);
          return b;
      }) {
    Frame4 = new PanelFrame(QStringLiteral("Frame4"), window);

    Listbook = new QListWidget(Frame4);
    Listbook->setObjectName(QStringLiteral("Listbook"));
    QFont listFont(QStringLiteral("宋体"), 12);
    listFont.setBold(true);
    Listbook->setFont(listFont);
    placeTwips(Listbook, 240, 360, 1440, 3900);

    Textbook = new QLineEdit(Frame4);
    Textbook->setObjectName(QStringLiteral("Textbook"));
    Textbook->hide();

    Pictext = new QFrame(Frame4);
    Pictext->setObjectName(QStringLiteral("Pictext"));
    placeTwips(Pictext, 1800, 360, 6135, 4575);
    Rtbstory = new QTextEdit(Pictext);
    Rtbstory->setObjectName(QStringLiteral("Rtbstory"));
    Rtbstory->setAcceptRichText(false);
    Rtbstory->setFont(QFont(QStringLiteral("宋体"), 10));
    Rtbstory->document()->setDefaultFont(QFont(QStringLiteral("宋体"), 9.75));
    placePane(0, RestingHeight);

    const struct {
        PictureButton **button;
        const char *name, *art, *tip;
        float left;
    } buttons[] = {
        {&fontmax, "fontmax", "zoom-in", "放大", 360},
        {&fontmini, "fontmini", "zoom-out", "还原", 360},
        {&sscroll, "sscroll", "scroll", "滚屏显示小说", 840},
        {&scrollstop, "scrollstop", "stop", "停止滚屏", 840},
    };
    for (const auto &b : buttons) {
        *b.button = new PictureButton(QString::fromLatin1(b.name), QString::fromLatin1(b.art),
                                      QString::fromUtf8(b.tip), 24, Frame4);
        placeTwips(*b.button, b.left, 4440, 495, 495);
    }
    fontmini->hide();
    scrollstop->hide();

    Timertext->setInterval(4000);
    Timertext->stop();
    connect(Timertext, &QTimer::timeout, this, &NovelPanel::Timertext_Timer);
    connect(Listbook, &QListWidget::itemClicked, this, &NovelPanel::Listbook_Click);
    connect(fontmax, &PictureButton::clicked, this, &NovelPanel::fontmax_Click);
    connect(fontmini, &PictureButton::clicked, this, &NovelPanel::fontmini_Click);
    connect(sscroll, &PictureButton::clicked, this, &NovelPanel::sscroll_Click);
    connect(scrollstop, &PictureButton::clicked, this, &NovelPanel::scrollstop_Click);
}

int NovelPanel::twipsToPixels(float twips) const {
    return qRound(twips * float(Frame4->logicalDpiY()) / 1440.0f);
}

void NovelPanel::placeTwips(QWidget *w, float left, float top, float width, float height) {
    w->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                   twipsToPixels(height));
}

void NovelPanel::placePane(float top, float height) {
    m_top = top;
    m_height = height;
    placeTwips(Rtbstory, 0, top, 6135, height);
}

void NovelPanel::openCatalogue() {
    Rtbstory->clear();
    book.get()->exec();
}

void NovelPanel::chooseNovel(const QString &key) {
    const Catalogue::Novel *novel = Catalogue::novel(key);
    if (!novel)
        return;
    Listbook->clear();
    Listbook->addItems(Catalogue::chapterCaptions(*novel));
    Textbook->setText(key);
}

void NovelPanel::Listbook_Click() {
    placePane(0, RestingHeight); // a chapter always starts at its top
    const int n = Listbook->currentRow() + 1;
    const std::optional<QString> text =
        ChapterFile::read(Catalogue::chapterPath(Textbook->text(), n));
    // Replacing the text drops every format, that of text typed next included.
    Rtbstory->setCurrentCharFormat(QTextCharFormat());
    Rtbstory->setPlainText(text.value_or(QString()));
}

void NovelPanel::fontmax_Click() {
    fontmini->show();
    fontmax->hide();
    setSelFontSize(Rtbstory, 14);
    setSelBold(Rtbstory, true);
    setSelColour(Rtbstory, QColor(0, 0, 255));
}

void NovelPanel::fontmini_Click() {
    fontmax->show();
    fontmini->hide();
    setSelFontSize(Rtbstory, 10);
    setSelBold(Rtbstory, false);
    setSelColour(Rtbstory, QColor(0, 0, 0));
}

void NovelPanel::sscroll_Click() {
    Timertext->start();
    scrollstop->show();
    sscroll->hide();
}

void NovelPanel::scrollstop_Click() {
    Timertext->stop();
    sscroll->show();
    scrollstop->hide();
}

void NovelPanel::Timertext_Timer() {
    const float top = m_top - ScrollStep;
    const float height = m_height + ScrollStep;
    // A widget cannot grow past the toolkit's limit: scrolling ends there.
    if (twipsToPixels(height) > QWIDGETSIZE_MAX || twipsToPixels(-top) > QWIDGETSIZE_MAX) {
        scrollstop_Click();
        return;
    }
    placePane(top, height);
}
