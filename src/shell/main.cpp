// The program's entry: start-up, then the main bar's message loop.
#include <QApplication>

#include "appearance.h"
#include "chinese_texts.h"
#include "images.h"
#include "platform.h"
#include "shell.h"

int main(int, char** argv) {
    // The program takes no arguments: Qt sees only the program's name, so
    // that nothing typed after it (-reverse, -style, -platform …) changes
    // the windows. Qt's environment variables still apply.
    char fallbackName[] = "lanhe-ledger";
    int qtArgc = 1;
    char* qtArgv[] = {argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
    QApplication app(qtArgc, qtArgv);
    ui::installChineseTexts();
    ui::makeDisabledTextReadable();
    app.setWindowIcon(ui::programIcon());
    shell::installFatalHandler();
    const std::unique_ptr<shell::platform::Platform> platform = shell::platform::createPlatform();
    shell::Shell shell(*platform);
    return shell.run();
}
