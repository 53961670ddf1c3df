// SPDX-License-Identifier: GPL-3.0-or-later
#include "novels/novelpanel.h"

#include "core/apppaths.h"
#include "core/catalogue.h"
#include "core/chapterfile.h"
#include "core/novelimport.h"
#include "core/result.h"
#include "novels/cataloguedialog.h"
#include "widgets/interaction.h"
#include "widgets/panelframe.h"
#include "widgets/picturebutton.h"
#include "widgets/selectionformat.h"
#include "widgets/textwindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPromise>
#include <QScrollBar>
#include <QTextEdit>
#include <QThreadPool>
#include <QTimer>

namespace {
const QColor LastReadColour(178, 34, 34);

// A ribbon in front of the chapter last read, narrow enough for the
// longest caption to fit beside it.
constexpr QSize LastReadMarkSize(8, 16);
QIcon lastReadMark() {
    QPixmap mark(LastReadMarkSize);
    mark.fill(Qt::transparent);
    QPainter p(&mark);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(LastReadColour);
    const QPointF ribbon[] = {{0, 1}, {8, 1}, {8, 15}, {4, 11}, {0, 15}};
    p.drawPolygon(ribbon, 5);
    return QIcon(mark);
}

bool isOwnChapter(const QString &key, int n) {
    const Catalogue::Novel *novel = Catalogue::novel(key);
    const QString own = novel ? AppPaths::userChapterFolder(novel->folder) : QString();
    return !own.isEmpty() && QFileInfo::exists(own + QLatin1Char('/') + QString::number(n));
}
} // namespace

namespace {
// What imports cut short left in the user's chapter folders, put right at
// start: what was done, novel by novel.
QStringList recoverImports() {
    QStringList notes;
    for (const Catalogue::Category &category : Catalogue::categories())
        for (const Catalogue::Novel &novel : category.novels) {
            const QString folder = AppPaths::userChapterFolder(novel.folder);
            if (folder.isEmpty())
                return notes;
            for (const QString &note : NovelImport::recover(folder))
                notes.append(QStringLiteral("《%1》：%2").arg(novel.caption, note));
        }
    return notes;
}
} // namespace

NovelPanel::NovelPanel(QWidget *window, QTimer *timer)
    : PagePanel(window), scrollTimer(timer), catalogueDialog([this, window] {
          auto *b = new CatalogueDialog(window);
          connect(b, &CatalogueDialog::novelChosen, this, &NovelPanel::chooseNovel);
          connect(b, &CatalogueDialog::importRequested, this, &NovelPanel::importNovel);
          return b;
      }),
      m_places(ReadingPlaces::defaultPath()), placeSettled(new QTimer(this)),
      m_recovered(recoverImports()) {
    frame = new PanelFrame(QStringLiteral("Frame4"), this);
    frame->setGeometry(12, 64, 776, 484);
    buildReadingPane();
    buildButtons();
    adoptFrames({frame});

    scrollTimer->setInterval(4000);
    scrollTimer->stop();
    connect(scrollTimer, &QTimer::timeout, this, &NovelPanel::scrollStep);
    connect(chapterList, &QListWidget::itemClicked, this, &NovelPanel::openChapter);
    connect(&m_reading, &QFutureWatcher<QString>::resultReadyAt, this,
            &NovelPanel::showChapterPart);
    chapterList->installEventFilter(this);

    placeSettled->setSingleShot(true);
    placeSettled->setInterval(1000);
    connect(placeSettled, &QTimer::timeout, this, &NovelPanel::keepReadingPlace);
    connect(readingPane->verticalScrollBar(), &QScrollBar::valueChanged, placeSettled,
            qOverload<>(&QTimer::start));
    connect(&m_reading, &QFutureWatcher<QString>::finished, this, [this] {
        if (m_reading.isFinished() && !m_reading.isCanceled())
            m_pendingPlace = 0; // past the end of what was read: the top it is
    });
}

void NovelPanel::buildReadingPane() {
    chapterList = new QListWidget(frame);
    chapterList->setObjectName(QStringLiteral("Listbook"));
    QFont listFont(QStringLiteral("宋体"), 12);
    listFont.setBold(true);
    chapterList->setFont(listFont);
    chapterList->setIconSize(LastReadMarkSize);
    placeTwips(chapterList, 240, 360, 1440, 3900);

    novelKeyBox = new QLineEdit(frame);
    novelKeyBox->setObjectName(QStringLiteral("Textbook"));
    novelKeyBox->hide();

    paneClip = new QFrame(frame);
    paneClip->setObjectName(QStringLiteral("Pictext"));
    placeTwips(paneClip, 1800, 360, 6135, 4575);
    readingPane = new QTextEdit(paneClip);
    readingPane->setObjectName(QStringLiteral("Rtbstory"));
    readingPane->setAcceptRichText(false);
    readingPane->setFont(QFont(QStringLiteral("宋体"), 10));
    QFont reading(QStringLiteral("宋体"));
    reading.setPointSizeF(9.75); // a fraction survives only as a real size
    readingPane->document()->setDefaultFont(reading);
    paneText = new TextWindow(readingPane);
    placePane(0, RestingHeight);
}

void NovelPanel::buildButtons() {
    const struct {
        PictureButton **button;
        const char *name, *art, *tip;
        float left;
    } buttons[] = {
        {&enlargeButton, "fontmax", "zoom-in", "放大", 360},
        {&restoreButton, "fontmini", "zoom-out", "还原", 360},
        {&scrollButton, "sscroll", "scroll", "滚屏显示小说", 840},
        {&stopScrollButton, "scrollstop", "stop", "停止滚屏", 840},
    };
    for (const auto &b : buttons) {
        *b.button = new PictureButton(QString::fromLatin1(b.name), QString::fromLatin1(b.art),
                                      QString::fromUtf8(b.tip), 24, frame);
        placeTwips(*b.button, b.left, 4440, 495, 495);
    }
    restoreButton->hide();
    stopScrollButton->hide();
    connect(enlargeButton, &PictureButton::clicked, this, &NovelPanel::enlargeText);
    connect(restoreButton, &PictureButton::clicked, this, &NovelPanel::restoreText);
    connect(scrollButton, &PictureButton::clicked, this, &NovelPanel::startScrolling);
    connect(stopScrollButton, &PictureButton::clicked, this, &NovelPanel::stopScrolling);
}

int NovelPanel::twipsToPixels(float twips) const {
    return qRound(twips * float(frame->logicalDpiY()) / 1440.0f);
}

void NovelPanel::placeTwips(QWidget *w, float left, float top, float width, float height) {
    w->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                   twipsToPixels(height));
}

void NovelPanel::placePane(float top, float height) {
    m_top = top;
    m_height = height;
    placeTwips(readingPane, 0, top, 6135, height);
}

// Enter opens the highlighted chapter, as a click on it does.
bool NovelPanel::eventFilter(QObject *watched, QEvent *event) {
    if (watched == chapterList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && chapterList->currentItem()) {
            openChapter();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

// A chapter still being read is not wanted any more.
void NovelPanel::stopReading() {
    m_reading.cancel();
    m_reading.setFuture(QFuture<QString>());
    m_pendingPlace = 0;
}

void NovelPanel::openCatalogue() {
    keepReadingPlace();
    m_shownChapter = 0;
    stopReading();
    paneText->setText(QString());
    if (!m_recovered.isEmpty())
        Interaction::current().inform(frame->window(),
                                      std::exchange(m_recovered, {}).join(QLatin1Char('\n')),
                                      QStringLiteral("导入小说文本"));
    catalogueDialog.get()->exec();
}

void NovelPanel::chooseNovel(const QString &key) {
    const Catalogue::Novel *novel = Catalogue::novel(key);
    if (!novel)
        return;
    keepReadingPlace();
    m_shownChapter = 0;
    m_markedRow = -1;
    chapterList->clear();
    chapterList->addItems(Catalogue::chapterCaptions(*novel));
    novelKeyBox->setText(key);
    reopenAtPlace();
}

void NovelPanel::reopenAtPlace() {
    const QString key = novelKeyBox->text();
    const Catalogue::Novel *novel = Catalogue::novel(key);
    const std::optional<ReadingPlaces::Place> kept =
        novel ? m_places.place(novel->folder) : std::nullopt;
    // A chapter gone since (the novel imported again with fewer) opens
    // nothing, as a novel never read does.
    if (!kept || kept->chapter > chapterList->count() ||
        (kept->own && !isOwnChapter(key, kept->chapter)))
        return;
    chapterList->setCurrentRow(kept->chapter - 1);
    chapterList->scrollToItem(chapterList->currentItem(), QAbstractItemView::PositionAtCenter);
    loadChapter(kept->offset);
}

void NovelPanel::openChapter() {
    loadChapter(0);
}

void NovelPanel::loadChapter(qsizetype at) {
    placePane(0, RestingHeight); // a chapter always starts at its top
    const int n = chapterList->currentRow() + 1;
    stopReading();
    m_shownChapter = n;
    m_shownOwn = isOwnChapter(novelKeyBox->text(), n);
    markLastRead(n - 1);
    placeSettled->start();
    // Replacing the text drops every format, that of text typed next included.
    const QString path = Catalogue::chapterPath(novelKeyBox->text(), n);
    if (QFileInfo(path).size() <= ChapterFile::ReadWhileWaitingBytes) {
        paneText->setText(Catalogue::chapterText(novelKeyBox->text(), n).value_or(QString()), at);
        return;
    }
    paneText->setText(QString());
    m_pendingPlace = at;
    auto promise = std::make_shared<QPromise<QString>>();
    m_reading.setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, path] {
        ChapterFile::readInParts(path, HeadBytes, [&](QString part) {
            if (promise->isCanceled())
                return;
            // Line ends made one kind here spare the interface's thread a
            // pass over megabytes; the parts are cut after a line feed.
            part.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            promise->addResult(std::move(part));
        });
        promise->finish();
    });
}

void NovelPanel::showChapterPart(int part) {
    if (part == 0)
        paneText->setText(m_reading.resultAt(0));
    else
        paneText->appendText(m_reading.resultAt(part));
    if (m_pendingPlace > 0 && m_pendingPlace < paneText->size()) {
        paneText->showOffset(m_pendingPlace);
        m_pendingPlace = 0;
    }
}

// What shows at the top of the clipping frame, which the pane may have
// moved above while scrolling by itself.
int NovelPanel::paneClipTop() const {
    return std::max(0, readingPane->viewport()->mapFrom(paneClip, QPoint(0, 0)).y());
}

void NovelPanel::keepReadingPlace() {
    placeSettled->stop();
    const Catalogue::Novel *novel = Catalogue::novel(novelKeyBox->text());
    if (!novel || m_shownChapter < 1)
        return;
    const qsizetype offset =
        m_pendingPlace > 0 ? m_pendingPlace : paneText->offsetAt(paneClipTop());
    m_places.keep(novel->folder, {m_shownChapter, offset, m_shownOwn});
    skipFailure(m_places.save(), "keeping the place in the novel");
}

void NovelPanel::markLastRead(int row) {
    if (QListWidgetItem *old = chapterList->item(m_markedRow)) {
        old->setIcon(QIcon());
        old->setData(Qt::ForegroundRole, QVariant());
    }
    m_markedRow = row;
    if (QListWidgetItem *item = chapterList->item(row)) {
        item->setIcon(lastReadMark());
        item->setForeground(LastReadColour);
    }
}

void NovelPanel::importNovel(const QString &key) {
    const Catalogue::Novel *novel = Catalogue::novel(key);
    const QString folder = novel ? AppPaths::userChapterFolder(novel->folder) : QString();
    if (folder.isEmpty())
        return;
    QWidget *over =
        QApplication::activeModalWidget() ? QApplication::activeModalWidget() : frame->window();
    Interaction &ask = Interaction::current();
    const QString title = QStringLiteral("导入小说文本");
    const QString path =
        ask.chooseOpenFile(over, {{QStringLiteral("文本文件(*.txt)"), {QStringLiteral("txt")}},
                                  {QStringLiteral("所有文件(*)"), {}}});
    if (path.isEmpty())
        return;
    const NovelImport::Text read = NovelImport::read(path);
    if (!read.refusal.isEmpty()) {
        ask.inform(over, read.refusal + QStringLiteral("没有导入任何内容。"), title);
        return;
    }
    const NovelImport::Chapters found = NovelImport::split(read.text, novel->prologue);
    if (found.numbered.isEmpty() && found.prologue.isNull()) {
        ask.inform(over,
                   QStringLiteral("文件中没有找到章节标题（例如“第一%1”）。没有导入任何内容。")
                       .arg(novel->unit),
                   title);
        return;
    }
    const qsizetype count = found.numbered.size();
    const QString prologue = found.prologue.isNull() ? QString() : QStringLiteral("和序幕");
    QString question = QStringLiteral("找到 %1 %2%3，目录中有 %4 %2%5。")
                           .arg(count)
                           .arg(novel->unit, prologue)
                           .arg(novel->chapters)
                           .arg(novel->prologue ? QStringLiteral("和序幕") : QString());
    if (count > novel->chapters)
        question += QStringLiteral("多出的章节也会保存，但目录只列出 %1 %2。")
                        .arg(novel->chapters)
                        .arg(novel->unit);
    if (!ask.confirm(over, question + QStringLiteral("导入吗？"), title))
        return;
    QList<std::pair<int, QString>> files;
    for (qsizetype i = 0; i < count; ++i)
        files.append({int(i) + 1, found.numbered[i]});
    if (!found.prologue.isNull()) {
        // The prologue is the line after the numbered ones in the list.
        const int at = int(std::max<qsizetype>(novel->chapters, count)) + 1;
        files.append({at, found.prologue});
    }
    QStringList notes;
    if (const Result written = NovelImport::write(folder, files, {}, &notes); !written)
        notes.prepend(
            QStringLiteral("导入没有完成：%1。原有的章节没有改动。").arg(written.message()));
    if (!notes.isEmpty())
        ask.inform(over, notes.join(QLatin1Char('\n')), title);
}

void NovelPanel::enlargeText() {
    restoreButton->show();
    enlargeButton->hide();
    applyToSelection(readingPane, {.fontSize = 14});
    applyToSelection(readingPane, {.bold = true});
    applyToSelection(readingPane, {.colour = QColor(0, 0, 255)});
}

void NovelPanel::restoreText() {
    enlargeButton->show();
    restoreButton->hide();
    applyToSelection(readingPane, {.fontSize = 10});
    applyToSelection(readingPane, {.bold = false});
    applyToSelection(readingPane, {.colour = QColor(0, 0, 0)});
}

void NovelPanel::startScrolling() {
    scrollTimer->start();
    stopScrollButton->show();
    scrollButton->hide();
}

void NovelPanel::stopScrolling() {
    scrollTimer->stop();
    placeSettled->start();
    scrollButton->show();
    stopScrollButton->hide();
}

void NovelPanel::scrollStep() {
    const float top = m_top - ScrollStep;
    const float height = m_height + ScrollStep;
    // A widget cannot grow past the toolkit's limit: scrolling ends there.
    if (twipsToPixels(height) > QWIDGETSIZE_MAX || twipsToPixels(-top) > QWIDGETSIZE_MAX) {
        stopScrolling();
        return;
    }
    placePane(top, height);
    placeSettled->start();
}
