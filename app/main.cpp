#include <QApplication>

#include "startupoptions.h"
#include "windowchoice.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    // Parsed now so launch scripts can already pass it; the console does not use it yet.
    const StartupOptions options = parseStartupOptions(QCoreApplication::arguments());
    Q_UNUSED(options);

    const std::unique_ptr<QMainWindow> window =
        createMainWindow(QCoreApplication::applicationDirPath());
    window->show();
    return app.exec();
}
