// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/findjournalwindow.h"

#include "core/journalindex.h"
#include "core/store.h"
#include "journal/journalsearcher.h"

#include <QAbstractListModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {
constexpr int TypingPause = 150;  // ms
constexpr int CalendarHalf = 322; // where the journal's editor frame begins
enum Role { HitStartRole = Qt::UserRole, HitLengthRole, DayRole, SnippetRole };
} // namespace

// The hits of the latest answer, one line each.
class SearchResultModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void setHits(std::vector<JournalIndex::Hit> hits) {
        beginResetModel();
        m_hits = std::move(hits);
        endResetModel();
    }
    qint64 keyAt(int row) const { return m_hits[size_t(row)].key; }

    int rowCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : int(m_hits.size());
    }
    QVariant data(const QModelIndex &index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        const JournalIndex::Hit &h = m_hits[size_t(index.row())];
        switch (role) {
        case Qt::DisplayRole:
            return QString(JournalIndex::dayCaption(h.dates) + QStringLiteral("  ") +
                           h.snippet.text);
        case DayRole:
            return JournalIndex::dayCaption(h.dates);
        case SnippetRole:
            return h.snippet.text;
        case HitStartRole:
            return qlonglong(h.snippet.hitStart);
        case HitLengthRole:
            return qlonglong(h.snippet.hitLength);
        default:
            return {};
        }
    }

private:
    std::vector<JournalIndex::Hit> m_hits;
};

namespace {
// Day, then the snippet with its hit in bold red, on one line.
class HitDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        QStyleOptionViewItem base = option;
        initStyleOption(&base, index);
        base.text.clear();
        base.widget->style()->drawControl(QStyle::CE_ItemViewItem, &base, painter, base.widget);

        const bool selected = option.state & QStyle::State_Selected;
        const QColor ink =
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
        QRect r = option.rect.adjusted(4, 0, -4, 0);
        painter->save();
        QFont dayFont = option.font;
        dayFont.setBold(true);
        painter->setFont(dayFont);
        painter->setPen(ink);
        const QString day = index.data(DayRole).toString() + QStringLiteral("  ");
        painter->drawText(r, Qt::AlignVCenter | Qt::AlignLeft, day);
        r.setLeft(r.left() + QFontMetrics(dayFont).horizontalAdvance(day));

        const QString text = index.data(SnippetRole).toString();
        const auto start = qsizetype(index.data(HitStartRole).toLongLong());
        const auto length = qsizetype(index.data(HitLengthRole).toLongLong());
        const struct {
            QString part;
            bool hit;
        } parts[] = {{text.left(start), false},
                     {text.mid(start, length), true},
                     {text.mid(start + length), false}};
        QFont hitFont = option.font;
        hitFont.setBold(true);
        for (const auto &p : parts) {
            if (p.part.isEmpty() || r.width() <= 0)
                continue;
            const QFont &font = p.hit ? hitFont : option.font;
            painter->setFont(font);
            painter->setPen(p.hit && !selected ? QColor(200, 30, 30) : ink);
            const QString shown = QFontMetrics(font).elidedText(p.part, Qt::ElideRight, r.width());
            painter->drawText(r, Qt::AlignVCenter | Qt::AlignLeft, shown);
            r.setLeft(r.left() + QFontMetrics(font).horizontalAdvance(shown));
        }
        painter->restore();
    }
};
} // namespace

FindJournalWindow::FindJournalWindow(const Store *store, QWidget *owner)
    : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("findjournal"));
    setWindowTitle(QStringLiteral("查找日记"));
    resize(460, 420);

    queryBox = new QLineEdit(this);
    queryBox->setObjectName(QStringLiteral("findwords"));
    queryBox->setPlaceholderText(QStringLiteral("输入要查找的字词，用空格分开多个词"));
    queryBox->setClearButtonEnabled(true);
    queryBox->installEventFilter(this);

    results = m_hits = new SearchResultModel(this);
    resultList = new QListView(this);
    resultList->setObjectName(QStringLiteral("findresults"));
    resultList->setModel(m_hits);
    resultList->setItemDelegate(new HitDelegate(resultList));
    resultList->setUniformItemSizes(true);
    resultList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    resultList->setEditTriggers(QAbstractItemView::NoEditTriggers);

    countLabel = new QLabel(this);
    countLabel->setObjectName(QStringLiteral("findcount"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(queryBox);
    layout->addWidget(resultList, 1);
    layout->addWidget(countLabel);

    m_searcher = new JournalSearcher(store ? store->readerUri() : QByteArray(), Listed, this);
    connect(m_searcher, &JournalSearcher::answered, this, &FindJournalWindow::showAnswer);
    m_pause = new QTimer(this);
    m_pause->setSingleShot(true);
    m_pause->setInterval(TypingPause);
    connect(m_pause, &QTimer::timeout, this, &FindJournalWindow::searchNow);
    connect(queryBox, &QLineEdit::textChanged, m_pause, qOverload<>(&QTimer::start));
    connect(resultList, &QListView::clicked, this, &FindJournalWindow::choose);
    connect(resultList, &QListView::activated, this, &FindJournalWindow::choose);
}

FindJournalWindow::~FindJournalWindow() = default;

void FindJournalWindow::focusQuery() {
    queryBox->setFocus();
    queryBox->selectAll();
}

void FindJournalWindow::searchNow() {
    m_pause->stop();
    const QString query = queryBox->text();
    if (query == m_asked)
        return;
    m_asked = query;
    m_shownFirst = false;
    if (query.trimmed().isEmpty()) {
        // Asked for nothing, the searcher would answer "none found".
        m_searcher->stop();
        m_chooseFirst = false;
        m_hits->setHits({});
        countLabel->clear();
        return;
    }
    m_searcher->search(query);
}

void FindJournalWindow::showAnswer(const QString &query, const JournalIndex::Answer &answer) {
    if (query != m_asked)
        return;
    // The whole answer begins with the hits shown first: a row the user
    // moved to stays current.
    const int current = m_shownFirst ? resultList->currentIndex().row() : 0;
    m_shownFirst = !answer.complete;
    m_hits->setHits(answer.hits);
    QString line;
    if (!answer.complete)
        line = QStringLiteral("正在查找…");
    else if (answer.count > qint64(answer.hits.size()))
        line =
            QStringLiteral("共 %1 篇，列出最新的 %2 篇").arg(answer.count).arg(answer.hits.size());
    else
        line = QStringLiteral("共 %1 篇").arg(answer.count);
    // Found by its beginning only: the user should know.
    if (answer.cut)
        line += QStringLiteral("（查找词太长，只按开头的部分查找）");
    countLabel->setText(line);
    if (m_hits->rowCount() > 0)
        resultList->setCurrentIndex(m_hits->index(std::clamp(current, 0, m_hits->rowCount() - 1)));
    if (std::exchange(m_chooseFirst, false))
        choose(resultList->currentIndex());
}

void FindJournalWindow::choose(const QModelIndex &index) {
    if (index.isValid() && index.row() < m_hits->rowCount())
        Q_EMIT entryChosen(m_hits->keyAt(index.row()), m_asked);
}

bool FindJournalWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == queryBox && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Down && m_hits->rowCount() > 0) {
            resultList->setFocus();
            if (!resultList->currentIndex().isValid())
                resultList->setCurrentIndex(m_hits->index(0));
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Typed and entered at once: the first hit, once it is known.
            if (queryBox->text() != m_asked || m_pause->isActive()) {
                m_chooseFirst = true;
                searchNow();
            } else {
                choose(resultList->currentIndex());
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindJournalWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (std::exchange(m_placed, true) || !parentWidget())
        return;
    // Beside the journal where the screen has room, so the entry chosen
    // stays in view; else over its calendar half, clear of the editor.
    const QRect owner = parentWidget()->frameGeometry();
    const QScreen *screen = parentWidget()->screen();
    const QRect room = screen ? screen->availableGeometry() : owner;
    QPoint at(owner.right() + 8, owner.top());
    if (at.x() + width() > room.right())
        at.setX(owner.left() - width() - 8);
    if (at.x() < room.left())
        at.setX(std::max(room.left(), owner.left() + CalendarHalf - width()));
    at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - height())));
    move(at);
}

void FindJournalWindow::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
