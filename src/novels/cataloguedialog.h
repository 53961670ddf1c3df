#pragma once

#include <QDialog>

class QTreeWidget;
class QTreeWidgetItem;

// The catalogue window: a tree of the novels; choosing one hands its key on
// and closes the window.
class CatalogueDialog : public QDialog {
    Q_OBJECT
public:
    explicit CatalogueDialog(QWidget *owner);

    QTreeWidget *tree;

Q_SIGNALS:
    void novelChosen(const QString &key);

public Q_SLOTS:
    void chooseNode(QTreeWidgetItem *node);

protected:
    // A click on the window's own surface closes it without a choice.
    void mouseReleaseEvent(QMouseEvent *event) override;
};
