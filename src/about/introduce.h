#pragma once

#include <QDialog>

class ClickableLabel;
class QTextEdit;
class QTimer;

// The author page: who made the program, a mail link, and a biography that
// types itself, one character every 200 ms, again and again.
class Introduce : public QDialog {
    Q_OBJECT
public:
    explicit Introduce(QWidget *owner = nullptr);

    static const QString &biography();
    static const QString &mailAddress();

    ClickableLabel *Label1;
    ClickableLabel *Label2;
    ClickableLabel *Image1;
    QTextEdit *Text1;
    QTimer *Timer1;

    int position() const { return m_position; }

public Q_SLOTS:
    void Timer1_Timer();
    void unloadthing();
    void Label2_Click();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    qint16 m_position = 0;
};
