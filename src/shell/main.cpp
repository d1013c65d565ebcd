// The program's entry. It works in its own folder, where the tables lie, and
// shows the main bar at the top edge of the screen until it is closed.
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QScreen>

#include "images.h"
#include "main_bar.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    app.setWindowIcon(ui::programIcon());

    ui::MainBar bar;
    const QRect screen = app.primaryScreen()->availableGeometry();
    bar.move(screen.left() + (screen.width() - bar.width()) / 2, screen.top() + 2);
    QObject::connect(bar.结束按钮, &QPushButton::clicked, &bar, &QWidget::close);
    bar.show();
    return app.exec();
}
