#include "shell/interaction.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QUrl>

namespace {
Interaction realInteraction;
Interaction *installed = nullptr;
} // namespace

Interaction &Interaction::current() { return installed ? *installed : realInteraction; }

void Interaction::install(Interaction *replacement) { installed = replacement; }

bool Interaction::confirm(QWidget *parent, const QString &text, const QString &title) {
    return QMessageBox::question(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

void Interaction::inform(QWidget *parent, const QString &text, const QString &title) {
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

std::optional<QFont> Interaction::chooseFont(QWidget *parent, const QFont &initial) {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return font;
}

std::optional<QColor> Interaction::chooseColor(QWidget *parent, const QColor &initial) {
    const QColor c = QColorDialog::getColor(initial, parent);
    if (!c.isValid())
        return std::nullopt;
    return c;
}

QString Interaction::chooseOpenFile(QWidget *parent, const QString &title,
                                    const QStringList &filters) {
    return QFileDialog::getOpenFileName(parent, title, QString(), filters.join(QStringLiteral(";;")));
}

void Interaction::openUrl(const QUrl &url) { QDesktopServices::openUrl(url); }
