#include <QApplication>

#include "simulatedbus.h"
#include "startupoptions.h"
#include "windowchoice.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    // Before the window, whose adapter list is filled at construction.
    const StartupOptions options = parseStartupOptions(QCoreApplication::arguments());
    const auto simulatedChain = startSimulatedBus(options);

    const std::unique_ptr<QMainWindow> window =
        createMainWindow(QCoreApplication::applicationDirPath());
    window->show();
    return app.exec();
}
