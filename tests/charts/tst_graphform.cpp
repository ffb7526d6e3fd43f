#include <sys/stat.h>

#include <qcustomplot.h>

#include <QClipboard>
#include <QPushButton>
#include <QtTest>

#include "charts/chart_screen.h"
#include "charts/chart_setup.h"
#include "charts/graphform.h"
#include "tests/charts/chart_fixture.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/scripted_messages.h"
#include "ui/file_chooser.h"

namespace {

const std::vector<double> kRun{8388612, 8388610, 8388615, 8388620, 8388611,
                               8388613, 8388614, 8388612, 8388617, 8388616};

}  // namespace

class GraphFormTest : public QObject {
    Q_OBJECT

private slots:
    void knownRunAxesAndCaptions_data() {
        QTest::addColumn<std::vector<double>>("run");
        QTest::addColumn<int>("minCode");
        QTest::addColumn<int>("maxCode");
        QTest::addColumn<double>("yLower");
        QTest::addColumn<double>("yUpper");
        QTest::newRow("quiet run") << kRun << 8388610 << 8388620 << 8388610.0 << 8388620.0;
        QTest::newRow("all equal: flat line with margin")
            << std::vector<double>(12, 8388620.0) << 8388620 << 8388620 << 8388619.5 << 8388620.5;
    }
    void knownRunAxesAndCaptions() {
        QFETCH(std::vector<double>, run);
        QFETCH(int, minCode);
        QFETCH(int, maxCode);
        QFETCH(double, yLower);
        QFETCH(double, yUpper);
        const kx::AnalysedRun input = UseRun(run, minCode, maxCode);
        GraphForm form(input);
        auto* plot = form.findChild<QCustomPlot*>("Strip1");
        // A second setup (as the command-line tool may do) replaces the first.
        kx::SetupNoisePlot(plot, run, minCode, maxCode);
        QCOMPARE(plot->itemCount(), 6);
        QCOMPARE(form.windowTitle(), "KX3105 Evaluation Software - Noise Plot");
        QCOMPARE(plot->xAxis->range().lower, 1.0);
        QCOMPARE(plot->xAxis->range().upper, double(run.size()));
        QCOMPARE(plot->yAxis->range().lower, yLower);
        QCOMPARE(plot->yAxis->range().upper, yUpper);
        QCOMPARE(plot->graph(0)->dataCount(), int(run.size()));
        QCOMPARE(plot->graph(0)->data()->at(3)->value, run[3]);

        const QStringList captions{"Noise Plot - Code v's Read@0.53,0.03",
                                   QString("%1@0.0616,0.8671").arg(minCode),
                                   QString("%1@0.0629,0.0606").arg(maxCode),
                                   "@0.078,0.4545",
                                   "Code@0.041,0.4615",
                                   "Read No.@0.5554,0.958"};
        for (int slot = 0; slot < 6; ++slot)
            QCOMPARE(Caption(plot, slot), captions[slot]);
        // Tick labels are whole numbers, never exponent notation.
        plot->replot();
        const QVector<QString> labels =
            plot->yAxis->tickVectorLabels() + plot->xAxis->tickVectorLabels();
        QVERIFY(!labels.isEmpty());
        for (const QString& label : labels)
            QVERIFY2(QRegularExpression("^-?\\d+$").match(label).hasMatch(), qPrintable(label));
        QVERIFY(labels.contains("8388620"));
    }

    void cursorReadoutAndGrid() {
        const kx::AnalysedRun input = UseRun(kRun, 8388610, 8388620);
        GraphForm form(input);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* plot = form.findChild<QCustomPlot*>("Strip1");
        plot->replot();
        const auto* data = plot->graph(0)->data().data();
        for (int i = 0; i < 3; ++i) {
            form.findChild<QPushButton*>("Command3")->click();
            QVERIFY(!plot->xAxis->grid()->visible() && !plot->yAxis->grid()->visible());
            form.findChild<QPushButton*>("Command2")->click();
            QVERIFY(plot->xAxis->grid()->visible() && plot->yAxis->grid()->visible());
        }
        QCOMPARE(plot->graph(0)->data().data(), data);  // not rebuilt

        auto pixel = [plot](double read) {
            return QPoint(qRound(plot->xAxis->coordToPixel(read)),
                          qRound(plot->yAxis->coordToPixel(8388615)));
        };
        QTest::mouseMove(plot, pixel(4));
        QCOMPARE(Text(form, "Label3"), "4");
        QCOMPARE(Text(form, "Label4"), "8388620");
        QTest::mouseMove(plot, pixel(8.8));  // snaps to the nearest read
        QCOMPARE(Text(form, "Label3"), "9");
        QCOMPARE(Text(form, "Label4"), "8388617");
        // Leaving the plot area, or the chart, keeps the last values.
        QTest::mouseMove(plot, QPoint(2, 2));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(plot, &leave);
        QCOMPARE(Text(form, "Label3"), "9");
        QCOMPARE(Text(form, "Label4"), "8388617");
    }

    void copyDataAndSaveImage() {
        const kx::AnalysedRun input = UseRun(kRun, 8388610, 8388620);
        ScriptedMessages messages;
        GraphForm form(input);
        auto* plot = form.findChild<QCustomPlot*>("Strip1");
        plot->findChild<QAction*>("CopyDataAction")->trigger();
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY2(copied.startsWith("Read No.\tCode\n1\t8388612\n2\t8388610\n"), qPrintable(copied));
        QVERIFY(copied.endsWith("10\t8388616\n"));

        QTemporaryDir dir;
        QString answer;
        kx::SetFileChooser(
            [&answer](QWidget*, kx::FileDialogKind, const QString&) { return answer; });
        for (const QString name : {"plot.png", "plot.pdf"}) {
            answer = dir.filePath(name);
            plot->findChild<QAction*>("SaveImageAction")->trigger();
            QFile file(answer);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
            QVERIFY(file.read(5) ==
                    (name.endsWith("pdf") ? QByteArray("%PDF-") : QByteArray("\x89PNG\r")));
        }
        QVERIFY(messages.shown.empty());
        answer = dir.filePath("missing/plot.png");
        plot->findChild<QAction*>("SaveImageAction")->trigger();
        kx::SetFileChooser(nullptr);
        const kx::Message refusal{"The image could not be saved to " + answer.toStdString() +
                                      ": No such file or directory",
                                  "KX3105 Evaluation Software", kx::Icon::Warning, kx::Buttons::Ok};
        QCOMPARE(messages.shown, std::vector<kx::Message>{refusal});
    }

    // An image is drawn in memory and written whole: a good save gives a PNG of the size asked
    // and a one-page PDF; a full disk leaves no file, or the earlier one unchanged; a FIFO, a
    // device or a link to one is refused before anything is written.
    void exportWholeOrNotAtAll() {
        const kx::AnalysedRun input = UseRun(kRun, 8388610, 8388620);
        QCustomPlot plot;
        kx::SetupNoisePlot(&plot, kRun, input.minCode, input.maxCode);
        QTemporaryDir dir;
        const auto bytes = [&dir](const QString& name) {
            QFile file(dir.filePath(name));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
        };
        QString why;
        QVERIFY(kx::SaveChart(&plot, dir.filePath("plot.png"), 0, 0, &why));
        QCOMPARE(QImage(dir.filePath("plot.png")).size(), QSize(800, 500));
        QVERIFY(kx::SaveChart(&plot, dir.filePath("plot.PDF"), 400, 300, &why));
        QVERIFY(bytes("plot.PDF").startsWith("%PDF-") &&
                bytes("plot.PDF").trimmed().endsWith("%%EOF"));
        QVERIFY(bytes("plot.PDF").contains("/MediaBox [0 0 400.000000 300.000000]"));

        const QByteArray earlier = bytes("plot.png");
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo.png")).constData(), 0600), 0);
        QVERIFY(QFile::link("/dev/full", dir.filePath("full.pdf")));
        const QList<QPair<QString, QString>> failures = {{"plot.png", strerror(EFBIG)},
                                                         {"fresh.pdf", strerror(EFBIG)},
                                                         {"fifo.png", "not a regular file"},
                                                         {"full.pdf", "not a regular file"}};
        for (const auto& [name, reason] : failures) {
            FileSizeLimit limit(1024);
            QVERIFY2(!kx::SaveChart(&plot, dir.filePath(name), 0, 0, &why), qPrintable(name));
            QCOMPARE(why, reason);
        }
        QCOMPARE(bytes("plot.png"), earlier);
        QCOMPARE(
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            (QStringList{"fifo.png", "full.pdf", "plot.PDF", "plot.png"}));
    }
};

QTEST_MAIN(GraphFormTest)
#include "tst_graphform.moc"
