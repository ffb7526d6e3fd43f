#include <QtTest>

#include "acquisition/board.h"
#include "tests/support/fake_kernel.h"

// Boards held by objects of their own: a printer port one board holds is refused to another in
// the same process, by any name of it, until the first closes; simulated boards are each their
// own.

namespace {

std::unique_ptr<kx::Board> OpenPort(const std::string& device, std::string& why) {
    kx::BoardOptions options;
    options.portDevice = device;
    options.noBoardCheck = true;  // the fake port floats
    auto kernel = std::make_unique<FakeKernel>();
    kernel->havePort0();
    kernel->minors[device] = 0;
    return kx::Board::Open(options, {}, why, std::move(kernel));
}

}  // namespace

class HeldBoardsTest : public QObject {
    Q_OBJECT

private slots:
    void aHeldPortIsRefusedUntilClosed() {
        std::string why;
        auto first = OpenPort("/dev/parport0", why);
        QVERIFY2(first, why.c_str());
        QCOMPARE(first->Line(), std::string("Board: printer port /dev/parport0 at 0x378"));

        QVERIFY(!OpenPort("/dev/parport0", why));
        QCOMPARE(why, std::string("/dev/parport0 is held by another board of this process: "
                                  "close that board first"));

        QVERIFY(first->Close(why));
        auto again = OpenPort("/dev/parport0", why);
        QVERIFY2(again, why.c_str());
    }

    void simulatedBoardsAreEachTheirOwn() {
        kx::BoardOptions options;
        options.simulate = true;
        std::string why;
        auto a = kx::Board::Open(options, {}, why);
        auto b = kx::Board::Open(options, {}, why);
        QVERIFY(a && b);
        QVERIFY(a->simulator() != b->simulator());
        QVERIFY(&a->link() != &b->link());
        QCOMPARE(a->link().base(), uint16_t(0x378));
        QCOMPARE(b->link().base(), uint16_t(0x378));
    }
};

QTEST_APPLESS_MAIN(HeldBoardsTest)
#include "tst_held_boards.moc"
