#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mereval"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Mereval"));
    window.show();
    return QApplication::exec();
}
