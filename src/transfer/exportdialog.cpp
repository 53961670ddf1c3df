// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/exportdialog.h"

#include "core/contactfile.h"
#include "core/journalexport.h"
#include "core/store.h"
#include "ui_exportdialog.h"
#include "widgets/interaction.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

struct FormatChoice {
    const char *caption, *suffix;
};
const FormatChoice JournalFormats[] = {
    {"Markdown（.md）", "md"}, {"纯文本（.txt）", "txt"}, {"网页（.html，可以打印）", "html"}};
const FormatChoice ContactFormats[] = {{"vCard 4.0（.vcf）", "vcf"},
                                       {"vCard 3.0（.vcf，给较旧的程序）", "vcf"}};

QString baseName(bool journal) {
    return journal ? QStringLiteral("日记") : QStringLiteral("地址簿");
}

} // namespace

ExportDialog::ExportDialog(Store *store, QWidget *owner) : QDialog(owner), m_store(store) {
    Ui::ExportDialog form;
    form.setupUi(this);
    whatBox = form.whatBox;
    formatBox = form.formatBox;
    pathEdit = form.pathEdit;
    browseButton = form.browseButton;
    exportButton = form.exportButton;
    closeButton = form.closeButton;
    progressBar = form.progressBar;
    statusLabel = form.statusLabel;

    offerFormats();
    connect(whatBox, &QComboBox::currentIndexChanged, this, &ExportDialog::offerFormats);
    connect(formatBox, &QComboBox::currentIndexChanged, this, &ExportDialog::suggestPath);
    connect(browseButton, &QPushButton::clicked, this, &ExportDialog::browse);
    connect(exportButton, &QPushButton::clicked, this, &ExportDialog::startExport);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_job, &BackgroundJob::progressed, this, &ExportDialog::showProgress);
    connect(&m_job, &BackgroundJob::finished, this, &ExportDialog::exported);
}

ExportDialog::~ExportDialog() = default;

bool ExportDialog::journalChosen() const {
    return whatBox->currentIndex() == 0;
}

void ExportDialog::offerFormats() {
    const QSignalBlocker quiet(formatBox);
    formatBox->clear();
    if (journalChosen())
        for (const FormatChoice &f : JournalFormats)
            formatBox->addItem(QString::fromUtf8(f.caption), QString::fromLatin1(f.suffix));
    else
        for (const FormatChoice &f : ContactFormats)
            formatBox->addItem(QString::fromUtf8(f.caption), QString::fromLatin1(f.suffix));
    formatBox->setCurrentIndex(0);
    suggestPath();
}

void ExportDialog::suggestPath() {
    const QString suffix = formatBox->currentData().toString();
    const QFileInfo now(pathEdit->text());
    QString folder = now.path(), base = now.completeBaseName();
    if (pathEdit->text().isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            folder = QDir::homePath();
    }
    if (base.isEmpty() || base == baseName(!journalChosen()))
        base = baseName(journalChosen());
    pathEdit->setText(QDir(folder).filePath(base + QLatin1Char('.') + suffix));
}

void ExportDialog::browse() {
    const QString chosen = Interaction::current().chooseSaveFile(this, pathEdit->text());
    if (!chosen.isEmpty())
        pathEdit->setText(chosen);
}

void ExportDialog::setBusy(bool busy) {
    for (QWidget *w : {static_cast<QWidget *>(whatBox), static_cast<QWidget *>(formatBox),
                       static_cast<QWidget *>(pathEdit), static_cast<QWidget *>(browseButton),
                       static_cast<QWidget *>(exportButton)})
        w->setEnabled(!busy);
    closeButton->setText(busy ? QStringLiteral("取消(&C)") : QStringLiteral("关闭(&C)"));
}

void ExportDialog::startExport() {
    const QString path = pathEdit->text().trimmed();
    if (path.isEmpty() || m_job.isRunning())
        return;
    if (!m_store || !m_store->isOpen()) {
        statusLabel->setText(QStringLiteral("日记本文件无法读取，不能导出。"));
        return;
    }
    if (QFileInfo::exists(path) &&
        !Interaction::current().confirm(
            this, QStringLiteral("%1 已经存在。要替换它吗？").arg(QDir::toNativeSeparators(path)),
            QStringLiteral("导出")))
        return;
    const bool journal = journalChosen();
    const int format = formatBox->currentIndex();
    m_outcome = std::make_shared<Outcome>();
    setBusy(true);
    progressBar->setValue(0);
    statusLabel->setText(QStringLiteral("正在导出…"));
    m_job.start([uri = m_store->readerUri(), outcome = m_outcome, journal, format,
                 path](BackgroundJob::Control &control) {
        const StoreReader reader(uri);
        const auto progress = [&control](qsizetype done, qsizetype total) {
            control.done = done;
            control.total = total;
            return !control.stop;
        };
        outcome->result =
            journal ? JournalExport::exportTo(reader.db(), path, JournalExport::Format(format),
                                              &outcome->count, progress)
                    : ContactFile::exportTo(reader.db(), path,
                                            format == 0 ? VCard::Version::V40 : VCard::Version::V30,
                                            &outcome->count);
    });
}

void ExportDialog::showProgress(qint64 done, qint64 total) {
    progressBar->setMaximum(total > 0 ? int(total) : 0);
    progressBar->setValue(int(done));
}

void ExportDialog::exported() {
    setBusy(false);
    const QString path = QDir::toNativeSeparators(pathEdit->text().trimmed());
    if (!m_outcome->result) {
        progressBar->setValue(0);
        statusLabel->setText(QStringLiteral("没有导出：%1").arg(m_outcome->result.message()));
        return;
    }
    progressBar->setMaximum(1);
    progressBar->setValue(1);
    statusLabel->setText((journalChosen() ? QStringLiteral("已导出日记 %1 篇到 %2")
                                          : QStringLiteral("已导出联系人 %1 位到 %2"))
                             .arg(m_outcome->count)
                             .arg(path));
}
