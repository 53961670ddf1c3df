// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backupcoordinator.h"

#include "app/mainwindow.h"
#include "backups/backupkeeper.h"
#include "backups/backupswindow.h"
#include "core/snapshots.h"
#include "core/store.h"
#include "widgets/interaction.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace {

QString countsText(const char *pattern, const NotebookCounts &rows) {
    return QString::fromUtf8(pattern)
        .arg(std::max<qint64>(rows.entries, 0))
        .arg(std::max<qint64>(rows.contacts, 0))
        .arg(std::max<qint64>(rows.photos, 0));
}

} // namespace

BackupCoordinator::BackupCoordinator(MainWindow *owner, Store *store)
    : QObject(owner), backupsWindow([this] {
          auto *shown = new BackupsWindow(keeper(), m_window);
          connect(shown, &BackupsWindow::restoreRequested, this, &BackupCoordinator::restore);
          connect(shown, &BackupsWindow::mergeRequested, this, &BackupCoordinator::merge);
          return shown;
      }),
      m_window(owner), m_store(store), m_timer(new QTimer(this)) {
    m_timer->setInterval(IntervalMinutes * 60 * 1000);
    connect(m_timer, &QTimer::timeout, this, &BackupCoordinator::snapshotIfWritten);
}

BackupCoordinator::~BackupCoordinator() {
    delete backupsWindow.existing();
}

BackupKeeper *BackupCoordinator::keeper() {
    if (!m_keeper) {
        const QString notebook = m_store ? m_store->path() : QString();
        m_keeper = new BackupKeeper(notebook, Snapshots::folderFor(notebook), this);
    }
    return m_keeper;
}

void BackupCoordinator::startSchedule() {
    if (!m_store || m_store->path().isEmpty() || !QFileInfo::exists(m_store->path()))
        return;
    m_fingerprintAtSnapshot = storeFingerprint();
    // When nothing was written since the newest sound copy was taken, that
    // copy already is the state before this session: a start then copies no
    // notebook, however large.
    const Snapshots::Snapshot newest =
        Snapshots::newestVerified(Snapshots::folderFor(m_store->path()));
    if (!newest.time.isValid() || writtenSince(newest))
        keeper()->snapshot();
    m_timer->start();
}

// The file's time moves with every write that reached it, and the log's
// with every write not yet moved into the file. A copy's time is its name's
// second, cut from the moment it began: a write in that second may have
// come before the copy or after it, and is taken as after.
bool BackupCoordinator::writtenSince(const Snapshots::Snapshot &copy) const {
    const QDateTime after = copy.time.addMSecs(-FileClockSlackMs);
    // A name later than the copy's own file or than now was given in another
    // time zone, or before the clock was set back: it tells nothing.
    if (after > QFileInfo(copy.path).lastModified() || after > QDateTime::currentDateTime())
        return true;
    const QFileInfo file(m_store->path());
    const QFileInfo log(m_store->path() + QStringLiteral("-wal"));
    return file.lastModified() >= after || (log.size() > 0 && log.lastModified() >= after);
}

// The store file and its log change with every write, checkpoints included.
QByteArray BackupCoordinator::storeFingerprint() const {
    QByteArray print;
    for (const QString &file :
         QStringList{m_store->path(), m_store->path() + QStringLiteral("-wal")}) {
        const QFileInfo info(file);
        print += QByteArray::number(info.size()) + ' ' +
                 QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + ' ';
    }
    return print;
}

void BackupCoordinator::snapshotIfWritten() {
    const QByteArray now = storeFingerprint();
    if (now == m_fingerprintAtSnapshot || keeper()->isWorking())
        return;
    m_fingerprintAtSnapshot = now;
    keeper()->snapshot();
}

BackupsWindow *BackupCoordinator::openWindow() {
    BackupsWindow *shown = backupsWindow.get();
    shown->show();
    shown->raise();
    shown->activateWindow();
    return shown;
}

void BackupCoordinator::tell(const QString &line, bool boxToo) {
    if (BackupsWindow *shown = backupsWindow.existing())
        shown->tell(line);
    if (boxToo)
        Interaction::current().inform(
            backupsWindow.existing() ? static_cast<QWidget *>(backupsWindow.existing()) : m_window,
            line, QStringLiteral("备份"));
}

void BackupCoordinator::restore(const QString &snapshot) {
    m_window->savePendingEdits();
    tell(QStringLiteral("正在备份现在的日记本…"), false);
    // The snapshot restored must outlive the one taken first.
    keeper()->snapshot(
        [this, snapshot](const Snapshots::Outcome &before) {
            if (!before.result) {
                tell(QStringLiteral("现在的日记本没能先备份，所以没有恢复。\n%1")
                         .arg(before.result.message()),
                     true);
                return;
            }
            Result restored;
            m_window->reopenStore(
                [&] { restored = Snapshots::restore(snapshot, m_store->path()); });
            tell(restored ? QStringLiteral("已恢复。恢复之前的日记本备份为 %1。")
                                .arg(QFileInfo(before.path).fileName())
                          : restored.message(),
                 true);
            Q_EMIT keeper()->snapshotsChanged();
        },
        false);
}

void BackupCoordinator::merge(const QString &file) {
    if (!m_store || !m_store->readyToWrite()) {
        tell(QStringLiteral("日记本现在是只读的，不能合并。"), true);
        return;
    }
    m_window->savePendingEdits();
    tell(QStringLiteral("正在合并…"), false);
    keeper()->merge(file, [this](const NotebookMerge::Outcome &out) {
        if (!out.result) {
            tell(out.result.message(), true);
            return;
        }
        if (out.rows.entries + out.rows.contacts + out.rows.photos > 0)
            m_window->reopenStore({});
        tell(countsText("新增日记 %1 篇，联系人 %2 位，照片 %3 张", out.rows), true);
    });
}

void BackupCoordinator::salvage() {
    const QString notebook = m_store->path();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString into = notebook + QStringLiteral(".salvaged-") + stamp;
    const QString keptAs = notebook + QStringLiteral(".damaged-") + stamp;
    keeper()->salvage(into, [this, notebook, into, keptAs](const NotebookMerge::Outcome &out) {
        if (!out.result) {
            tell(out.result.message(), true);
            return;
        }
        Result placed;
        m_window->reopenStore([&] { placed = Snapshots::putInPlace(into, notebook, keptAs); });
        if (!placed) {
            QFile::remove(into);
            tell(placed.message(), true);
            return;
        }
        tell(countsText("抢救出日记 %1 篇，联系人 %2 位，照片 %3 张", out.rows) +
                 QStringLiteral("\n\n损坏的日记本原样保留为：\n%1")
                     .arg(QDir::toNativeSeparators(keptAs)),
             true);
    });
}

void BackupCoordinator::offerRescue(const QString &text, const QString &title) {
    const Snapshots::Snapshot newest = Snapshots::newestVerified(keeper()->folder());
    QStringList buttons;
    if (!newest.path.isEmpty())
        buttons << QStringLiteral("恢复 %1 的备份")
                       .arg(newest.time.toString(QStringLiteral("M月d日 HH:mm")));
    buttons << QStringLiteral("抢救") << QStringLiteral("关闭");
    const int chosen = Interaction::current().choose(m_window, text, title, buttons);
    if (chosen == buttons.size() - 2)
        salvage();
    else if (chosen == 0 && !newest.path.isEmpty())
        restore(newest.path);
}
