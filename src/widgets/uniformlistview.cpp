// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/uniformlistview.h"

#include <QAbstractItemDelegate>
#include <QPaintEvent>
#include <QScrollBar>
#include <QStylePainter>

// Where a list view would read the positions it stored, these compute them
// from the row and the one row height; every step keeps the list view's own
// arithmetic, so the two cannot be told apart. Rows are never hidden here.

UniformListView::UniformListView(QWidget *parent) : QListView(parent) {
    setUniformItemSizes(true);
}

QModelIndex UniformListView::row(int number) const {
    return model() ? model()->index(number, modelColumn(), rootIndex()) : QModelIndex();
}

bool UniformListView::usable(int number) const {
    return (model()->flags(row(number)) & Qt::ItemIsEnabled) != 0;
}

QSize UniformListView::contentSize() const {
    return m_rows > 0 ? QSize(m_itemSize.width(), m_rows * m_itemSize.height()) : QSize();
}

QRect UniformListView::rowRect(int number) const {
    const int h = m_itemSize.height();
    return QRect(0, number * h, qMax(m_itemSize.width(), viewport()->width()), h);
}

UniformListView::Rows UniformListView::rowsIn(const QRect &rect) const {
    const QRect area = rect.normalized();
    const int h = m_itemSize.height();
    if (m_rows <= 0 || h <= 0 || area.right() < 0 || m_rows * h < area.top())
        return {};
    const int first = area.top() <= 0 ? 0 : qMin(area.top() / h, m_rows - 1);
    if (area.bottom() < first * h)
        return {};
    return {first, qMin(m_rows - 1, area.bottom() / h)};
}

// The item size a list view takes for all rows: the last row's, measured as
// its layout measures it.
static QSize sampleSize(const QListView *view, int rows, const QRect &bounds,
                        QStyleOptionViewItem option) {
    option.rect = bounds;
    const QModelIndex sample =
        view->model()->index(rows - 1, view->modelColumn(), view->rootIndex());
    const QAbstractItemDelegate *delegate = view->itemDelegateForIndex(sample);
    return delegate ? delegate->sizeHint(option, sample) : QSize();
}

// Setting a scroll bar policy, even the same one, lays out the bars and the
// viewport at once, as the list view does before and after each layout.
void UniformListView::layOutBars() {
    if (isVisible())
        setVerticalScrollBarPolicy(verticalScrollBarPolicy());
}

void UniformListView::doItemsLayout() {
    const State old = state();
    setState(ExpandingState);
    layOutBars();
    m_itemSize = QSize();
    m_rows = model() && model()->columnCount(rootIndex()) > 0 ? model()->rowCount(rootIndex()) : 0;
    if (m_rows > 0) {
        QRect bounds(QPoint(), maximumViewportSize());
        int frame = 0;
        if (style()->styleHint(QStyle::SH_ScrollView_FrameOnlyAroundContents)) {
            QStyleOption option;
            option.initFrom(this);
            frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this) * 2;
        }
        const QScrollBar *vbar = verticalScrollBar();
        const int right =
            verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded && vbar->isVisible() &&
                    !style()->pixelMetric(QStyle::PM_ScrollView_ScrollBarOverlap, nullptr, vbar)
                ? style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, vbar) + frame
                : 0;
        const int bottom =
            horizontalScrollBarPolicy() == Qt::ScrollBarAsNeeded
                ? style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, horizontalScrollBar()) +
                      frame
                : 0;
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        m_itemSize = sampleSize(this, m_rows, bounds.adjusted(0, 0, -right, -bottom), option);
    }
    QAbstractItemView::doItemsLayout();
    setState(old);
}

void UniformListView::reset() {
    m_rows = 0;
    QListView::reset();
}

void UniformListView::rowsInserted(const QModelIndex &parent, int start, int end) {
    m_rows = 0;
    QListView::rowsInserted(parent, start, end);
}

void UniformListView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) {
    QListView::rowsAboutToBeRemoved(parent, start, end);
    m_rows = 0;
}

QRect UniformListView::visualRect(const QModelIndex &index) const {
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex() ||
        index.column() != modelColumn())
        return {};
    const_cast<UniformListView *>(this)->executeDelayedItemsLayout();
    if (index.row() >= m_rows)
        return {};
    return rowRect(index.row()).translated(-horizontalOffset(), -verticalOffset());
}

QModelIndex UniformListView::indexAt(const QPoint &point) const {
    const_cast<UniformListView *>(this)->executeDelayedItemsLayout();
    const Rows hit =
        rowsIn(QRect(point + QPoint(horizontalOffset(), verticalOffset()), QSize(1, 1)));
    const QModelIndex index = hit.empty() ? QModelIndex() : row(hit.last);
    return index.isValid() && visualRect(index).contains(point) ? index : QModelIndex();
}

int UniformListView::horizontalOffset() const {
    const QScrollBar *bar = horizontalScrollBar();
    return isRightToLeft() ? bar->maximum() - bar->value() : bar->value();
}

int UniformListView::verticalOffset() const {
    const int value = verticalScrollBar()->value();
    if (!perItem() || m_rows <= 0)
        return value;
    return value > m_rows + 1 ? 0 : qMin(value, m_rows) * m_itemSize.height();
}

int UniformListView::rowsPerPage() const {
    const int h = m_itemSize.height();
    if (contentSize().height() <= viewport()->height())
        return m_rows + 1;
    return h > 0 ? viewport()->height() / h : 0;
}

void UniformListView::updateVerticalBar() {
    QScrollBar *bar = verticalScrollBar();
    if (perItem()) {
        if (m_rows <= 0) {
            bar->setRange(0, 0);
            return;
        }
        const int page = rowsPerPage();
        bar->setSingleStep(1);
        bar->setPageStep(page);
        bar->setRange(0, m_rows - page);
        return;
    }
    bar->setSingleStep(m_itemSize.height());
    bar->setPageStep(viewport()->height());
    const QSize contents = contentSize();
    const QSize room = contentsRect().marginsRemoved(viewportMargins()).size();
    const bool wide = contents.width() > room.width();
    const bool wanted =
        contents.height() > room.height() - (wide ? horizontalScrollBar()->height() : 0);
    const bool bothAuto = verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded &&
                          horizontalScrollBarPolicy() == Qt::ScrollBarAsNeeded;
    bar->setRange(0, bothAuto && !wanted ? 0 : contents.height() - viewport()->height());
}

void UniformListView::updateHorizontalBar() {
    QScrollBar *bar = horizontalScrollBar();
    bar->setSingleStep(m_itemSize.width());
    bar->setPageStep(viewport()->width());
    const QSize contents = contentSize();
    const QSize room = contentsRect().marginsRemoved(viewportMargins()).size();
    const bool tall = contents.height() > room.height();
    const bool wanted = contents.width() > room.width() - (tall ? verticalScrollBar()->width() : 0);
    const bool bothAuto = verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded &&
                          horizontalScrollBarPolicy() == Qt::ScrollBarAsNeeded;
    bar->setRange(0, bothAuto && !wanted ? 0 : contents.width() - viewport()->width());
}

void UniformListView::updateGeometries() {
    if (geometry().isEmpty() || !model() || model()->rowCount(rootIndex()) <= 0 ||
        model()->columnCount(rootIndex()) <= 0) {
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
    } else {
        updateHorizontalBar();
        updateVerticalBar();
    }
    QAbstractItemView::updateGeometries();
    layOutBars();
}

int UniformListView::scrollValueFor(int number, const QRect &rect, ScrollHint hint) const {
    const QRect area = viewport()->rect();
    const bool above = hint == EnsureVisible && rect.top() < area.top();
    const bool below = hint == EnsureVisible && rect.bottom() > area.bottom();
    const int value = verticalScrollBar()->value();
    if (!perItem()) {
        if (hint == PositionAtTop || above)
            return value + rect.top();
        if (hint == PositionAtBottom || below)
            return value + qMin(rect.top(), rect.bottom() - area.height() + 1);
        if (hint == PositionAtCenter)
            return value + rect.top() - (area.height() - rect.height()) / 2;
        return value;
    }
    const int current = m_rows > 0 ? qBound(0, value, m_rows) : 0;
    if (above)
        hint = PositionAtTop;
    else if (below)
        hint = PositionAtBottom;
    if (hint == EnsureVisible || number < 0)
        return current;
    // How many rows up to this one fit on the page.
    const int h = m_itemSize.height();
    int top = number;
    while (top > 0 && number * h - (top - 1) * h + rect.height() <= area.height())
        --top;
    const int shown = number - top + 1;
    switch (hint) {
    case PositionAtTop:
        return number;
    case PositionAtBottom:
        return number - shown + 1;
    case PositionAtCenter:
        return number - shown / 2;
    default:
        return current;
    }
}

void UniformListView::scrollTo(const QModelIndex &index, ScrollHint hint) {
    if (index.parent() != rootIndex() || index.column() != modelColumn())
        return;
    const QRect rect = visualRect(index);
    if (!rect.isValid())
        return;
    if (hint == EnsureVisible && viewport()->rect().contains(rect)) {
        viewport()->update(rect);
        return;
    }
    verticalScrollBar()->setValue(scrollValueFor(index.row(), rect, hint));
}

void UniformListView::scrollContentsBy(int dx, int dy) {
    if (m_rows <= 0)
        return;
    if (perItem() && dy != 0) {
        const int now = qBound(0, verticalScrollBar()->value(), m_rows);
        const int before = qBound(0, now + dy, m_rows);
        dy = (before - now) * m_itemSize.height();
    }
    viewport()->scroll(isRightToLeft() ? -dx : dx, dy);
}

// The candidate nearest the target, as the list view measures it.
QModelIndex UniformListView::closest(const QRect &target, Rows candidates) const {
    int shortest = INT_MAX;
    QModelIndex found;
    for (int r = candidates.first; r <= candidates.last; ++r) {
        const QRect rect = rowRect(r);
        int distance;
        if ((target.center().x() >= rect.x() && target.center().x() < rect.right()) ||
            (rect.center().x() >= target.x() && rect.center().x() < target.right()))
            distance = qAbs(rect.center().y() - target.center().y());
        else if ((target.center().y() >= rect.y() && target.center().y() < rect.bottom()) ||
                 (rect.center().y() >= target.y() && rect.center().y() < target.bottom()))
            distance = qAbs(rect.center().x() - target.center().x());
        else
            distance = (rect.center() - target.center()).manhattanLength();
        if (distance < shortest) {
            shortest = distance;
            found = row(r);
        }
    }
    return found;
}

QModelIndex UniformListView::pageUp(const QModelIndex &current) {
    const QRect initial = rowRect(current.row());
    const int page = viewport()->height();
    QRect rect = initial;
    rect.moveTop(rect.top() - page + 1);
    if (rect.top() < rect.height()) {
        rect.setTop(0);
        rect.setBottom(1);
    }
    QModelIndex found = current;
    Rows hit;
    const auto top = [this](const QModelIndex &i) {
        return i.isValid() ? rowRect(i.row()).top() : 0;
    };
    while (hit.empty() || top(found) <= initial.bottom() - viewport()->rect().height() ||
           rect.top() <= 0) {
        rect.translate(0, 1);
        if (rect.bottom() <= 0)
            return current;
        hit = rowsIn(rect);
        found = closest(initial, hit);
    }
    return found;
}

QModelIndex UniformListView::pageDown(const QModelIndex &current) {
    const QRect initial = rowRect(current.row());
    const QSize contents = contentSize();
    QRect rect = initial;
    rect.moveTop(rect.top() + viewport()->height() - 1);
    if (rect.bottom() > contents.height() - rect.height()) {
        rect.setTop(contents.height() - 1);
        rect.setBottom(contents.height());
    }
    QModelIndex found = current;
    Rows hit;
    const auto bottom = [this](const QModelIndex &i) {
        return i.isValid() ? rowRect(i.row()).bottom() : -1;
    };
    while (hit.empty() || bottom(found) >= viewport()->rect().height() + initial.top() ||
           rect.bottom() > contents.height()) {
        rect.translate(0, -1);
        if (rect.top() >= contents.height())
            return current;
        hit = rowsIn(rect);
        found = closest(initial, hit);
    }
    return found;
}

QModelIndex UniformListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    executeDelayedItemsLayout();
    const int count = model() ? model()->rowCount(rootIndex()) : 0;
    const auto forward = [this, count](int r) {
        while (r < count && !usable(r))
            ++r;
        return r < count ? r : -1;
    };
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return count > 0 && forward(0) >= 0 ? row(forward(0)) : QModelIndex();
    switch (action) {
    case MoveUp:
    case MovePrevious: {
        int r = current.row() - 1;
        while (r >= 0 && !usable(r))
            --r;
        return r < 0 ? current : row(r);
    }
    case MoveDown:
    case MoveNext: {
        const int r = forward(current.row() + 1);
        return r < 0 ? current : row(r);
    }
    default:
        break;
    }
    if (current.row() >= m_rows || rowRect(current.row()).isEmpty())
        return row(0);
    const bool pageIsOneRow = rowRect(current.row()).height() >= viewport()->height();
    switch (action) {
    case MovePageUp:
        return pageIsOneRow ? moveCursor(MoveUp, modifiers) : pageUp(current);
    case MovePageDown:
        return pageIsOneRow ? moveCursor(MoveDown, modifiers) : pageDown(current);
    case MoveHome:
        return row(0);
    case MoveEnd:
        return row(m_rows - 1);
    default:
        return current; // left and right: a list has nothing beside a row
    }
}

void UniformListView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) {
    if (!selectionModel())
        return;
    executeDelayedItemsLayout();
    const QPoint offset(horizontalOffset(), verticalOffset());
    const auto lastAt = [&](const QPoint &p) {
        return rowsIn(QRect(p + offset, QSize(1, 1))).last;
    };
    QItemSelection selection;
    int first = -1, last = -1;
    if (rect.width() == 1 && rect.height() == 1) {
        first = last = lastAt(rect.topLeft());
    } else if (state() == DragSelectingState) {
        const Rows hit = rowsIn(rect.translated(offset));
        first = hit.empty() ? -1 : hit.first;
        last = hit.empty() ? -1 : hit.last;
    } else {
        first = lastAt(rect.topLeft());
        last = lastAt(rect.bottomRight());
        if (first > last)
            std::swap(first, last);
    }
    if (first >= 0 && last >= 0 && usable(first) && usable(last))
        selection.select(row(first), row(last));
    selectionModel()->select(selection, command);
}

QRegion UniformListView::visualRegionForSelection(const QItemSelection &selection) const {
    QRegion region;
    const QRect shown = viewport()->rect();
    for (const QItemSelectionRange &range : selection) {
        if (!range.isValid() || range.topLeft().parent() != rootIndex())
            continue;
        const QRect rect(visualRect(row(range.top())).topLeft(),
                         visualRect(row(range.bottom())).bottomRight());
        if (shown.intersects(rect))
            region += rect;
    }
    return region;
}

bool UniformListView::viewportEvent(QEvent *event) {
    switch (event->type()) {
    case QEvent::HoverMove:
    case QEvent::HoverEnter:
        m_hover = indexAt(static_cast<QHoverEvent *>(event)->position().toPoint());
        break;
    case QEvent::HoverLeave:
        m_hover = QPersistentModelIndex();
        break;
    default:
        break;
    }
    return QListView::viewportEvent(event);
}

void UniformListView::paintEvent(QPaintEvent *event) {
    if (!itemDelegate())
        return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    QStylePainter painter(viewport());
    const Rows shown = rowsIn(event->rect().translated(horizontalOffset(), verticalOffset()));
    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QStyle::State state = option.state;
    const bool enabled = (state & QStyle::State_Enabled) != 0;
    const int widest = qMax(viewport()->width(), contentSize().width());
    for (int r = shown.first; r <= shown.last; ++r) {
        const QModelIndex index = row(r);
        if (!index.isValid())
            continue;
        option.rect = visualRect(index);
        option.rect.setWidth(qMin(widest, option.rect.width()));
        option.state = state;
        if (selectionModel() && selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (enabled) {
            const bool on = (model()->flags(index) & Qt::ItemIsEnabled) != 0;
            if (!on)
                option.state &= ~QStyle::State_Enabled;
            option.palette.setCurrentColorGroup(on ? QPalette::Normal : QPalette::Disabled);
        }
        if (focus && current == index) {
            option.state |= QStyle::State_HasFocus;
            if (this->state() == EditingState)
                option.state |= QStyle::State_Editing;
        }
        option.state.setFlag(QStyle::State_MouseOver, index == m_hover);
        if (alternatingRowColors()) {
            option.features.setFlag(QStyleOptionViewItem::Alternate, (r & 1) != 0);
            QStyleOptionViewItem background = option;
            background.state &= ~QStyle::State_Selected;
            style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &background, &painter, this);
        }
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}
