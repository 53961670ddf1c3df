// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;
class QUrl;

// One entry of an open-file dialog: the caption as shown, and the file
// suffixes it lets through, whatever their letter case.
struct FileFilter {
    QString caption;
    QStringList suffixes; // without the dot: "jpg"

    bool matches(const QString &fileName) const;
};

// Every modal question, common dialog and hand-off to the desktop goes
// through here, so tests can answer them without a person at the screen.
class Interaction {
public:
    virtual ~Interaction() = default;

    // OK and Cancel; true for OK.
    virtual bool confirm(QWidget *parent, const QString &text, const QString &title);
    // OK only.
    virtual void inform(QWidget *parent, const QString &text, const QString &title);
    // A message with buttons of these captions, the last one closing it; the
    // index of the one pressed (the last when the box was closed otherwise).
    virtual int choose(QWidget *parent, const QString &text, const QString &title,
                       const QStringList &buttons);
    // Empty when the user cancelled.
    virtual std::optional<QFont> chooseFont(QWidget *parent, const QFont &initial);
    virtual std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial);
    // Empty when the user cancelled.
    virtual QString chooseOpenFile(QWidget *parent, const QList<FileFilter> &filters);
    // A file to write, starting from suggested; empty when the user cancelled.
    virtual QString chooseSaveFile(QWidget *parent, const QString &suggested);
    // An existing folder, starting from start; empty when the user cancelled.
    virtual QString chooseFolder(QWidget *parent, const QString &start);
    // Opens a document or link with the desktop's default program.
    virtual void openUrl(const QUrl &url);

    static Interaction &current();
    // Tests put their own in place; nullptr restores the real one.
    static void install(Interaction *replacement);
};
