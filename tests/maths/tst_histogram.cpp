#include <QtTest>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "maths/histogram.h"

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

    // Bins wider than a code: automatic widths at the edges of the bin limit, aligned bins (the
    // time-out marker's too), their counts and their text.
    void grouping_data() {
        QTest::addColumn<std::vector<double>>("run");
        QTest::addColumn<qlonglong>("asked");  // 0: automatic
        QTest::addColumn<qlonglong>("width");
        QTest::addColumn<QString>("bins");  // "start:count" of the bins that hold a sample
        QTest::addColumn<qlonglong>("binCount");
        QTest::newRow("500 codes of span: one bin each")
            << std::vector<double>{1000, 1499, 1000} << 0LL << 1LL << "1000:2,1499:1" << 500LL;
        QTest::newRow("501 codes: pairs of codes")
            << std::vector<double>{1000, 1500, 1001} << 0LL << 2LL << "1000:2,1500:1" << 251LL;
        QTest::newRow("a 160 mV tone's 74,000 codes: 256")
            << std::vector<double>{8351454, 8425742, 8388608, 8388863} << 0LL << 256LL
            << "8351232:1,8388608:2,8425728:1" << 292LL;
        QTest::newRow("the whole 24-bit range")
            << std::vector<double>{0, 16777215} << 0LL << 65536LL << "0:1,16711680:1" << 256LL;
        QTest::newRow("the time-out marker in a bin of its own")
            << std::vector<double>{-2147483648.0, 8388608, 8388609} << 0LL << 8388608LL
            << "-2147483648:1,8388608:2" << 258LL;
        QTest::newRow("a width asked for")
            << std::vector<double>{3, 4, 5, 8, 9} << 4LL << 4LL << "0:1,4:2,8:2" << 3LL;
        QTest::newRow("a width that is no power of two: one code")
            << std::vector<double>{3, 4} << 3LL << 1LL << "3:1,4:1" << 2LL;
    }
    void grouping() {
        QFETCH(std::vector<double>, run);
        QFETCH(qlonglong, asked);
        QFETCH(qlonglong, width);
        QFETCH(QString, bins);
        QFETCH(qlonglong, binCount);
        const auto [low, high] = std::minmax_element(run.begin(), run.end());
        const kx::CodeHistogram table = kx::CountCodes(run, int32_t(*low), int32_t(*high));
        const int64_t used = asked ? asked : kx::AutoBinWidth(int32_t(*low), int32_t(*high));
        const kx::BinnedHistogram grouped = kx::GroupBins(table, used);
        QCOMPARE(qlonglong(grouped.width), width);
        QStringList shown;
        int total = 0;
        for (size_t i = 0; i < grouped.starts.size(); ++i) {
            shown << QStringLiteral("%1:%2").arg(grouped.starts[i]).arg(grouped.counts[i]);
            total += grouped.counts[i];
            QCOMPARE(grouped.CountAt(grouped.starts[i] + grouped.width - 1), grouped.counts[i]);
        }
        QCOMPARE(shown.join(','), bins);
        QCOMPARE(total, int(run.size()));
        QCOMPARE(qlonglong(grouped.BinCount()), binCount);
        QVERIFY(grouped.BinCount() <= kx::MaxAutoBins + 1);
        QVERIFY(grouped.firstCode <= *low && grouped.lastCode >= *high);
    }

    void binWidthsAsTyped() {
        QCOMPARE(kx::ParseBinWidth("auto"), std::optional<int64_t>(0));
        QCOMPARE(kx::ParseBinWidth(" AUTO "), std::optional<int64_t>(0));
        QCOMPARE(kx::ParseBinWidth("1"), std::optional<int64_t>(1));
        QCOMPARE(kx::ParseBinWidth("256"), std::optional<int64_t>(256));
        QCOMPARE(kx::ParseBinWidth("16777216"), std::optional<int64_t>(16777216));
        for (const char* refused : {"0", "3", "-4", "33554432", "", "1e3", "0x10", "4 codes"})
            QVERIFY2(!kx::ParseBinWidth(refused), refused);
    }

    // The Gaussian's counts: the run's samples spread over bins of the width, so its peak is
    // samples x width / (deviation x sqrt(2 pi)) and its area the samples.
    void gaussianCounts() {
        const auto curve = kx::GaussianCounts(100, 4, 5000, 2, 60, 140, 801);
        double peak = 0, area = 0;
        for (const auto& [code, count] : curve) {
            peak = std::max(peak, count);
            area += count * 0.1 / 2;  // points 0.1 codes apart, counts per 2-code bin
        }
        QVERIFY(std::fabs(peak - 5000 * 2 / (4 * std::sqrt(2 * std::numbers::pi))) < 1e-6);
        QVERIFY(std::fabs(area - 5000) < 1);
        QVERIFY(kx::GaussianCounts(100, 0, 5000, 1, 60, 140).empty());
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
