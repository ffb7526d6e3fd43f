#include <QtTest>
#include <cmath>

#include "analysis/histogram.h"

namespace {

// "code:count" pairs of the codes that occur, ascending.
QString Table(const kx::CodeHistogram& h) {
    QStringList rows;
    for (size_t i = 0; i < h.codes.size(); ++i)
        rows << QStringLiteral("%1:%2").arg(h.codes[i]).arg(h.counts[i]);
    return rows.join(',');
}

}  // namespace

class HistogramTest : public QObject {
    Q_OBJECT

private slots:
    void counts_data() {
        QTest::addColumn<std::vector<double>>("run");
        QTest::addColumn<int>("minCode");
        QTest::addColumn<int>("maxCode");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("peak");
        QTest::addColumn<qlonglong>("bins");
        QTest::addColumn<int>("probe");  // a code whose count is checked
        QTest::addColumn<int>("probeCount");
        QTest::newRow("fractions, NaN and outside codes in no bin")
            << std::vector<double>{4, 4.5, std::nan(""), 3, 7, 5, 5, 4, 6, 6} << 4 << 6
            << "4:2,5:2,6:2" << 2 << 3LL << 3 << 0;
        QTest::newRow("time-out marker beside codes")
            << std::vector<double>{-2147483648.0, 8388600, 8388600, -2147483648.0}
            << -2147483647 - 1 << 8388600 << "-2147483648:2,8388600:2" << 2 << 2155872249LL
            << -2147483647 - 1 << 2;
    }
    void counts() {
        QFETCH(std::vector<double>, run);
        QFETCH(int, minCode);
        QFETCH(int, maxCode);
        QFETCH(QString, table);
        QFETCH(int, peak);
        QFETCH(qlonglong, bins);
        QFETCH(int, probe);
        QFETCH(int, probeCount);
        const kx::CodeHistogram h = kx::CountCodes(run, minCode, maxCode);
        QCOMPARE(Table(h), table);
        QCOMPARE(h.peak, peak);
        QCOMPARE(h.BinCount(), bins);
        QCOMPARE(h.CountOf(probe), probeCount);
    }

    // The cursor never leaves the run or the bins, whatever the mouse says.
    void cursorClamps() {
        QCOMPARE(kx::NearestReadNumber(0.2, 10), 1);
        QCOMPARE(kx::NearestReadNumber(12, 10), 10);
        QCOMPARE(kx::NearestCode(-3e9, -2147483647 - 1, 0), -2147483648LL);
        QCOMPARE(kx::NearestCode(1e12, 100, 110), 110LL);
    }

    // Beyond the all-bins limit "Copy Data" lists only the codes that occur.
    void dataTextOfAWideSpan() {
        const std::vector<double> wide{0, 16777215, 0};
        const kx::CodeHistogram span = kx::CountCodes(wide, 0, 16777215);
        QCOMPARE(kx::HistogramText(span), "Code\tOccurence\n0\t2\n16777215\t1\n");
    }
};

QTEST_APPLESS_MAIN(HistogramTest)
#include "tst_histogram.moc"
