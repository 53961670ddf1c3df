#pragma once

#include <QLabel>

// A caption that works as a button: a click runs its action, it greys out
// while disabled and shows its caption bold under the mouse.
class LabelButton : public QLabel {
    Q_OBJECT
public:
    LabelButton(const QString &name, const QString &caption, QWidget *parent = nullptr);

    bool isBold() const { return font().bold(); }
    void setBold(bool bold);

Q_SIGNALS:
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};
