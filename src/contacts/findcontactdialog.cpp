// SPDX-License-Identifier: GPL-3.0-or-later
#include "contacts/findcontactdialog.h"

#include "core/recordset.h"
#include "ui_findcontactdialog.h"
#include "widgets/interaction.h"

FindContactDialog::FindContactDialog(RecordSet *records, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_records(records) {
    Ui::FindContactDialog form;
    form.setupUi(this);
    nameBox = form.Textname;
    QPushButton *okButton = form.Cmdok;
    QPushButton *cancelButton = form.cannel;
    connect(okButton, &QPushButton::clicked, this, &FindContactDialog::find);
    connect(cancelButton, &QPushButton::clicked, this, &FindContactDialog::cancel);
}

void FindContactDialog::find() {
    const QString wanted = nameBox->text();
    skipFailure(m_records->moveFirst(), "starting a search");
    const qint64 found = m_records->findFirst(QStringLiteral("name"), wanted);
    if (found >= 0 && m_records->moveToKey(found)) {
        close(); // discarded: the next search starts empty
        return;
    }
    Interaction::current().inform(this, QStringLiteral("对不起，你查找的人不存在！"),
                                  QStringLiteral("对不起"));
    skipFailure(m_records->moveFirst(), "going back to the first contact");
}

void FindContactDialog::cancel() {
    hide();
}

void FindContactDialog::reject() {
    hide();
}
