#include "images.h"

#include <QFile>

namespace ui {
namespace {

QPixmap resource(const char* name) {
    return QPixmap(QStringLiteral(":/lanhe/images/") + QLatin1String(name));
}

}  // namespace

QIcon programIcon() {
    QIcon icon;
    icon.addPixmap(resource("program_icon.png"));
    return icon;
}

QByteArray programIconFile() {
    QFile file(QStringLiteral(":/lanhe/images/program_icon.ico"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

QPixmap logoImage() { return resource("logo.png"); }

QPixmap calculatorImage() { return resource("calculator.png"); }

QPixmap toolbarImage(int page) {
    static const char* const names[] = {"toolbar_entry.png", "toolbar_query.png",
                                        "toolbar_customers.png", "toolbar_settings.png"};
    if (page < 0 || page > 3) return {};
    return resource(names[page]);
}

QPixmap unsettledImage() { return resource("unsettled.png"); }

QPixmap settledImage() { return resource("settled.png"); }

QList<QPixmap> statusImages() { return {unsettledImage(), settledImage()}; }

}  // namespace ui
