#include "shell/diary.h"

#include "about/frmabout.h"
#include "about/introduce.h"
#include "contacts/contactspanel.h"
#include "journal/journalpanel.h"
#include "options/frmoptions.h"
#include "novels/novelpanel.h"
#include "photos/photopanel.h"
#include "shell/artwork.h"
#include "shell/icon.h"
#include "shell/interaction.h"
#include "shell/modummc.h"
#include "shell/musicplayer.h"
#include "shell/labelbutton.h"
#include "shell/panelframe.h"
#include "shell/picturebutton.h"
#include "store/apppaths.h"
#include "store/recordset.h"
#include "store/settingsfile.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindow>

const QColor Diary::DefaultColour(247, 165, 85);

namespace {
constexpr int WindowWidth = 800;
constexpr int WindowHeight = 560;
constexpr int PanelTop = 64;
constexpr int PanelHeight = 484;
} // namespace

Diary::Diary(Store *store, QWidget *parent, Start start)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::Tool),
      MMControl1(Modummc::createPlayer()), options([this] { return new FrmOptions(this); }),
      frmAbout([this] {
          auto *box = new FrmAbout(this);
          connect(box, &FrmAbout::authorPageRequested, this, &Diary::showAuthorPage);
          return box;
      }),
      introduce([] { return new Introduce(); }),
      m_store(store) {
    setObjectName(QStringLiteral("diary"));
    setWindowTitle(QStringLiteral("Quillary"));
    setWindowIcon(Artwork::icon(QStringLiteral("quillary")));
    setFixedSize(WindowWidth, WindowHeight);

    Adodc1 = new RecordSet(store, QStringLiteral("diary"), this);
    Adoadd = new RecordSet(store, QStringLiteral("address"), this);
    Adophoto = new RecordSet(store, QStringLiteral("photo"), this);
    Adodc1->setObjectName(QStringLiteral("Adodc1"));
    Adoadd->setObjectName(QStringLiteral("Adoadd"));
    Adophoto->setObjectName(QStringLiteral("Adophoto"));
    Adodc1->open();
    Adoadd->open();
    Adophoto->open();

    buildControls();
    if (start == Start::Complete)
        buildHiddenPages();
    Form_Load();
}

Diary::~Diary() {
    // These refer to this window; they go first.
    delete introduce.existing();
    delete options.existing();
    icon::removeIcon();
}

void Diary::buildControls() {
    const struct {
        PictureButton **button;
        const char *name, *art, *tip;
        int x;
    } pages[] = {
        {&Command1, "Command1", "journal", "日历", 12},
        {&Command2, "Command2", "photos", "照片", 68},
        {&Command3, "Command3", "novels", "小说", 124},
        {&Command4, "Command4", "contacts", "地址", 180},
    };
    for (const auto &p : pages) {
        *p.button = new PictureButton(QString::fromLatin1(p.name), QString::fromLatin1(p.art),
                                      QString::fromUtf8(p.tip), 40, this);
        (*p.button)->setGeometry(p.x, 6, 52, 52);
    }
    helps = new PictureButton(QStringLiteral("helps"), QStringLiteral("help"),
                              QStringLiteral("帮助"), 20, this);
    minisys = new PictureButton(QStringLiteral("minisys"), QStringLiteral("minimise"),
                                QStringLiteral("最小化"), 20, this);
    exitsys = new PictureButton(QStringLiteral("exitsys"), QStringLiteral("close"),
                                QStringLiteral("关闭"), 20, this);
    helps->setGeometry(WindowWidth - 104, 8, 28, 28);
    minisys->setGeometry(WindowWidth - 72, 8, 28, 28);
    exitsys->setGeometry(WindowWidth - 40, 8, 28, 28);

    connect(Command1, &QToolButton::clicked, this, &Diary::Command1_Click);
    connect(Command2, &QToolButton::clicked, this, &Diary::Command2_Click);
    connect(Command3, &QToolButton::clicked, this, &Diary::Command3_Click);
    connect(Command4, &QToolButton::clicked, this, &Diary::Command4_Click);
    connect(helps, &QToolButton::clicked, this, &Diary::helps_Click);
    connect(exitsys, &QToolButton::clicked, this, &Diary::exitsys_Click);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(200);
    connect(Timer1, &QTimer::timeout, this, &Diary::Timer1_Timer);
    Timer1->start();

    Timertext = new QTimer(this);
    Timertext->setObjectName(QStringLiteral("Timertext"));
    Timertext->setInterval(4000);

    journal = new JournalPanel(this, Adodc1);
    Frame1 = journal->Frame1;
    Frame2 = journal->Frame2;
    Frame1->setGeometry(12, PanelTop, 310, PanelHeight);
    Frame2->setGeometry(330, PanelTop, WindowWidth - 342, PanelHeight);
    for (PanelFrame *f : {Frame1, Frame2})
        connect(f, &PanelFrame::popupRequested, this, &Diary::popupRequested);
    connect(journal->opitions, &LabelButton::clicked, this, &Diary::opitions_Click);
    connect(journal->aboutfrm, &LabelButton::clicked, this, &Diary::aboutfrm_Click);
    connect(minisys, &QToolButton::clicked, this, &Diary::minisys_Click);
    connect(this, &Diary::popupRequested, this, &Diary::showPopupMenu);
}

// The photo, novel and contacts pages, hidden and in the window's colour.
void Diary::buildHiddenPages() {
    photos = new PhotoPanel(this, Adophoto);
    Frame3 = photos->Frame3;
    novels = new NovelPanel(this, Timertext);
    Frame4 = novels->Frame4;
    contacts = new ContactsPanel(this, Adoadd);
    Frame5 = contacts->Frame5;
    for (PanelFrame *f : {Frame3, Frame4, Frame5}) {
        f->setGeometry(12, PanelTop, WindowWidth - 24, PanelHeight);
        connect(f, &PanelFrame::popupRequested, this, &Diary::popupRequested);
        paintSurface(f, backgroundColour());
        f->hide();
    }
}

// Start-up steps, in order; none of them can stop the window from opening.
void Diary::Form_Load() {
    setBackgroundColour(DefaultColour);
    for (PanelFrame *f : {Frame3, Frame4, Frame5})
        if (f)
            f->hide();
    journal->goToToday();
    journal->loaddata();
    journal->save->setEnabled(false);
    if (!isComplete())
        return; // the rest once the window is on screen
    readStartSettings();
    contacts->Loadqq();
}

void Diary::completeStart() {
    if (isComplete())
        return;
    buildHiddenPages();
    readStartSettings();
    contacts->Loadqq();
}

// Music at start: "1" plays a song drawn at random. Either way the options
// dialog comes into being, hidden, and reads the file for itself.
void Diary::readStartSettings() {
    const int flag = SettingsFile::readFlag(AppPaths::startIni());
    FrmOptions *dialog = options.get();
    if (flag != 1)
        return;
    const int song = int(QRandomGenerator::global()->bounded(10)) + 1;
    dialog->Combomid->setEditText(QString::number(song));
    dialog->Textrandom->setText(dialog->Combomid->currentText());
    Modummc::startmusic(*MMControl1, options);
}

QColor Diary::backgroundColour() const { return surfaceColour(this); }

QList<QWidget *> Diary::colouredSurfaces() const {
    QList<QWidget *> surfaces = {const_cast<Diary *>(this), Frame1, Frame2, Frame3, Frame4, Frame5};
    surfaces.removeAll(nullptr);
    return surfaces;
}

void Diary::setBackgroundColour(const QColor &colour) {
    for (QWidget *surface : colouredSurfaces())
        paintSurface(surface, colour);
}

void Diary::Command1_Click() {
    completeStart();
    Frame1->show();
    Frame2->show();
    Frame3->hide();
    Frame4->hide();
    Frame5->hide();
}

void Diary::Command2_Click() {
    completeStart();
    Frame1->hide();
    Frame2->hide();
    Frame4->hide();
    Frame3->show();
    Frame5->hide();
    photos->showFirstPhoto();
}

void Diary::Command3_Click() {
    completeStart();
    Frame4->show();
    Frame1->hide();
    Frame2->hide();
    Frame3->hide();
    Frame5->hide();
    novels->openCatalogue();
}

void Diary::Command4_Click() {
    completeStart();
    Frame5->show();
    Frame1->hide();
    Frame2->hide();
    Frame3->hide();
    Frame4->hide();
}

void Diary::helps_Click() { Interaction::current().openUrl(QUrl::fromLocalFile(AppPaths::helpPage())); }

void Diary::exitsys_Click() {
    savePendingEdits();
    QCoreApplication::quit();
}

void Diary::savePendingEdits() {
    for (RecordSet *records : {Adoadd, Adophoto})
        if (records->hasPending() || records->isNewRow())
            records->update();
}

// A song that has played to its end starts again.
void Diary::Timer1_Timer() {
    if (MMControl1->position() == MMControl1->length())
        Modummc::startmusic(*MMControl1, options);
}

void Diary::opitions_Click() { options.get()->exec(); }

void Diary::aboutfrm_Click() {
    FrmAbout *box = frmAbout.get();
    box->show();
    box->raise();
}

void Diary::showAuthorPage(bool modal) {
    if (Introduce *open = introduce.existing(); open && open->isVisible()) {
        open->raise();
        open->activateWindow();
        return;
    }
    Introduce *page = introduce.get();
    if (!modal) {
        page->show();
        return;
    }
    if (FrmAbout *box = frmAbout.existing())
        page->setParent(box, page->windowFlags());
    page->exec();
}

// Hidden to the notification area only where there is one.
void Diary::minisys_Click() {
    if (icon::addIcon(this))
        hide();
}

void Diary::showPopupMenu(const QPoint &globalPos) { options.get()->menufile->popup(globalPos); }

void Diary::mousePressEvent(QMouseEvent *event) {
    if (childAt(event->position().toPoint())) {
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
void Diary::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
    if (!m_dragging)
        return;
    move(m_dragOriginWindow + (event->globalPosition().toPoint() - m_dragOriginGlobal));
}

void Diary::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    m_dragging = false;
    if (event->button() == Qt::RightButton)
        Q_EMIT popupRequested(event->globalPosition().toPoint());
}

void Diary::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    if (const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}
