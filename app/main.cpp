#include <QApplication>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Wavesmithy v0.51"));
    w.resize(800, 600);
    w.show();
    const QStringList args = app.arguments();
    const qsizetype shot = args.indexOf(QStringLiteral("--screenshot"));
    if (shot > 0 && shot + 1 < args.size()) {
        QTimer::singleShot(500, [&] {
            w.grab().save(args.at(shot + 1));
            app.quit();
        });
    }
    return app.exec();
}
