// The program's own pictures, compiled in as resources.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QPixmap>

namespace ui {

// The program icon: one 48 by 48 image of 32 bits per pixel.
QIcon programIcon();
// The same icon as an icon file image (9662 bytes), as the notification area
// takes it.
QByteArray programIconFile();

// The main bar's picture box.
QPixmap logoImage();
// The calculator button `超级按钮1`.
QPixmap calculatorImage();

// The main bar's toolbar, by page: 0 entry, 1 query, 2 customers, 3 settings.
QPixmap toolbarImage(int page);

// The status column's image strip: index 0 unsettled, index 1 settled.
QPixmap unsettledImage();
QPixmap settledImage();
QList<QPixmap> statusImages();

}  // namespace ui
