// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/importdialog.h"

#include "core/journalindex.h"
#include "core/searchtext.h"
#include "core/store.h"
#include "ui_importdialog.h"
#include "widgets/interaction.h"

#include <QDir>
#include <QUrl>
#include <sqlite3.h>

namespace {
enum Choice { JournalFile, JournalFolder, Cards };
}

ImportDialog::ImportDialog(Store *store, QWidget *owner) : QDialog(owner), m_store(store) {
    Ui::ImportDialog form;
    form.setupUi(this);
    whatBox = form.whatBox;
    pathEdit = form.pathEdit;
    browseButton = form.browseButton;
    importButton = form.importButton;
    closeButton = form.closeButton;
    progressBar = form.progressBar;
    statusLabel = form.statusLabel;
    importButton->setEnabled(false);

    m_writing.setSingleShot(true);
    m_writing.setInterval(0);
    connect(&m_writing, &QTimer::timeout, this, &ImportDialog::writeSome);
    connect(whatBox, &QComboBox::currentIndexChanged, this, &ImportDialog::preview);
    connect(pathEdit, &QLineEdit::editingFinished, this, &ImportDialog::preview);
    connect(browseButton, &QPushButton::clicked, this, &ImportDialog::browse);
    connect(importButton, &QPushButton::clicked, this, &ImportDialog::startImport);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_job, &BackgroundJob::finished, this, &ImportDialog::planned);
}

ImportDialog::~ImportDialog() = default;

ImportPlan::Kind ImportDialog::kind() const {
    return whatBox->currentIndex() == Cards ? ImportPlan::Kind::Contacts
                                            : ImportPlan::Kind::Journal;
}

void ImportDialog::browse() {
    Interaction &ask = Interaction::current();
    QString chosen;
    switch (whatBox->currentIndex()) {
    case JournalFolder:
        chosen = ask.chooseFolder(this, pathEdit->text());
        break;
    case Cards:
        chosen = ask.chooseOpenFile(this, {{QStringLiteral("vCard 名片 (*.vcf)"),
                                            {QStringLiteral("vcf"), QStringLiteral("vcard")}}});
        break;
    default:
        chosen = ask.chooseOpenFile(this, {{QStringLiteral("导出的日记 (*.md *.txt)"),
                                            {QStringLiteral("md"), QStringLiteral("txt")}}});
    }
    if (chosen.isEmpty())
        return;
    pathEdit->setText(chosen);
    preview();
}

void ImportDialog::preview() {
    if (m_writer)
        return; // the boxes lose focus as writing starts: nothing was chosen
    if (m_job.isRunning()) {
        m_readAgain = true; // the choice changed while the last one was read
        return;
    }
    m_plan.reset();
    importButton->setEnabled(false);
    const QString path = pathEdit->text().trimmed();
    if (path.isEmpty())
        return;
    if (!m_store || !m_store->isOpen()) {
        statusLabel->setText(QStringLiteral("日记本文件无法读取，不能导入。"));
        return;
    }
    statusLabel->setText(QStringLiteral("正在读取…"));
    progressBar->setMaximum(0); // busy, no count yet
    auto plan = std::make_shared<ImportPlan>();
    m_job.start([uri = m_store->readerUri(), plan, kind = kind(), path](BackgroundJob::Control &) {
        const StoreReader reader(uri);
        *plan = ImportPlan::make(reader.db(), kind, path);
    });
    m_plan = plan;
}

void ImportDialog::planned() {
    progressBar->setMaximum(1);
    progressBar->setValue(0);
    if (m_readAgain) {
        m_readAgain = false;
        preview();
        return;
    }
    if (!m_plan)
        return;
    if (!m_plan->refusal.isEmpty()) {
        statusLabel->setText(m_plan->refusal);
        return;
    }
    statusLabel->setText(m_plan->preview());
    importButton->setEnabled(!m_plan->rows.empty());
}

void ImportDialog::setBusy(bool busy) {
    for (QWidget *w : {static_cast<QWidget *>(whatBox), static_cast<QWidget *>(pathEdit),
                       static_cast<QWidget *>(browseButton), static_cast<QWidget *>(importButton)})
        w->setEnabled(!busy);
    closeButton->setText(busy ? QStringLiteral("停止(&C)") : QStringLiteral("关闭(&C)"));
}

void ImportDialog::startImport() {
    if (!m_plan || m_plan->rows.empty() || m_writer)
        return;
    m_writer = std::make_unique<ImportWriter>(m_store, m_plan->table, m_plan->rows);
    if (const Result started = m_writer->start(); !started) {
        statusLabel->setText(QStringLiteral("没有导入：%1").arg(writeFailure(started)));
        m_writer.reset();
        return;
    }
    m_plan->rows = {}; // the writer's now, to let go of as they go in
    setBusy(true);
    importButton->setEnabled(false);
    progressBar->setMaximum(int(m_writer->total()));
    progressBar->setValue(0);
    m_writing.start();
}

void ImportDialog::writeSome() {
    const Result written = m_writer->writeSome(WriteBudgetMs);
    progressBar->setValue(int(m_writer->written()));
    if (!written)
        finish(written);
    else if (m_writer->finished())
        finish({});
    else
        m_writing.start();
}

void ImportDialog::finish(const Result &result) {
    m_writing.stop();
    const qsizetype count = m_writer->written();
    m_writer.reset();
    setBusy(false);
    importButton->setEnabled(false);
    QString text = m_plan->outcome(count);
    if (!result)
        text += QStringLiteral("。没有全部导入：%1").arg(writeFailure(result));
    statusLabel->setText(text);
    const ImportPlan::Kind kind = m_plan->kind;
    m_plan.reset();
    if (count > 0)
        afterWriting(kind == ImportPlan::Kind::Journal);
    if (count > 0 && kind == ImportPlan::Kind::Journal)
        Q_EMIT journalImported();
    else if (count > 0)
        Q_EMIT contactsImported();
}

void ImportDialog::afterWriting(bool journal) {
    const QByteArray uri = QUrl::fromLocalFile(m_store->path()).toEncoded() + "?mode=rw";
    m_indexing.start([uri, journal](BackgroundJob::Control &control) {
        sqlite3 *db = nullptr;
        if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI,
                            nullptr) == SQLITE_OK &&
            SearchText::registerTokenizer(db)) {
            sqlite3_busy_timeout(db, 1000);
            // The log the import grew is copied into the file here, not by
            // the window's next save.
            sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
            // Short batches, so a save on the window's connection never waits long.
            while (journal && !control.stop &&
                   JournalIndex::buildSome(db, 40) == JournalIndex::Step::More) {
            }
        }
        sqlite3_close(db);
    });
}

void ImportDialog::done(int result) {
    if (m_writer)
        finish(Result::failure(Result::Code::Failed, QStringLiteral("已停止")));
    QDialog::done(result);
}
