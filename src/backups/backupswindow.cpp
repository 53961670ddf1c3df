// SPDX-License-Identifier: GPL-3.0-or-later
#include "backups/backupswindow.h"

#include "widgets/interaction.h"
#include "widgets/labelbutton.h"

#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString counted(qint64 n) {
    return n < 0 ? QStringLiteral("?") : QString::number(n);
}

QString sizeText(qint64 bytes) {
    return QLocale::system().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QPushButton *button(const char *name, const char *caption, QWidget *parent) {
    auto *b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

BackupsWindow::BackupsWindow(BackupKeeper *keeper, QWidget *owner)
    : QWidget(owner, Qt::Window), m_keeper(keeper) {
    setObjectName(QStringLiteral("backups"));
    setWindowTitle(QStringLiteral("备份"));
    buildControls();
    connect(nowButton, &QPushButton::clicked, this, &BackupsWindow::backUpNow);
    connect(restoreButton, &QPushButton::clicked, this, &BackupsWindow::restoreChosen);
    connect(mergeButton, &QPushButton::clicked, this, &BackupsWindow::mergeOther);
    connect(list, &QTreeWidget::itemSelectionChanged, this,
            [this] { restoreButton->setEnabled(!m_keeper->isWorking() && list->currentItem()); });
    connect(openFolder, &LabelButton::clicked, this, [this] {
        QDir().mkpath(m_keeper->folder());
        Interaction::current().openUrl(QUrl::fromLocalFile(m_keeper->folder()));
    });
    connect(keeper, &BackupKeeper::workingChanged, this, &BackupsWindow::setWorking);
    connect(keeper, &BackupKeeper::progress, this, &BackupsWindow::showProgress);
    connect(keeper, &BackupKeeper::snapshotsChanged, this, &BackupsWindow::refresh);
    setWorking(keeper->isWorking());
    resize(620, 420);
}

void BackupsWindow::buildControls() {
    list = new QTreeWidget(this);
    list->setObjectName(QStringLiteral("backuplist"));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setHeaderLabels({QStringLiteral("日期和时间"), QStringLiteral("日记"),
                           QStringLiteral("联系人"), QStringLiteral("照片"),
                           QStringLiteral("大小")});
    list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list->header()->setStretchLastSection(false);
    folderLabel = new QLabel(QDir::toNativeSeparators(m_keeper->folder()), this);
    folderLabel->setObjectName(QStringLiteral("backupfolder"));
    folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    openFolder =
        new LabelButton(QStringLiteral("backupopenfolder"), QStringLiteral("打开备份文件夹"), this);
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("backupstatus"));
    status->setWordWrap(true);
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("backupprogress"));
    progressBar->hide();
    nowButton = button("backupnow", "立即备份", this);
    restoreButton = button("backuprestore", "恢复", this);
    mergeButton = button("backupmerge", "合并另一本日记…", this);

    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("备份文件夹："), this));
    folderRow->addWidget(folderLabel, 1);
    folderRow->addWidget(openFolder);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(nowButton);
    buttons->addWidget(restoreButton);
    buttons->addStretch(1);
    buttons->addWidget(mergeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(list, 1);
    layout->addLayout(folderRow);
    layout->addWidget(status);
    layout->addWidget(progressBar);
    layout->addLayout(buttons);
}

void BackupsWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    refresh();
}

void BackupsWindow::tell(const QString &line) {
    status->setText(line);
}

void BackupsWindow::refresh() {
    if (!m_keeper->roomLine().isEmpty() && status->text().isEmpty())
        tell(m_keeper->roomLine());
    // The keeper may answer after this window is gone.
    m_keeper->list([self = QPointer(this)](const std::vector<BackupKeeper::Listed> &rows) {
        if (self)
            self->fill(rows);
    });
}

void BackupsWindow::fill(const std::vector<BackupKeeper::Listed> &rows) {
    const QString chosen =
        list->currentItem() ? list->currentItem()->data(0, Qt::UserRole).toString() : QString();
    m_rows = rows;
    list->clear();
    for (const BackupKeeper::Listed &row : rows) {
        QString when = row.snapshot.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!row.snapshot.verified)
            when += QStringLiteral("（损坏的日记本的副本）");
        auto *item = new QTreeWidgetItem(
            list, {when, counted(row.counts.entries), counted(row.counts.contacts),
                   counted(row.counts.photos), sizeText(row.snapshot.bytes)});
        item->setData(0, Qt::UserRole, row.snapshot.path);
        for (int column = 1; column < 5; ++column)
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        if (row.snapshot.path == chosen)
            list->setCurrentItem(item);
    }
    for (int column = 1; column < 5; ++column)
        list->resizeColumnToContents(column);
    if (!list->currentItem() && list->topLevelItemCount() > 0)
        list->setCurrentItem(list->topLevelItem(0));
    restoreButton->setEnabled(!m_keeper->isWorking() && list->currentItem());
}

void BackupsWindow::setWorking(bool working) {
    nowButton->setEnabled(!working);
    mergeButton->setEnabled(!working);
    restoreButton->setEnabled(!working && list->currentItem());
    if (!working) {
        progressBar->hide();
        m_progressSince = -1;
    }
}

// Shown only once a snapshot has taken more than a second.
void BackupsWindow::showProgress(int percent) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (m_progressSince < 0)
        m_progressSince = now;
    progressBar->setValue(percent);
    if (now - m_progressSince > 1000 && percent < 100)
        progressBar->show();
}

void BackupsWindow::backUpNow() {
    tell(QStringLiteral("正在备份…"));
    m_keeper->snapshot([self = QPointer(this)](const Snapshots::Outcome &out) {
        if (!self)
            return;
        self->tell(out.result ? QStringLiteral("已备份：日记 %1 篇，联系人 %2 位，照片 %3 张。")
                                    .arg(out.counts.entries)
                                    .arg(out.counts.contacts)
                                    .arg(out.counts.photos)
                              : out.result.message());
    });
}

void BackupsWindow::restoreChosen() {
    QTreeWidgetItem *item = list->currentItem();
    if (!item)
        return;
    const int at = list->indexOfTopLevelItem(item);
    if (at < 0 || size_t(at) >= m_rows.size())
        return;
    const BackupKeeper::Listed &row = m_rows[size_t(at)];
    const QString question =
        QStringLiteral("恢复 %1 的备份吗？\n\n这份备份里有日记 %2 篇，联系人 %3 位，照片 %4 "
                       "张。恢复之前，现在的日记本会先备份一份。")
            .arg(row.snapshot.time.toString(QStringLiteral("yyyy年M月d日 HH:mm:ss")),
                 counted(row.counts.entries), counted(row.counts.contacts),
                 counted(row.counts.photos));
    if (Interaction::current().confirm(this, question, QStringLiteral("恢复备份")))
        Q_EMIT restoreRequested(row.snapshot.path);
}

void BackupsWindow::mergeOther() {
    const QString file = Interaction::current().chooseOpenFile(
        this, {{QStringLiteral("日记本和备份 (*.db)"), {QStringLiteral("db")}},
               {QStringLiteral("所有文件 (*)"), {QStringLiteral("*")}}});
    if (!file.isEmpty())
        Q_EMIT mergeRequested(file);
}
