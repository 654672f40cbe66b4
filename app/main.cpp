// Starts Tessaly: the application object and its one window.
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));
    QApplication::setApplicationVersion(QStringLiteral(TESSALY_VERSION));

    QWidget window;
    window.setWindowTitle(QStringLiteral("Tessaly v1.2"));
    window.setFixedSize(599, 640);
    window.show();
    return application.exec();
}
