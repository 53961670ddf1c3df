// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class JournalSearcher;
class QAbstractItemModel;
class QLabel;
class QLineEdit;
class QListView;
class QModelIndex;
class QTimer;
class SearchResultModel;
class Store;
namespace JournalIndex {
struct Answer;
}

// Finds journal entries by what they say, as the user types: newest day
// first, each with the words around its first hit. Choosing one hands its
// row key to the journal page.
class FindJournalWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int Listed = 500;

    FindJournalWindow(const Store *store, QWidget *owner);
    ~FindJournalWindow() override;

    QLineEdit *queryBox;
    QListView *resultList;
    QLabel *countLabel;
    QAbstractItemModel *results; // day and snippet of each hit, newest first

    // The query box takes the keyboard with its text selected, to type over.
    void focusQuery();
    // Searches now rather than after the typing pause.
    void searchNow();

Q_SIGNALS:
    // With the query it was found by.
    void entryChosen(qint64 key, const QString &query);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void showAnswer(const QString &query, const JournalIndex::Answer &answer);
    void choose(const QModelIndex &index);

    SearchResultModel *m_hits;
    JournalSearcher *m_searcher;
    QTimer *m_pause;
    QString m_asked;
    bool m_chooseFirst = false;
    bool m_shownFirst = false; // the newest hits are shown, the rest to come
    bool m_placed = false;
};
