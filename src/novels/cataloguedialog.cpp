// SPDX-License-Identifier: GPL-3.0-or-later
#include "novels/cataloguedialog.h"

#include "core/catalogue.h"
#include "widgets/artwork.h"
#include "widgets/panelframe.h"

#include <QMenu>
#include <QMouseEvent>
#include <QShortcut>
#include <QTreeWidget>

namespace {
constexpr int KeyRole = Qt::UserRole;
// Default colour whatever the main window wears.
const QColor CatalogueColour(247, 165, 85);
} // namespace

CatalogueDialog::CatalogueDialog(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("book"));
    setWindowTitle(QStringLiteral(" "));
    // 2550 x 3195 twips with the tree at 120, 120 of 2295 x 2895: about 1.5
    // times that here, so the captions fit the fonts of today's desktops.
    setFixedSize(260, 320);

    tree = new QTreeWidget(this);
    tree->setObjectName(QStringLiteral("TreeView1"));
    tree->setToolTip(QStringLiteral("快选择你喜欢的小说吧！"));
    tree->setHeaderHidden(true);
    tree->setGeometry(12, 12, 236, 296);
    const QIcon categoryIcon = Artwork::icon(QStringLiteral("category"));
    const QIcon novelIcon = Artwork::icon(QStringLiteral("book"));
    for (const Catalogue::Category &c : Catalogue::categories()) {
        auto *category = new QTreeWidgetItem(tree, QStringList{c.caption});
        category->setData(0, KeyRole, c.key);
        category->setIcon(0, categoryIcon);
        for (const Catalogue::Novel &n : c.novels) {
            auto *novel = new QTreeWidgetItem(category, QStringList{n.caption});
            novel->setData(0, KeyRole, n.key);
            novel->setIcon(0, novelIcon);
        }
    }
    paintSurface(this, CatalogueColour);
    connect(tree, &QTreeWidget::itemClicked, this, &CatalogueDialog::chooseNode);

    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree, &QWidget::customContextMenuRequested, this, &CatalogueDialog::showNovelMenu);
    auto *importKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_I), this);
    connect(importKey, &QShortcut::activated, this, [this] {
        if (const QString key = novelKey(tree->currentItem()); !key.isEmpty())
            Q_EMIT importRequested(key);
    });
}

QString CatalogueDialog::novelKey(const QTreeWidgetItem *node) {
    if (!node)
        return {};
    const QString key = node->data(0, KeyRole).toString();
    return Catalogue::novel(key) ? key : QString();
}

void CatalogueDialog::showNovelMenu(const QPoint &at) {
    const QString key = novelKey(tree->itemAt(at));
    if (key.isEmpty())
        return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("novelmenu"));
    QAction *import = menu.addAction(QStringLiteral("导入小说文本…"));
    import->setObjectName(QStringLiteral("importnovel"));
    import->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    if (menu.exec(tree->viewport()->mapToGlobal(at)) == import)
        Q_EMIT importRequested(key);
}

void CatalogueDialog::chooseNode(QTreeWidgetItem *node) {
    if (!node)
        return;
    const QString key = novelKey(node);
    if (key.isEmpty())
        return; // a category
    Q_EMIT novelChosen(key);
    close();
}

void CatalogueDialog::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint()))
        close();
}
