// SPDX-License-Identifier: GPL-3.0-or-later
// The floors of the time-to-window benchmark: a Qt Widgets program that only
// shows an empty window, or (with "chinese") one line of Chinese text in the
// default font, as any program with a Chinese interface must.
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quillary"));
    window.resize(800, 560);
    if (argc > 1 && qstrcmp(argv[1], "chinese") == 0)
        (new QLabel(QStringLiteral("日记 · 小说 · 通讯录 · 相册"), &window))->move(20, 20);
    window.show();
    return QApplication::exec();
}
