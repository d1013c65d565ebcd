// The program's own pictures are compiled in and load.
#include "images.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QtEndian>

namespace {

TEST(Images, TheIconFileHoldsOne48By48ImageOf32Bits) {
    const QByteArray file = ui::programIconFile();
    ASSERT_EQ(file.size(), 9662);
    const auto* b = reinterpret_cast<const uchar*>(file.constData());
    EXPECT_EQ(qFromLittleEndian<quint16>(b + 2), 1);  // an icon
    EXPECT_EQ(qFromLittleEndian<quint16>(b + 4), 1);  // one image
    EXPECT_EQ(b[6], 48);
    EXPECT_EQ(b[7], 48);
    EXPECT_EQ(qFromLittleEndian<quint16>(b + 12), 32);  // bits per pixel
    EXPECT_EQ(qFromLittleEndian<quint32>(b + 14), 9662u - 22u);

    const QIcon icon = ui::programIcon();
    EXPECT_FALSE(icon.isNull());
    EXPECT_EQ(icon.availableSizes().value(0), QSize(48, 48));
}

TEST(Images, EveryPictureLoads) {
    EXPECT_FALSE(ui::logoImage().isNull());
    EXPECT_FALSE(ui::calculatorImage().isNull());
    for (int page = 0; page < 4; ++page) EXPECT_FALSE(ui::toolbarImage(page).isNull()) << page;
    EXPECT_TRUE(ui::toolbarImage(4).isNull());
    const QList<QPixmap> status = ui::statusImages();
    ASSERT_EQ(status.size(), 2);
    EXPECT_EQ(status[0].size(), QSize(16, 16));
    EXPECT_EQ(status[1].size(), QSize(16, 16));
    // Settled and unsettled must be told apart.
    EXPECT_NE(status[0].toImage(), status[1].toImage());
}

}  // namespace
