// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/importdialog.h"

#include "core/store.h"
#include "ui_importdialog.h"
#include "widgets/interaction.h"

#include <QDir>

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

    connect(whatBox, &QComboBox::currentIndexChanged, this, &ImportDialog::preview);
    connect(pathEdit, &QLineEdit::editingFinished, this, &ImportDialog::preview);
    connect(browseButton, &QPushButton::clicked, this, &ImportDialog::browse);
    connect(importButton, &QPushButton::clicked, this, &ImportDialog::startImport);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_job, &BackgroundJob::finished, this, &ImportDialog::planned);
    connect(&m_writing, &BackgroundJob::progressed, this,
            [this](qint64 done) { progressBar->setValue(int(done)); });
    connect(&m_writing, &BackgroundJob::finished, this, &ImportDialog::written);
}

ImportDialog::~ImportDialog() {
    // A large file being read is not waited for: the window goes on at once.
    m_job.abandon();
}

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
    if (m_writing.isRunning())
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
    if (!m_plan || m_plan->rows.empty() || m_writing.isRunning())
        return;
    auto writer = std::make_shared<ImportWriter>(m_store, m_plan->table, std::move(m_plan->rows));
    m_plan->rows = {}; // the writer's now, to let go of as they go in
    if (const Result started = writer->start(); !started) {
        statusLabel->setText(QStringLiteral("没有导入：%1").arg(writeFailure(started)));
        return;
    }
    progressBar->setMaximum(int(writer->total()));
    progressBar->setValue(0);
    auto outcome = m_outcome = std::make_shared<Outcome>();
    m_writing.start([writer, outcome](BackgroundJob::Control &control) mutable {
        control.total = writer->total();
        while (outcome->result && !writer->finished()) {
            if (control.stop)
                outcome->result = Result::failure(Result::Code::Failed, QStringLiteral("已停止"));
            else
                outcome->result = writer->writeSome(WriteBudgetMs);
            control.done = outcome->written = writer->written();
        }
        writer.reset(); // rows a stop left unwritten are let go here, not by the window
    });
    // Only now: the boxes lose focus as they are disabled, which asks for a preview.
    setBusy(true);
    importButton->setEnabled(false);
}

void ImportDialog::written() {
    const Outcome outcome = *m_outcome;
    setBusy(false);
    importButton->setEnabled(false);
    QString text = m_plan->outcome(outcome.written);
    if (!outcome.result)
        text += QStringLiteral("。没有全部导入：%1").arg(writeFailure(outcome.result));
    statusLabel->setText(text);
    const ImportPlan::Kind kind = m_plan->kind;
    m_plan.reset();
    if (outcome.written > 0 && kind == ImportPlan::Kind::Journal)
        Q_EMIT journalImported();
    else if (outcome.written > 0)
        Q_EMIT contactsImported();
}

void ImportDialog::done(int result) {
    if (m_writing.isRunning()) {
        // Between two transactions; what was written is then told as usual.
        m_writing.stop();
        m_writing.wait();
    }
    QDialog::done(result);
}
