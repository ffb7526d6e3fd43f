#include <QtTest>
#include <cmath>
#include <limits>
#include <random>

#include "histogram.h"

namespace {

// "code:count" pairs of the codes that occur, ascending.
QString Table(const kx::CodeHistogram& h) {
    QStringList rows;
    for (size_t i = 0; i < h.codes.size(); ++i)
        rows << QStringLiteral("%1:%2").arg(h.codes[i]).arg(h.counts[i]);
    return rows.join(',');
}

}  // namespace

Q_DECLARE_METATYPE(std::vector<double>)

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
        const double c = 8388620;
        QTest::newRow("all equal") << std::vector<double>(10, c) << 8388620 << 8388620
                                   << "8388620:10" << 10 << 1LL << 8388620 << 10;
        QTest::newRow("neighbours 6 and 4")
            << std::vector<double>{101, 100, 100, 101, 100, 100, 101, 100, 101, 100} << 100 << 101
            << "100:6,101:4" << 6 << 2LL << 101 << 4;
        QTest::newRow("missing codes read 0") << std::vector<double>{5, 9, 5, 9, 9, 5, 5, 9, 9, 9}
                                              << 5 << 9 << "5:4,9:6" << 6 << 5LL << 7 << 0;
        QTest::newRow("unipolar zeros in bin 0")
            << std::vector<double>{0, 3, 0, 1, 0, 3, 2, 3, 3, 1} << 0 << 3 << "0:3,1:2,2:1,3:4" << 4
            << 4LL << 0 << 3;
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
        const kx::CodeHistogram h =
            kx::CountCodes(run.data(), static_cast<int>(run.size()), minCode, maxCode);
        QCOMPARE(Table(h), table);
        QCOMPARE(h.peak, peak);
        QCOMPARE(h.BinCount(), bins);
        QCOMPARE(h.CountOf(probe), probeCount);
        QCOMPARE(kx::HistogramCountRange(h), (kx::AxisRange{0.0, double(peak)}));
    }

    // The table follows the samples, not the span: 5000 codes over the whole 24-bit range.
    void fullSpanRunKeepsOneRowPerDistinctCode() {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> code(0, 0xFFFFFF);
        std::vector<double> run(5000);
        for (double& x : run)
            x = code(random);
        run[0] = 0;
        run[1] = 0xFFFFFF;
        const kx::CodeHistogram h = kx::CountCodes(run.data(), 5000, 0, 0xFFFFFF);
        QCOMPARE(h.BinCount(), 16777216LL);
        QVERIFY(h.codes.size() <= 5000 && h.codes.size() > 4900);
        int total = 0;
        for (int n : h.counts)
            total += n;
        QCOMPARE(total, 5000);
        QVERIFY(std::is_sorted(h.codes.begin(), h.codes.end()));
    }

    void axesAndCursor() {
        QCOMPARE(kx::NoisePlotCodeRange(8388610, 8388620), (kx::AxisRange{8388610, 8388620}));
        QCOMPARE(kx::NoisePlotCodeRange(7, 7), (kx::AxisRange{6.5, 7.5}));
        QCOMPARE(kx::NoisePlotReadRange(5000), (kx::AxisRange{1, 5000}));
        QCOMPARE(kx::HistogramCodeRange(100, 101), (kx::AxisRange{99.5, 101.5}));
        QCOMPARE(kx::NearestReadNumber(0.2, 10), 1);
        QCOMPARE(kx::NearestReadNumber(4.6, 10), 5);
        QCOMPARE(kx::NearestReadNumber(12, 10), 10);
        QCOMPARE(kx::NearestCode(-3e9, -2147483647 - 1, 0), -2147483648LL);
        QCOMPARE(kx::NearestCode(101.4, 100, 110), 101LL);
        QCOMPARE(kx::NearestCode(1e12, 100, 110), 110LL);
    }

    void dataText() {
        const std::vector<double> run{8388620, 3.5, 5, 7, 5};
        QCOMPARE(kx::NoisePlotText(run.data(), 2), "Read No.\tCode\n1\t8388620\n2\t3.5\n");
        const kx::CodeHistogram narrow = kx::CountCodes(run.data() + 2, 3, 5, 7);
        QCOMPARE(kx::HistogramText(narrow), "Code\tOccurence\n5\t2\n6\t0\n7\t1\n");
        const std::vector<double> wide{0, 16777215, 0};
        const kx::CodeHistogram span = kx::CountCodes(wide.data(), 3, 0, 16777215);
        QCOMPARE(kx::HistogramText(span), "Code\tOccurence\n0\t2\n16777215\t1\n");
    }
};

QTEST_APPLESS_MAIN(HistogramTest)
#include "tst_histogram.moc"
