// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/aboutbox.h"

#include "ui_aboutbox.h"
#include "widgets/artwork.h"
#include "widgets/clickablelabel.h"

AboutBox::AboutBox(QWidget *owner) : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    Ui::AboutBox form;
    form.setupUi(this);
    QLabel *iconLabel = form.picIcon;
    ClickableLabel *versionLabel = form.lblVersion;
    QPushButton *authorButton = form.Command1;
    QPushButton *okButton = form.Cmdok;

    // Drawn for this screen's pixel density, which a form cannot know.
    iconLabel->setPixmap(
        Artwork::pixmap(QStringLiteral("quillary"), iconLabel->size(), devicePixelRatioF()));
    connect(okButton, &QPushButton::clicked, this, &QDialog::close);
    connect(authorButton, &QPushButton::clicked, this,
            [this] { Q_EMIT authorPageRequested(true); });
    connect(versionLabel, &ClickableLabel::clicked, this,
            [this] { Q_EMIT authorPageRequested(false); });
}
