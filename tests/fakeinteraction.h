// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/interaction.h"

#include <QList>
#include <QUrl>

// Answers every question and dialog from a script and records what was asked.
class FakeInteraction : public Interaction {
public:
    FakeInteraction() { Interaction::install(this); }
    ~FakeInteraction() override { Interaction::install(nullptr); }

    bool confirmAnswer = true;
    std::optional<QFont> fontAnswer;
    std::optional<QColor> colorAnswer;
    QString fileAnswer;

    struct Asked {
        QString text, title;
    };
    QList<Asked> asked;
    QList<QUrl> opened;

    bool confirm(QWidget *, const QString &text, const QString &title) override {
        asked.append({text, title});
        return confirmAnswer;
    }
    void inform(QWidget *, const QString &text, const QString &title) override {
        asked.append({text, title});
    }
    int choiceAnswer = -1; // -1: the last button, as closing the box does
    QStringList buttonsOffered;
    int choose(QWidget *, const QString &text, const QString &title,
               const QStringList &buttons) override {
        asked.append({text, title});
        buttonsOffered = buttons;
        return choiceAnswer < 0 ? int(buttons.size()) - 1 : choiceAnswer;
    }
    std::optional<QFont> chooseFont(QWidget *, const QFont &) override { return fontAnswer; }
    std::optional<QColor> chooseColor(QWidget *, const QColor &) override { return colorAnswer; }
    QList<FileFilter> filtersOffered;
    QString chooseOpenFile(QWidget *, const QList<FileFilter> &filters) override {
        filtersOffered = filters;
        return fileAnswer;
    }
    QString chooseSaveFile(QWidget *, const QString &) override { return fileAnswer; }
    QString chooseFolder(QWidget *, const QString &) override { return fileAnswer; }
    void openUrl(const QUrl &url) override { opened.append(url); }
};
