#pragma once

#include <QFrame>

// One of the main window's coloured frames. Events on its own background
// (not on a control inside it) are reported; they never reach the window
// behind, so pressing on a panel does not drag the window.
class PanelFrame : public QFrame {
    Q_OBJECT
public:
    PanelFrame(const QString &name, QWidget *parent = nullptr);

Q_SIGNALS:
    void backgroundHovered();
    void popupRequested(const QPoint &globalPos);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool onBackground(const QMouseEvent *event) const;
};

// Gives a surface a solid background of its own.
void paintSurface(QWidget *surface, const QColor &colour);
QColor surfaceColour(const QWidget *surface);
