// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QTreeWidget;
class QTreeWidgetItem;

// The catalogue window ("book"): a tree of the novels; choosing one hands
// its key on and closes the window. A novel's menu (right button, or Ctrl+I
// on the highlighted novel) asks for a whole novel's text to be imported.
class CatalogueDialog : public QDialog {
    Q_OBJECT
public:
    explicit CatalogueDialog(QWidget *owner);

    QTreeWidget *tree;

    // The key of the novel a tree node stands for; empty for a category.
    static QString novelKey(const QTreeWidgetItem *node);

Q_SIGNALS:
    void novelChosen(const QString &key);
    void importRequested(const QString &key);

public Q_SLOTS:
    void chooseNode(QTreeWidgetItem *node);

private:
    void showNovelMenu(const QPoint &at);

protected:
    // A click on the window's own surface closes it without a choice.
    void mouseReleaseEvent(QMouseEvent *event) override;
};
