// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/interaction.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <cstdlib>
#include <limits>

namespace {
Interaction realInteraction;
Interaction *installed = nullptr;
} // namespace

Interaction &Interaction::current() {
    return installed ? *installed : realInteraction;
}

void Interaction::install(Interaction *replacement) {
    installed = replacement;
}

namespace {
// The platform fills an empty title with the program's name; a title meant
// to be empty is kept blank instead.
QString shownTitle(const QString &title) {
    return title.isEmpty() ? QStringLiteral(" ") : title;
}
} // namespace

bool Interaction::confirm(QWidget *parent, const QString &text, const QString &title) {
    return QMessageBox::question(parent, shownTitle(title), text,
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

void Interaction::inform(QWidget *parent, const QString &text, const QString &title) {
    QMessageBox::information(parent, shownTitle(title), text, QMessageBox::Ok);
}

int Interaction::choose(QWidget *parent, const QString &text, const QString &title,
                        const QStringList &buttons) {
    QMessageBox box(QMessageBox::Warning, shownTitle(title), text, QMessageBox::NoButton, parent);
    QList<QPushButton *> pressed;
    for (int i = 0; i < buttons.size(); ++i)
        pressed << box.addButton(buttons[i], i + 1 == buttons.size() ? QMessageBox::RejectRole
                                                                     : QMessageBox::AcceptRole);
    box.exec();
    for (int i = 0; i < pressed.size(); ++i)
        if (box.clickedButton() == pressed[i])
            return i;
    return int(buttons.size()) - 1;
}

namespace {
// The font dialog finds its first style by name. A name made from weight and
// slant comes out in the interface's language, while a family lists its
// styles by their own names: the family's own style that matches is named
// instead, upright widths before condensed ones.
QFont withOwnStyleName(QFont font) {
    const QString family = font.families().value(0, font.family());
    const QFont::Stretch wanted =
        font.stretch() > 0 ? QFont::Stretch(font.stretch()) : QFont::Unstretched;
    QString best;
    int bestDistance = std::numeric_limits<int>::max();
    for (const QString &style : QFontDatabase::styles(family)) {
        if (QFontDatabase::italic(family, style) != font.italic())
            continue;
        const int distance =
            std::abs(QFontDatabase::weight(family, style) - int(font.weight())) * 1000 +
            std::abs(QFontDatabase::font(family, style, 12).stretch() - int(wanted));
        if (distance < bestDistance) {
            bestDistance = distance;
            best = style;
        }
    }
    if (!best.isEmpty())
        font.setStyleName(best);
    return font;
}
} // namespace

std::optional<QFont> Interaction::chooseFont(QWidget *parent, const QFont &initial) {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, withOwnStyleName(initial), parent);
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

bool FileFilter::matches(const QString &fileName) const {
    for (const QString &suffix : suffixes)
        if (fileName.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
            return true;
    return false;
}

QString Interaction::chooseSaveFile(QWidget *parent, const QString &suggested) {
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(suggested);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString Interaction::chooseFolder(QWidget *parent, const QString &start) {
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (!start.isEmpty())
        dialog.setDirectory(start);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString Interaction::chooseOpenFile(QWidget *parent, const QList<FileFilter> &filters) {
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QStringList captions;
    for (const FileFilter &f : filters)
        captions << f.caption;
    dialog.setNameFilters(captions);
    // The captions stay as written; the files listed are those whose suffix
    // matches in any letter case.
    auto *model = dialog.findChild<QFileSystemModel *>();
    auto applyFilter = [&](const QString &caption) {
        if (!model)
            return;
        for (const FileFilter &f : filters)
            if (f.caption == caption) {
                QStringList patterns;
                for (const QString &suffix : f.suffixes) {
                    QString p = QStringLiteral("*.");
                    for (QChar c : suffix)
                        p += c.isLetter() ? QStringLiteral("[%1%2]").arg(c.toLower(), c.toUpper())
                                          : QString(c);
                    patterns << p;
                }
                model->setNameFilters(patterns);
            }
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, applyFilter);
    if (!captions.isEmpty())
        applyFilter(captions.first());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

void Interaction::openUrl(const QUrl &url) {
    QDesktopServices::openUrl(url);
}
