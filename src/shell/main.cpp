// The program's entry: start-up, then the main bar's message loop.
#include <QApplication>

#include "images.h"
#include "platform.h"
#include "shell.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setWindowIcon(ui::programIcon());
    shell::installFatalHandler();
    const std::unique_ptr<shell::platform::Platform> platform = shell::platform::createPlatform();
    shell::Shell shell(*platform);
    return shell.run();
}
