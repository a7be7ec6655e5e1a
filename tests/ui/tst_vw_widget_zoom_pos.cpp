#include "vw_widget_zoom_pos.h"

#include <QImage>
#include <QtTest>

class TestVwWidgetZoomPos : public QObject
{
    Q_OBJECT

private slots:
    void drag_data();
    void drag();
    void dragIsRelativeToThePress();
    void paint_data();
    void paint();
};

void TestVwWidgetZoomPos::drag_data()
{
    QTest::addColumn<QPointF>("anchor");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QSize>("pane");
    QTest::addColumn<QPointF>("expected");

    const QSize pane(400, 300);
    QTest::newRow("no move") << QPointF(0.25, 0.25) << QPoint(200, 150) << QPoint(200, 150) << pane
                             << QPointF(0.25, 0.25);
    QTest::newRow("mouse left moves view right")
        << QPointF(0.25, 0.25) << QPoint(200, 150) << QPoint(100, 150) << pane << QPointF(0.375, 0.25);
    QTest::newRow("mouse down moves view up")
        << QPointF(0.25, 0.25) << QPoint(200, 150) << QPoint(200, 210) << pane << QPointF(0.25, 0.15);
    QTest::newRow("small step") << QPointF(0.25, 0.25) << QPoint(10, 10) << QPoint(14, 13) << pane
                                << QPointF(0.245, 0.245);
    QTest::newRow("far right and bottom stops at 0")
        << QPointF(0.25, 0.25) << QPoint(0, 0) << QPoint(400, 300) << pane << QPointF(0.0, 0.0);
    QTest::newRow("far left and top stops at 0.5")
        << QPointF(0.25, 0.25) << QPoint(400, 300) << QPoint(0, 0) << pane << QPointF(0.5, 0.5);
    QTest::newRow("beyond the pane") << QPointF(0.1, 0.4) << QPoint(50, 50) << QPoint(-2000, 3000)
                                     << pane << QPointF(0.5, 0.0);
    QTest::newRow("from the edge") << QPointF(0.5, 0.0) << QPoint(100, 100) << QPoint(140, 70) << pane
                                   << QPointF(0.45, 0.05);
    QTest::newRow("empty pane keeps position")
        << QPointF(0.25, 0.25) << QPoint(0, 0) << QPoint(50, 50) << QSize(0, 300) << QPointF(0.25, 0.25);
}

void TestVwWidgetZoomPos::drag()
{
    QFETCH(QPointF, anchor);
    QFETCH(QPoint, press);
    QFETCH(QPoint, point);
    QFETCH(QSize, pane);
    QFETCH(QPointF, expected);

    VwWidgetZoomPos zoomPos;
    QCOMPARE(zoomPos.posX(), 0.25f);
    QCOMPARE(zoomPos.posY(), 0.25f);
    zoomPos.setAnchorX(float(anchor.x()));
    zoomPos.setAnchorY(float(anchor.y()));
    zoomPos.drag(press, point, pane);
    QVERIFY2(qAbs(zoomPos.posX() - expected.x()) < 1e-6, qPrintable(QString::number(zoomPos.posX())));
    QVERIFY2(qAbs(zoomPos.posY() - expected.y()) < 1e-6, qPrintable(QString::number(zoomPos.posY())));
    QVERIFY(zoomPos.posX() >= 0.0f && zoomPos.posX() <= 0.5f);
    QVERIFY(zoomPos.posY() >= 0.0f && zoomPos.posY() <= 0.5f);
}

void TestVwWidgetZoomPos::dragIsRelativeToThePress()
{
    VwWidgetZoomPos zoomPos;
    const QSize pane(200, 100);
    zoomPos.startDrag();
    zoomPos.drag(QPoint(100, 50), QPoint(60, 50), pane);
    QCOMPARE(zoomPos.posX(), 0.35f);
    // Moves during one drag do not add up: each counts from the press.
    zoomPos.drag(QPoint(100, 50), QPoint(80, 50), pane);
    QCOMPARE(zoomPos.posX(), 0.3f);
    // A drag past the edge and back ends where the mouse is.
    zoomPos.drag(QPoint(100, 50), QPoint(-400, 50), pane);
    QCOMPARE(zoomPos.posX(), 0.5f);
    zoomPos.drag(QPoint(100, 50), QPoint(100, 50), pane);
    QCOMPARE(zoomPos.posX(), 0.25f);

    // The next drag starts where the last one ended.
    zoomPos.drag(QPoint(100, 50), QPoint(60, 50), pane);
    zoomPos.startDrag();
    QCOMPARE(zoomPos.anchorX(), 0.35f);
    zoomPos.drag(QPoint(0, 0), QPoint(40, 0), pane);
    QCOMPARE(zoomPos.posX(), 0.25f);
}

void TestVwWidgetZoomPos::paint_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPointF>("pos");
    QTest::addColumn<QRect>("rect");

    QTest::newRow("centre") << QSize(160, 90) << QPointF(0.25, 0.25) << QRect(40, 22, 80, 45);
    QTest::newRow("odd size rounds half up") << QSize(161, 91) << QPointF(0.25, 0.25) << QRect(40, 22, 81, 46);
    QTest::newRow("top left") << QSize(160, 90) << QPointF(0.0, 0.0) << QRect(0, 0, 80, 45);
    QTest::newRow("truncated corner") << QSize(200, 100) << QPointF(0.333, 0.129) << QRect(66, 12, 100, 50);
}

void TestVwWidgetZoomPos::paint()
{
    QFETCH(QSize, size);
    QFETCH(QPointF, pos);
    QFETCH(QRect, rect);

    VwWidgetZoomPos zoomPos;
    zoomPos.resize(size);
    zoomPos.startDrag();
    zoomPos.setAnchorX(0);
    zoomPos.setAnchorY(0);
    zoomPos.move(float(pos.x()), float(pos.y()));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    zoomPos.render(&image);

    const QRgb red = qRgb(255, 0, 0);
    const int right = rect.x() + rect.width();
    const int bottom = rect.y() + rect.height();
    const QPoint onFrame[] = {rect.topLeft(), {right, rect.y()}, {rect.x(), bottom}, {right, bottom},
                              {(rect.x() + right) / 2, rect.y()}, {rect.x(), (rect.y() + bottom) / 2}};
    for (const QPoint &p : onFrame) {
        if (p.x() < size.width() && p.y() < size.height())
            QVERIFY2(image.pixel(p) == red, qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    }
    const QPoint offFrame[] = {{rect.x() + 2, rect.y() + 2}, rect.center(), {right + 1, rect.y()}};
    for (const QPoint &p : offFrame) {
        if (p.x() < size.width() && p.y() < size.height())
            QVERIFY2(image.pixel(p) != red, qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    }
    if (rect.x() > 0)
        QVERIFY(image.pixel(rect.x() - 1, rect.y()) != red);
}

QTEST_MAIN(TestVwWidgetZoomPos)
#include "tst_vw_widget_zoom_pos.moc"
