// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/labelbutton.h"
#include "widgets/picturebutton.h"
#include "widgets/windowholder.h"

#include <QDialog>
#include <QSignalSpy>
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

// Single-instance windows and label buttons.
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
};

QTEST_MAIN(TestForms)
#include "test_forms.moc"
