// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class ClickableLabel;
class QTextEdit;
class QTimer;

// The author page: who made the program, a mail link, and a biography that
// types itself, one character every 200 ms, again and again.
class AuthorPage : public QDialog {
    Q_OBJECT
public:
    explicit AuthorPage(QWidget *owner = nullptr);

    static const QString &biography();
    static const QString &mailAddress();

    ClickableLabel *nameLabel;
    ClickableLabel *mailLabel;
    ClickableLabel *picture;
    QTextEdit *biographyView;
    QTimer *typingTimer;

    int position() const { return m_position; }

public Q_SLOTS:
    void typeNextCharacter();
    void closePage();
    void writeMail();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    qint16 m_position = 0;
};
