// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"

#include "about/aboutbox.h"
#include "about/authorpage.h"
#include "app/backupcoordinator.h"
#include "app/popupmenu.h"
#include "app/trayicon.h"
#include "contacts/contactspanel.h"
#include "core/apppaths.h"
#include "core/drafts.h"
#include "core/records.h"
#include "core/recordset.h"
#include "core/result.h"
#include "core/settingsfile.h"
#include "journal/findjournalwindow.h"
#include "journal/journalpanel.h"
#include "music/backgroundmusic.h"
#include "music/musicplayer.h"
#include "novels/novelpanel.h"
#include "options/optionsdialog.h"
#include "photos/photopanel.h"
#include "transfer/exportdialog.h"
#include "transfer/importdialog.h"
#include "widgets/artwork.h"
#include "widgets/interaction.h"
#include "widgets/labelbutton.h"
#include "widgets/pagepanel.h"
#include "widgets/panelframe.h"
#include "widgets/picturebutton.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <functional>
#include <utility>

namespace {
constexpr int WindowWidth = 800;
constexpr int WindowHeight = 560;

// Beside the notebook, whatever state that file is in.
QString draftsPath(const Store &store) {
    const QString beside = Drafts::pathBeside(store.path());
    if (!beside.isEmpty())
        return beside;
    const QString folder = AppPaths::dataDir();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/drafts.db");
}
} // namespace

MainWindow::MainWindow(Store *store, QWidget *parent, Start start)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::Tool),
      optionsDialog([this] { return makeOptionsDialog(); }), aboutBox([this] {
          auto *box = new AboutBox(this);
          connect(box, &AboutBox::authorPageRequested, this, &MainWindow::showAuthorPage);
          return box;
      }),
      authorPage([] { return new AuthorPage(); }), findJournal([this] {
          auto *window = new FindJournalWindow(m_store, this);
          connect(window, &FindJournalWindow::entryChosen, journal, &JournalPanel::showFoundEntry);
          return window;
      }),
      m_store(store), m_drafts(std::make_unique<Drafts>(draftsPath(*store))),
      m_player(BackgroundMusic::createPlayer()) {
    setObjectName(QStringLiteral("diary"));
    setWindowTitle(QStringLiteral("Quillary"));
    setWindowIcon(Artwork::icon(QStringLiteral("quillary")));
    setFixedSize(WindowWidth, WindowHeight);

    const struct {
        RecordSet **records;
        const char *table, *name;
    } recordSets[] = {{&journalRecords, JournalEntry::Table, "Adodc1"},
                      {&contactRecords, Contact::Table, "Adoadd"},
                      {&photoRecords, Photo::Table, "Adophoto"}};
    for (const auto &r : recordSets) {
        *r.records = new RecordSet(store, QString::fromLatin1(r.table), this);
        (*r.records)->setObjectName(QString::fromLatin1(r.name));
    }

    // A deferred start shows the window before the tables are read, so
    // the first sight of it does not wait for a long journal.
    if (start == Start::Complete)
        openRecords();
    buildControls();
    if (start == Start::Complete)
        buildHiddenPages();
    loadStartState();
}

void MainWindow::openRecords() {
    // An unreadable store leaves empty record sets; the window still opens.
    for (RecordSet *records : {journalRecords, contactRecords, photoRecords})
        skipFailure(records->open(), "opening a table");
}

MainWindow::~MainWindow() {
    journal->keepDraftNow();
    // These refer to this window; they go first.
    delete authorPage.existing();
    delete findJournal.existing();
    delete optionsDialog.existing();
    TrayIcon::removeIcon();
}

void MainWindow::buildControls() {
    buildButtons();

    songLoopTimer = new QTimer(this);
    songLoopTimer->setObjectName(QStringLiteral("Timer1"));
    songLoopTimer->setInterval(200);
    connect(songLoopTimer, &QTimer::timeout, this, &MainWindow::restartFinishedSong);
    songLoopTimer->start();

    novelScrollTimer = new QTimer(this);
    novelScrollTimer->setObjectName(QStringLiteral("Timertext"));
    novelScrollTimer->setInterval(4000);

    journal = new JournalPanel(this, journalRecords, m_drafts.get());
    connect(journal, &PagePanel::popupRequested, this, &MainWindow::popupRequested);
    connect(journal, &JournalPanel::optionsRequested, this, &MainWindow::openOptions);
    connect(journal, &JournalPanel::aboutRequested, this, &MainWindow::openAbout);
    addShortcuts();

    backups = new BackupCoordinator(this, m_store);
    popupMenu = new PopupMenu(this);
    connect(this, &MainWindow::popupRequested, this, &MainWindow::showPopupMenu);
}

void MainWindow::buildButtons() {
    const struct {
        PictureButton **button;
        const char *name, *art, *tip;
        int x;
        void (MainWindow::*show)();
    } pages[] = {
        {&journalPageButton, "Command1", "journal", "日历", 12, &MainWindow::showJournalPage},
        {&photoPageButton, "Command2", "photos", "照片", 68, &MainWindow::showPhotoPage},
        {&novelPageButton, "Command3", "novels", "小说", 124, &MainWindow::showNovelPage},
        {&contactsPageButton, "Command4", "contacts", "地址", 180, &MainWindow::showContactsPage},
    };
    for (const auto &p : pages) {
        *p.button = new PictureButton(QString::fromLatin1(p.name), QString::fromLatin1(p.art),
                                      QString::fromUtf8(p.tip), 40, this);
        (*p.button)->setGeometry(p.x, 6, 52, 52);
        connect(*p.button, &QToolButton::clicked, this, p.show);
    }
    helpButton = new PictureButton(QStringLiteral("helps"), QStringLiteral("help"),
                                   QStringLiteral("帮助 (F1)"), 20, this);
    hideButton = new PictureButton(QStringLiteral("minisys"), QStringLiteral("minimise"),
                                   QStringLiteral("最小化"), 20, this);
    closeButton = new PictureButton(QStringLiteral("exitsys"), QStringLiteral("close"),
                                    QStringLiteral("关闭"), 20, this);
    helpButton->setGeometry(WindowWidth - 104, 8, 28, 28);
    hideButton->setGeometry(WindowWidth - 72, 8, 28, 28);
    closeButton->setGeometry(WindowWidth - 40, 8, 28, 28);
    connect(helpButton, &QToolButton::clicked, this, &MainWindow::openHelp);
    connect(hideButton, &QToolButton::clicked, this, &MainWindow::hideToTray);
    connect(closeButton, &QToolButton::clicked, this, &MainWindow::closeProgram);
}

// The keys a desktop user tries first, each doing what its button does.
void MainWindow::addShortcuts() {
    const struct {
        QKeySequence keys;
        std::function<void()> press;
    } shortcuts[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_S), [this] { journal->save(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { pressIfShown(closeButton); }},
        {QKeySequence(Qt::Key_F1), [this] { pressIfShown(helpButton); }},
        {QKeySequence(Qt::CTRL | Qt::Key_F),
         [this] {
             if (journal->isVisible())
                 openFindJournal();
             else if (contacts)
                 contacts->find();
         }},
    };
    for (const auto &s : shortcuts)
        connect(new QShortcut(s.keys, this), &QShortcut::activated, this, s.press);
}

// The photo, novel and contacts pages, hidden and in the window's colour.
void MainWindow::buildHiddenPages() {
    photos = new PhotoPanel(this, photoRecords);
    novels = new NovelPanel(this, novelScrollTimer);
    contacts = new ContactsPanel(this, contactRecords);
    for (PagePanel *page : std::initializer_list<PagePanel *>{photos, novels, contacts}) {
        connect(page, &PagePanel::popupRequested, this, &MainWindow::popupRequested);
        for (QWidget *surface : page->surfaces())
            paintSurface(surface, backgroundColour());
        page->setPageShown(false);
    }
}

// Start-up steps, in order; none of them can stop the window from opening.
void MainWindow::loadStartState() {
    setBackgroundColour(Settings::DefaultColour);
    journal->showStartState();
    if (!isComplete())
        return; // the rest once the window is on screen
    startMusicIfWanted();
    contacts->loadFaces();
}

void MainWindow::completeStart() {
    if (isComplete())
        return;
    openRecords();
    journal->reloadList();
    buildHiddenPages();
    startMusicIfWanted();
    contacts->loadFaces();
}

// start.ini "1" plays a song drawn at random. Either way the options dialog
// comes into being, hidden.
void MainWindow::startMusicIfWanted() {
    // A missing or unreadable file reads as "no music at the next start".
    const int startFlag = SettingsFile::readFlag(AppPaths::startIniToRead());
    m_settings.noMusicAtNextStart = startFlag == 0;
    if (startFlag == 1) {
        m_settings.song = int(QRandomGenerator::global()->bounded(10)) + 1;
        m_songForDialog = m_settings.song;
    }
    optionsDialog.get();
    if (startFlag == 1)
        BackgroundMusic::start(*m_player, m_settings.song);
}

OptionsDialog *MainWindow::makeOptionsDialog() {
    // Only the dialog made at start-up shows the song drawn then.
    auto *dialog = new OptionsDialog(m_settings, std::exchange(m_songForDialog, 0), this);
    connect(dialog, &OptionsDialog::colourPicked, this, &MainWindow::setBackgroundColour);
    connect(dialog, &OptionsDialog::applied, this, &MainWindow::takeOptions);
    return dialog;
}

void MainWindow::takeOptions(const Settings &chosen) {
    Settings next = chosen;
    if (chosen.musicOn)
        BackgroundMusic::start(*m_player, chosen.song);
    else
        m_player->stop();
    if (!SettingsFile::writeFlag(AppPaths::userStartIni(), chosen.noMusicAtNextStart)) {
        qCInfo(lcSettings) << "start.ini could not be written:" << AppPaths::userStartIni();
        next.noMusicAtNextStart = m_settings.noMusicAtNextStart;
    }
    applySettings(next);
}

void MainWindow::applySettings(const Settings &settings) {
    m_settings = settings;
    setBackgroundColour(settings.colour);
    journal->setShowToday(settings.showToday);
    journal->setStartOfWeek(settings.startOfWeek);
}

QColor MainWindow::backgroundColour() const {
    return surfaceColour(this);
}

QList<QWidget *> MainWindow::colouredSurfaces() const {
    QList<QWidget *> surfaces = {const_cast<MainWindow *>(this)};
    surfaces << journal->surfaces();
    if (isComplete())
        surfaces << photos->surfaces() << novels->surfaces() << contacts->surfaces();
    return surfaces;
}

void MainWindow::setBackgroundColour(const QColor &colour) {
    m_settings.colour = colour;
    for (QWidget *surface : colouredSurfaces())
        paintSurface(surface, colour);
}

// Each page button shows and hides the pages in an order of its own.
void MainWindow::switchPages(std::initializer_list<std::pair<PagePanel *, bool>> steps) {
    for (const auto &[page, shown] : steps)
        page->setPageShown(shown);
}

void MainWindow::showJournalPage() {
    completeStart();
    switchPages({{journal, true}, {photos, false}, {novels, false}, {contacts, false}});
}

void MainWindow::showPhotoPage() {
    completeStart();
    switchPages({{journal, false}, {novels, false}, {photos, true}, {contacts, false}});
    photos->showFirstPhoto();
}

void MainWindow::showNovelPage() {
    completeStart();
    switchPages({{novels, true}, {journal, false}, {photos, false}, {contacts, false}});
    novels->openCatalogue();
}

void MainWindow::showContactsPage() {
    completeStart();
    switchPages({{contacts, true}, {journal, false}, {photos, false}, {novels, false}});
}

void MainWindow::openHelp() {
    Interaction::current().openUrl(QUrl::fromLocalFile(AppPaths::helpPage()));
}

void MainWindow::closeProgram() {
    savePendingEdits();
    QCoreApplication::quit();
}

void MainWindow::pressIfShown(QAbstractButton *button) {
    if (button->isVisible() && button->isEnabled())
        button->click();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    QWidget::closeEvent(event);
    closeProgram();
}

void MainWindow::savePendingEdits() {
    // Typed journal text is on disk before this returns, however the end came.
    journal->keepDraftNow();
    m_drafts->flush();
    for (RecordSet *records : {contactRecords, photoRecords})
        if (records->hasPending() || records->isNewRow())
            skipFailure(records->update(), "writing typed fields at the end");
    if (novels)
        novels->keepReadingPlace();
}

void MainWindow::restartFinishedSong() {
    // A stop lets the queued sound play out, and the song then reads as
    // finished: only music that is on may start again.
    if (m_settings.musicOn && m_player->position() == m_player->length())
        BackgroundMusic::start(*m_player, m_settings.song);
}

void MainWindow::openOptions() {
    optionsDialog.get()->exec();
}

void MainWindow::openFindJournal() {
    if (!journal->isVisibleTo(this))
        showJournalPage();
    FindJournalWindow *window = findJournal.get();
    window->show();
    window->raise();
    window->activateWindow();
    window->focusQuery();
}

void MainWindow::openBackups() {
    backups->openWindow();
}

void MainWindow::reopenStore(const std::function<void()> &whileClosed) {
    savePendingEdits();
    // The search window reads the store on a thread of its own.
    delete findJournal.existing();
    const QString path = m_store->path();
    m_store->close();
    if (whileClosed)
        whileClosed();
    m_store->open(path);
    openRecords();
    journal->reloadList();
    for (RecordSet *records : {contactRecords, photoRecords})
        skipFailure(records->moveFirst(), "showing the reopened notebook");
    if (photos && photos->isVisibleTo(this))
        photos->showFirstPhoto();
    m_store->whenChecked(this, [this](Store::Refusal why) { tellWhyReadOnly(why); });
}

void MainWindow::openExport() {
    ExportDialog dialog(m_store, this);
    dialog.exec();
}

void MainWindow::openImport() {
    ImportDialog dialog(m_store, this);
    connect(&dialog, &ImportDialog::journalImported, this, &MainWindow::rereadJournal);
    connect(&dialog, &ImportDialog::contactsImported, this, &MainWindow::rereadContacts);
    dialog.exec();
}

void MainWindow::rowsAddedElsewhere(const QString &table) {
    const bool journalRows = table == QLatin1String(JournalEntry::Table);
    RecordSet *records = journalRows ? journalRecords : contactRecords;
    if (!journalRows && table != QLatin1String(Contact::Table))
        return;
    // A row being written aside would be counted twice.
    if (records && records->isWriting()) {
        QTimer::singleShot(100, this, [this, table] { rowsAddedElsewhere(table); });
        return;
    }
    if (journalRows)
        rereadJournal();
    else if (records)
        rereadContacts();
}

void MainWindow::rereadJournal() {
    skipFailure(journalRecords->open(), "rereading the journal after an import");
    journal->reloadList();
}

void MainWindow::rereadContacts() {
    // What was typed into the contact on screen is kept, and so is the place.
    savePendingEdits();
    const qint64 shown = contactRecords->currentKey();
    skipFailure(contactRecords->open(), "rereading the contacts after an import");
    skipFailure(shown >= 0 ? contactRecords->moveToKey(shown) : contactRecords->moveFirst(),
                "showing a contact after an import");
}

void MainWindow::openAbout() {
    AboutBox *box = aboutBox.get();
    box->show();
    box->raise();
}

void MainWindow::showAuthorPage(bool modal) {
    if (AuthorPage *open = authorPage.existing(); open && open->isVisible()) {
        open->raise();
        open->activateWindow();
        return;
    }
    AuthorPage *page = authorPage.get();
    if (!modal) {
        page->show();
        return;
    }
    if (AboutBox *box = aboutBox.existing())
        page->setParent(box, page->windowFlags());
    page->exec();
}

// Hidden to the notification area where there is one; elsewhere minimised
// to the task bar, and listed there while minimised so it can come back.
void MainWindow::hideToTray() {
    if (TrayIcon::addIcon(this)) {
        hide();
        return;
    }
    m_onTaskBar = true;
    setWindowType(Qt::Window);
    showMinimized();
}

void MainWindow::setWindowType(Qt::WindowType type) {
    setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | type);
}

void MainWindow::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !m_onTaskBar || isMinimized())
        return;
    m_onTaskBar = false;
    // Back from the task bar: off it again, where it was.
    QTimer::singleShot(0, this, [this] {
        const QPoint at = pos();
        setWindowType(Qt::Tool);
        move(at);
        show();
    });
}

void MainWindow::showPopupMenu(const QPoint &globalPos) {
    popupMenu->popup(globalPos);
}

void MainWindow::mousePressEvent(QMouseEvent *event) {
    // A button that ignores this press passes it on to here; only a press on
    // the window's own background drags it or opens the menu on release.
    m_backgroundPress = !childAt(event->position().toPoint());
    if (!m_backgroundPress) {
        event->ignore();
        return;
    }
    event->accept();
    // A Wayland client cannot place itself; the compositor moves it instead.
    if (event->button() == Qt::LeftButton &&
        QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && windowHandle() &&
        windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOriginGlobal = event->globalPosition().toPoint();
    m_dragOriginWindow = pos();
}

// Follows the pointer's total movement since the press rather than summing
// per-event offsets, which drift when the window manager lags behind moves.
void MainWindow::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
    if (!m_dragging)
        return;
    move(m_dragOriginWindow + (event->globalPosition().toPoint() - m_dragOriginGlobal));
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    m_dragging = false;
    const bool fromBackground = std::exchange(m_backgroundPress, false);
    if (event->button() == Qt::RightButton && fromBackground)
        Q_EMIT popupRequested(event->globalPosition().toPoint());
}

void MainWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    if (m_store) {
        m_store->whenChecked(this, [this](Store::Refusal why) { tellWhyReadOnly(why); });
        m_store->whenFoundDamaged(this, [this] { tellWhyReadOnly(Store::Refusal::Damaged); });
    }
    if (const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        move(placement(screen->availableGeometry(), size()));
}

void MainWindow::tellWhyReadOnly(Store::Refusal why) {
    using R = Store::Refusal;
    const char *reason = nullptr;
    if (why == m_told)
        return;
    m_told = why;
    switch (why) {
    case R::None:
        return;
    case R::WriteProtected:
        reason = "日记本文件不能写入：文件或它所在的文件夹是只读的，或者磁盘已满。";
        break;
    case R::Foreign:
        reason = "这个文件不是本程序的日记本。为了不改动它，";
        break;
    case R::Damaged:
        reason = "日记本文件已损坏，请先备份它。为了不让损坏扩大，";
        break;
    case R::Unreadable:
        reason = "日记本文件无法读取：它不是完好的数据库文件，或者正被其他程序锁住。";
        break;
    }
    const QString text =
        QStringLiteral("%1本次日记本以只读方式打开，所做的修改不会被保存。\n\n%2")
            .arg(QString::fromUtf8(reason), QDir::toNativeSeparators(m_store->path()));
    if (why == R::Damaged)
        backups->offerRescue(text, QStringLiteral("日记本只读"));
    else
        Interaction::current().inform(this, text, QStringLiteral("日记本只读"));
}

QPoint MainWindow::placement(const QRect &available, const QSize &window) {
    // Centred where it fits; on a smaller screen the top edge and the window
    // buttons at the top right stay reachable.
    const int x = window.width() <= available.width()
                      ? available.left() + (available.width() - window.width()) / 2
                      : available.right() + 1 - window.width();
    const int y = window.height() <= available.height()
                      ? available.top() + (available.height() - window.height()) / 2
                      : available.top();
    return {x, y};
}
