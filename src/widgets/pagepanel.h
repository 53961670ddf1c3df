// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QWidget>

class PanelFrame;

// One page of the main window: a clear layer over the whole window that
// holds the page's coloured frames. It takes the mouse only where a frame
// is, so the gaps between frames stay the window's own background, and the
// frames keep the window's coordinates.
class PagePanel : public QWidget {
    Q_OBJECT
public:
    explicit PagePanel(QWidget *window);

    // Shows the page, then its frames in order; hides the frames in order,
    // then the page.
    void setPageShown(bool shown);
    bool isPageShown() const;
    // The frames that carry the window's colour.
    QList<QWidget *> surfaces() const;

Q_SIGNALS:
    // Right button released over a frame's own background.
    void popupRequested(const QPoint &globalPos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The page's frames, once they are laid out (from a form or in code):
    // they forward the menu request and shape the page.
    void adoptFrames(const QList<PanelFrame *> &frames);

private:
    QList<PanelFrame *> m_frames;
};
