#include "contacts/findaddress.h"

#include "shell/interaction.h"
#include "store/recordset.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FindAddress::FindAddress(RecordSet *records, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_records(records) {
    setObjectName(QStringLiteral("findaddress"));
    setWindowTitle(QStringLiteral("查找"));
    setFixedSize(320, 150);

    Label1 = new QLabel(QStringLiteral("请输入你要查找人的姓名："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 12, 288, 24);

    Textname = new QLineEdit(this);
    Textname->setObjectName(QStringLiteral("Textname"));
    QFont bold = Textname->font();
    bold.setBold(true);
    bold.setPointSize(14);
    Textname->setFont(bold);
    Textname->setGeometry(16, 42, 288, 36);

    Cmdok = new QPushButton(QStringLiteral("确定"), this);
    Cmdok->setObjectName(QStringLiteral("Cmdok"));
    Cmdok->setDefault(true);
    Cmdok->setGeometry(100, 100, 96, 32);
    cannel = new QPushButton(QStringLiteral("取消"), this);
    cannel->setObjectName(QStringLiteral("cannel"));
    cannel->setGeometry(208, 100, 96, 32);

    connect(Cmdok, &QPushButton::clicked, this, &FindAddress::Cmdok_Click);
    connect(cannel, &QPushButton::clicked, this, &FindAddress::cannel_Click);
}

void FindAddress::Cmdok_Click() {
    const QString wanted = Textname->text();
    m_records->moveFirst();
    const qint64 found = m_records->findFirst(QStringLiteral("name"), wanted);
    if (found >= 0 && m_records->moveToKey(found)) {
        close(); // discarded: the next search starts empty
        return;
    }
    Interaction::current().inform(this, QStringLiteral("对不起，你查找的人不存在！"),
                                  QStringLiteral("对不起"));
    m_records->moveFirst();
}

void FindAddress::cannel_Click() { hide(); }

void FindAddress::reject() { hide(); }
