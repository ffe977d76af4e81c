#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tarko");
    QMainWindow w;
    w.setWindowTitle("Tarko");
    w.resize(800, 600);
    w.show();
    return app.exec();
}
