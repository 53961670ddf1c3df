// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/artwork.h"
#include "widgets/labelbutton.h"
#include "widgets/picturebutton.h"
#include "widgets/uniformlistview.h"
#include "widgets/windowholder.h"

#include <QDialog>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTest>
#include <QTimer>

namespace {
int loads = 0;

class Sample : public QDialog {
public:
    Sample() {
        ++loads; // the window's load steps
        setObjectName("sample");
        value = 7;
    }
    int value = 0;
};
} // namespace

// The same steps on a list view and on the uniform list, which must end
// alike: current and selected row, scroll position, every pixel.
static void sameAs(QListView &list, UniformListView &uniform, const QString &step) {
    QCOMPARE(uniform.currentIndex().row(), list.currentIndex().row());
    QCOMPARE(uniform.selectionModel()->selectedRows(), list.selectionModel()->selectedRows());
    for (const QScrollBar *bar : {uniform.verticalScrollBar(), uniform.horizontalScrollBar()}) {
        const QScrollBar *other = bar->orientation() == Qt::Vertical ? list.verticalScrollBar()
                                                                     : list.horizontalScrollBar();
        QVERIFY2(bar->value() == other->value() && bar->maximum() == other->maximum() &&
                     bar->pageStep() == other->pageStep() && bar->isVisible() == other->isVisible(),
                 qPrintable(step));
    }
    for (const QPoint p : {QPoint(3, 3), QPoint(280, 150), QPoint(100, 199), QPoint(5, 90)})
        QVERIFY2(uniform.indexAt(p) == list.indexAt(p), qPrintable(step));
    QVERIFY2(uniform.grab().toImage() == list.grab().toImage(), qPrintable(step));
}

// Single-instance windows, label buttons, pictures and the uniform list.
class TestForms : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void touchCreatesHiddenOnceAndCloseDestroys() {
        loads = 0;
        WindowHolder<Sample> holder([] { return new Sample; });
        QVERIFY(!holder.exists());
        Sample *first = holder.get();
        QCOMPARE(loads, 1);
        QVERIFY(!first->isVisible()); // touched, not shown
        QCOMPARE(holder.get(), first);
        QCOMPARE(loads, 1);

        first->value = 99;
        first->show();
        first->hide(); // hiding keeps the window and its state
        QCOMPARE(holder.get(), first);
        QCOMPARE(holder.get()->value, 99);

        QPointer<Sample> gone(first);
        first->show();
        QVERIFY(first->close());
        // Gone at once, before Qt gets round to deleting it.
        QVERIFY(!holder.exists());
        Sample *second = holder.get();
        QVERIFY(second != first);
        QCOMPARE(second->value, 7);
        QCOMPARE(loads, 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(gone.isNull());
        QCOMPARE(holder.get(), second);
    }

    void modalDialogKeptWhenHiddenAndGoneWhenClosed() {
        loads = 0;
        WindowHolder<Sample> holder([] { return new Sample; });
        Sample *dlg = holder.get();
        QTimer::singleShot(0, dlg, &QDialog::hide);
        dlg->exec();
        QCOMPARE(holder.get(), dlg); // hidden: the same window
        QPointer<Sample> gone(dlg);
        QTimer::singleShot(0, dlg, &QDialog::close);
        dlg->exec();
        QVERIFY(!holder.exists());
        QVERIFY(holder.get() != dlg);
        QCOMPARE(loads, 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(gone.isNull());
    }

    void refusedCloseKeepsTheWindow() {
        struct Stubborn : QWidget {
            void closeEvent(QCloseEvent *e) override { e->ignore(); }
        };
        WindowHolder<Stubborn> holder([] { return new Stubborn; });
        Stubborn *w = holder.get();
        w->show();
        QVERIFY(!w->close());
        QCOMPARE(holder.get(), w);
        delete w;
        QVERIFY(!holder.exists());
    }

    void labelButtonClicksEmphasisAndDisabling() {
        LabelButton label("save", QString::fromUtf8("保存"));
        label.resize(60, 24);
        label.show();
        QSignalSpy clicks(&label, &LabelButton::clicked);
        QTest::mouseClick(&label, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
        QTest::mouseClick(&label, Qt::RightButton);
        QCOMPARE(clicks.count(), 1);

        QVERIFY(!label.isBold());
        QTest::mouseMove(&label, QPoint(10, 10));
        QTRY_VERIFY(label.isBold());

        label.setBold(false);
        label.setEnabled(false);
        QTest::mouseClick(&label, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
    }

    // Built property by property, as a form builds it: the picture by its
    // name, and the tip, once there is one, as the name a screen reader reads.
    void pictureButtonFromItsProperties() {
        PictureButton button;
        QVERIFY(button.setProperty("artwork", QString("open")));
        QCOMPARE(button.artwork(), QString("open"));
        QVERIFY(!button.icon().isNull());
        button.setAccessibleName(QString::fromUtf8("打开图片"));
        button.setToolTip(QString());
        QCOMPARE(button.accessibleName(), QString::fromUtf8("打开图片"));
        button.setToolTip(QString::fromUtf8("下一张"));
        QCOMPARE(button.accessibleName(), QString::fromUtf8("下一张"));
    }

    // Pictures drawn ahead by the build are the vector's own pixels; other
    // sizes still come from the vector.
    void artworkDrawsAsItsVector() {
        for (const char *name : {"journal", "close", "next", "quillary", "album"})
            for (int side : {16, 20, 40, 33, 480}) {
                const QSize size(side, side * 3 / 4);
                const QIcon vector(QStringLiteral(":/icons/%1.svg").arg(name));
                for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled})
                    QCOMPARE(Artwork::icon(name).pixmap(size, 1.0, mode).toImage(),
                             vector.pixmap(size, 1.0, mode).toImage());
                QCOMPARE(Artwork::icon(name).pixmap(QSize(side, side)).toImage(),
                         vector.pixmap(QSize(side, side)).toImage());
            }
        QCOMPARE(Artwork::pixmap("album", QSize(480, 360)).size(), QSize(480, 360));
    }

    // Keys, clicks and scrolling on short and on wide lines, against the
    // list view the uniform list stands in for.
    void uniformListActsAsAListView() {
        for (const QString &last : {QString("the last"), QString(300, QChar(0x6587))}) {
            QStringList lines;
            for (int i = 0; i < 1000; ++i)
                lines << QStringLiteral("line %1").arg(i);
            lines << last;
            QStringListModel model(lines);
            QWidget window; // one window: both drawn as active or both not
            QListView list(&window);
            list.setUniformItemSizes(true);
            UniformListView uniform(&window);
            for (QListView *view : {&list, static_cast<QListView *>(&uniform)}) {
                view->setEditTriggers(QAbstractItemView::NoEditTriggers);
                view->setFocusPolicy(Qt::NoFocus);
                view->setModel(&model);
                view->setGeometry(view == &list ? 0 : 300, 0, 290, 200);
            }
            window.setFocusPolicy(Qt::StrongFocus);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.setFocus();
            sameAs(list, uniform, "shown");
            const struct {
                Qt::Key key;
                int times;
            } keys[] = {{Qt::Key_Down, 3},  {Qt::Key_PageDown, 4}, {Qt::Key_Up, 2},
                        {Qt::Key_End, 1},   {Qt::Key_PageUp, 3},   {Qt::Key_Home, 1},
                        {Qt::Key_Right, 1}, {Qt::Key_PageDown, 1}, {Qt::Key_Left, 1}};
            for (const auto &k : keys)
                for (int i = 0; i < k.times; ++i) {
                    QTest::keyClick(&list, k.key);
                    QTest::keyClick(&uniform, k.key);
                    sameAs(list, uniform, QStringLiteral("key %1").arg(k.key));
                }
            for (const QPoint p : {QPoint(10, 30), QPoint(250, 185), QPoint(20, 199)}) {
                QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, p);
                QTest::mouseClick(uniform.viewport(), Qt::LeftButton, {}, p);
                sameAs(list, uniform, "click");
            }
            for (int row : {0, 500, 999, 1000, 3})
                for (auto hint :
                     {QAbstractItemView::EnsureVisible, QAbstractItemView::PositionAtTop,
                      QAbstractItemView::PositionAtBottom, QAbstractItemView::PositionAtCenter}) {
                    list.scrollTo(model.index(row), hint);
                    uniform.scrollTo(model.index(row), hint);
                    sameAs(list, uniform, QStringLiteral("row %1 hint %2").arg(row).arg(hint));
                }
            model.removeRows(2, 990);
            list.verticalScrollBar()->setValue(0);
            uniform.verticalScrollBar()->setValue(0);
            QCOMPARE(uniform.visualRect(model.index(5)), list.visualRect(model.index(5)));
            sameAs(list, uniform, "rows removed");
        }
    }
};

QTEST_MAIN(TestForms)
#include "test_forms.moc"
