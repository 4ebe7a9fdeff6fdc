#include "desktop/portalscreencapture.h"

#include <QtTest>

class TestPortalScreenCapture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void screenPartsOfTheWholeDesktop_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QList<QRect>>("parts"); // empty: a region already chosen
        const QList<QRect> screens{{0, 0, 1280, 800}, {1280, 0, 1920, 1080}};
        QTest::newRow("scale 1") << QSize(3200, 1080) << screens;
        QTest::newRow("scale 2") << QSize(6400, 2160) << QList<QRect>{{0, 0, 2560, 1600}, {2560, 0, 3840, 2160}};
        QTest::newRow("a region") << QSize(800, 200) << QList<QRect>{};
        QTest::newRow("wider than the desktop's shape") << QSize(3200, 600) << QList<QRect>{};
    }

    // Each screen's part, found again by the colour at its corner.
    void screenPartsOfTheWholeDesktop()
    {
        QFETCH(QSize, picture);
        QFETCH(QList<QRect>, parts);
        QImage image(picture, QImage::Format_RGB32);
        image.fill(Qt::black);
        for (qsizetype i = 0; i < parts.size(); ++i)
            image.setPixel(parts[i].topLeft(), qRgb(0, 0, int(i) + 1));
        const QList<QImage> cut = PortalScreenCapture::screenParts(
            image, {QRect(0, 0, 1280, 800), QRect(1280, 0, 1920, 1080)});
        QCOMPARE(cut.size(), parts.size());
        for (qsizetype i = 0; i < parts.size(); ++i) {
            QCOMPARE(cut[i].size(), parts[i].size());
            QCOMPARE(qBlue(cut[i].pixel(0, 0)), int(i) + 1);
        }
    }
};

QTEST_MAIN(TestPortalScreenCapture)
#include "tst_portalscreencapture.moc"
