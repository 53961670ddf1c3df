#pragma once

#include <QDialog>

class QTreeWidget;
class QTreeWidgetItem;

// The catalogue window: a tree of the novels; choosing one hands its key on
// and closes the window.
class Book : public QDialog {
    Q_OBJECT
public:
    explicit Book(QWidget *owner);

    QTreeWidget *TreeView1;

Q_SIGNALS:
    void novelChosen(const QString &key);

public Q_SLOTS:
    void TreeView1_NodeClick(QTreeWidgetItem *node);

protected:
    // A click on the window's own surface closes it without a choice.
    void mouseReleaseEvent(QMouseEvent *event) override;
};
