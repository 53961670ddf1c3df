// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListView>
#include <QPersistentModelIndex>

// A list of rows of one height, one column, top to bottom, that computes
// where each row lies instead of storing it: a list view keeps two numbers
// for every row, which a journal of a million entries pays for in
// megabytes. Keys, clicks, selection, scrolling and drawing are the list
// view's own, row for row.
class UniformListView : public QListView {
    Q_OBJECT
public:
    explicit UniformListView(QWidget *parent = nullptr);

    QRect visualRect(const QModelIndex &index) const override;
    QModelIndex indexAt(const QPoint &point) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    void doItemsLayout() override;
    void reset() override;

protected:
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void updateGeometries() override;
    void paintEvent(QPaintEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent *event) override;

private:
    struct Rows {
        int first = 0, last = -1;
        bool empty() const { return last < first; }
    };
    // The rows a rectangle in contents coordinates meets.
    Rows rowsIn(const QRect &area) const;
    QModelIndex row(int number) const;
    // In contents coordinates: as wide as the view, one row high.
    QRect rowRect(int number) const;
    QSize contentSize() const;
    bool perItem() const { return verticalScrollMode() == ScrollPerItem; }
    int rowsPerPage() const;
    int scrollValueFor(int number, const QRect &rect, ScrollHint hint) const;
    QModelIndex closest(const QRect &target, Rows candidates) const;
    QModelIndex pageUp(const QModelIndex &current);
    QModelIndex pageDown(const QModelIndex &current);
    bool usable(int number) const;
    void layOutBars();
    void updateVerticalBar();
    void updateHorizontalBar();

    int m_rows = 0;
    QSize m_itemSize;
    QPersistentModelIndex m_hover;
};
