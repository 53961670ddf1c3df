// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/popupmenu.h"

#include "app/mainwindow.h"

PopupMenu::PopupMenu(MainWindow *window) : QMenu(QStringLiteral("XX"), window) {
    setObjectName(QStringLiteral("menufile"));
    auto entry = [this, window](const char *name, const char *caption, auto action) {
        QAction *a = addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, window, action);
        return a;
    };
    // Page entries do what the page buttons do.
    journalAction = entry("menudiary", "日历(&D)", &MainWindow::showJournalPage);
    photoAction = entry("menuphoto", "照片(&P)", &MainWindow::showPhotoPage);
    novelAction = entry("menustory", "小说(&S)", &MainWindow::showNovelPage);
    contactsAction = entry("menuadd", "地址(&A)", &MainWindow::showContactsPage);
    findJournalAction = entry("menufindjournal", "查找日记(&F)", &MainWindow::openFindJournal);
    findJournalAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    backupAction = entry("menubackup", "备份(&B)…", &MainWindow::openBackups);
    exportAction = entry("menuexport", "导出(&E)…", &MainWindow::openExport);
    importAction = entry("menuimport", "导入(&I)…", &MainWindow::openImport);
    addSeparator()->setObjectName(QStringLiteral("line1"));
    optionsAction = entry("menuoption", "选项(&O)", &MainWindow::openOptions);
    addSeparator()->setObjectName(QStringLiteral("line2"));
    aboutAction = entry("menuabout", "关于(&H)", &MainWindow::openAbout);
    helpAction = entry("menuhelp", "使用方法(&Q)", &MainWindow::openHelp);
}
