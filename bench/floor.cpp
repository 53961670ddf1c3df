// The floor of the time-to-window benchmark: a Qt Widgets program that only
// shows an empty window.
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quillary"));
    window.resize(800, 560);
    window.show();
    return QApplication::exec();
}
