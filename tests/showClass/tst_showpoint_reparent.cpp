// The 3D view moved between two windows twenty times: each move releases the renderer on the
// window it leaves and the next window draws with a fresh one. Also run in an AddressSanitizer
// build, where a renderer used after its deletion, or left behind, shows.
#include "ShowPointWindow.h"

#include "processClass/ColorTable.h"

#include <QTest>

class tst_ShowPointReparent : public QObject
{
    Q_OBJECT

public:
    static void initMain() { ShowPointWindow::selectGraphics(); }

private slots:
    void reparentTwentyTimes();
};

void tst_ShowPointReparent::reparentTwentyTimes()
{
    ShowPointWindow first;
    ShowPointWindow second(false);
    second.m_window.setPosition(first.m_window.position() + QPoint(40, 40));
    QVERIFY(first.show());
    QVERIFY(second.show());
    ShowPoint *item = first.m_item;
    const QPoint centre = ShowPointWindow::atOffset(10, 10);
    const QRgb palette0 = ColorTable::instance().palette(0)[0];
    const QRgb palette3 = ColorTable::instance().palette(3)[0];

    const int idleHooks = second.m_window.renderHooks();
    ShowPointWindow *from = &first;
    ShowPointWindow *to = &second;
    QTRY_VERIFY_WITH_TIMEOUT(ShowPointWindow::viewDrawn(from->grab()), 10000);
    QCOMPARE(first.m_window.renderHooks(), idleHooks + 2);
    for (int move = 0; move < 20; ++move) {
        // A palette chosen in one window belongs to that window's renderer only.
        item->f_setColorTable(3);
        QTRY_VERIFY_WITH_TIMEOUT(from->grab().pixel(centre) == palette3, 10000);

        item->setParentItem(to->m_window.contentItem());
        QTRY_VERIFY2_WITH_TIMEOUT(ShowPointWindow::viewDrawn(to->grab()),
                                  qPrintable(QStringLiteral("move %1").arg(move)), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(to->grab().pixel(centre) == palette0, 10000);
        QTRY_VERIFY2_WITH_TIMEOUT(!ShowPointWindow::viewDrawn(from->grab())
                                      && from->grab().pixel(centre) == qRgb(0, 0, 0),
                                  qPrintable(QStringLiteral("move %1").arg(move)), 10000);
        // The renderer left behind is gone, not merely idle.
        QCOMPARE(from->m_window.renderHooks(), idleHooks);
        QCOMPARE(to->m_window.renderHooks(), idleHooks + 2);
        std::swap(from, to);
    }
    // Deleting the item inside a window releases its renderer there too.
    delete item;
    QTRY_VERIFY_WITH_TIMEOUT(!ShowPointWindow::viewDrawn(from->grab()), 10000);
    QCOMPARE(from->m_window.renderHooks(), idleHooks);
}

QTEST_MAIN(tst_ShowPointReparent)
#include "tst_showpoint_reparent.moc"
