// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>

// One of the main window's coloured frames. Events on its own background
// (not on a control inside it) are reported; they never reach the window
// behind, so pressing on a panel does not drag the window.
class PanelFrame : public QFrame {
    Q_OBJECT
public:
    explicit PanelFrame(QWidget *parent = nullptr);
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

// Gives a surface a solid background of its own; the captions drawn on it
// take the text colour that reads on that background.
void paintSurface(QWidget *surface, const QColor &colour);
QColor surfaceColour(const QWidget *surface);

// The contrast ratio of two colours, 1 to 21, as WCAG defines it.
double contrastRatio(const QColor &a, const QColor &b);
// Black, or white where black would not read (contrast under 4.5:1).
QColor captionColourOn(const QColor &background);
