#include "contacts/findcontactdialog.h"

#include "core/recordset.h"
#include "widgets/interaction.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FindContactDialog::FindContactDialog(RecordSet *records, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_records(records) {
    setObjectName(QStringLiteral("findaddress"));
    setWindowTitle(QStringLiteral("查找"));
    setFixedSize(320, 150);

    promptLabel = new QLabel(QStringLiteral("请输入你要查找人的姓名："), this);
    promptLabel->setObjectName(QStringLiteral("Label1"));
    promptLabel->setGeometry(16, 12, 288, 24);

    nameBox = new QLineEdit(this);
    nameBox->setObjectName(QStringLiteral("Textname"));
    QFont bold = nameBox->font();
    bold.setBold(true);
    bold.setPointSize(14);
    nameBox->setFont(bold);
    nameBox->setGeometry(16, 42, 288, 36);

    okButton = new QPushButton(QStringLiteral("确定"), this);
    okButton->setObjectName(QStringLiteral("Cmdok"));
    okButton->setDefault(true);
    okButton->setGeometry(100, 100, 96, 32);
    cancelButton = new QPushButton(QStringLiteral("取消"), this);
    cancelButton->setObjectName(QStringLiteral("cannel"));
    cancelButton->setGeometry(208, 100, 96, 32);

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
