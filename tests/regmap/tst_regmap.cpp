#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "board/program_port.h"
#include "board/resets.h"
#include "converter/control_logic.h"
#include "converter/register_update.h"
#include "converter/register_writes.h"
#include "multichannel/multi_state.h"
#include "registers/controlform.h"
#include "registers/iocontrolform.h"
#include "registers/modeform.h"
#include "regmap/configuration.h"
#include "regmap/registermapform.h"
#include "tests/support/scripted_messages.h"
#include "tests/support/sim_bench.h"

// The register map and configuration files on the fast simulated board: the writes' order and
// traffic against the register screens', and files saved, refused and loaded.

namespace {

template <class T>
T* Get(const QWidget& w, const QString& name) {
    T* c = w.findChild<T*>(name);
    if (!c) qFatal("no control %s", qPrintable(name));
    return c;
}

// The port trace of one piece of work, as its lines.
class Traced {
public:
    Traced() {
        std::string error;
        if (!kx::StartPortTrace(path_.toStdString(), error)) qFatal("%s", error.c_str());
    }
    QStringList lines() {
        kx::StopPortTrace();
        QFile f(path_);
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    int dataWrites() { return int(lines().filter(QRegularExpression("^W 378 ")).size()); }

private:
    QTemporaryDir dir_;
    QString path_ = dir_.filePath("trace.txt");
};

// A file name chooser that hands out one name.
RegisterMapForm::FileChooser Choose(const QString& path) {
    return [path](QWidget*, bool) { return path; };
}

kx::fields::Values Values(int mode, int control, int filter, int offset, int gain, int io) {
    return {0x81, mode, control, filter, offset, gain, io};
}

// The registers a write sets: the status register (the converter's own) left out.
kx::fields::Values Written(kx::fields::Values v) {
    v[0] = 0;
    return v;
}

}  // namespace

Q_DECLARE_METATYPE(kx::fields::Values)

class RegisterMapTest : public QObject {
    Q_OBJECT

private slots:
    // A field edited in the map and written makes the port traffic its register's own screen
    // makes for the same change: read, write, read back, read for the display.
    void fieldWriteMatchesRegisterScreen_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("option");
        QTest::newRow("mode CHOP off") << "mode.CHOP" << 1 << "mode"
                                       << "OptChopOff";
        QTest::newRow("mode continuous") << "mode.MD" << 3 << "mode"
                                         << "OptMD3";
        QTest::newRow("ADC control range") << "adc-control.RN" << 4 << "control"
                                           << "Opt320";
        QTest::newRow("ADC control channel") << "adc-control.CH" << 9 << "control"
                                             << "OptAIN3_4";
        QTest::newRow("I/O P1 output") << "io-control.P1DIR" << 1 << "io"
                                       << "OptP1Out";
    }
    void fieldWriteMatchesRegisterScreen() {
        QFETCH(QString, field);
        QFETCH(int, value);
        QFETCH(QString, screen);
        QFETCH(QString, option);
        ScriptedMessages messages;
        QStringList byMap, byScreen;
        int32_t mapResult = 0, screenResult = 0;
        const RegisterInfo& info = screen == "mode"      ? RegisterMap::Mode
                                   : screen == "control" ? RegisterMap::AdcControl
                                                         : RegisterMap::IoControl;
        {
            SimBench bench;
            RegisterMapForm form;
            if (auto* box = form.findChild<QComboBox*>(field))
                box->setCurrentIndex(value);
            else
                QFAIL("the field has no drop-down");
            Traced trace;
            Get<QPushButton>(form, "WriteChangedButton")->click();
            byMap = trace.lines();
            Register reg = Register::For(info);
            mapResult = kx::ReadValue(reg);
        }
        {
            SimBench bench;
            std::unique_ptr<QDialog> form;
            if (screen == "mode") form = std::make_unique<ModeForm>();
            if (screen == "control") form = std::make_unique<ControlForm>();
            if (screen == "io") form = std::make_unique<IOcontrolForm>();
            Traced trace;
            Get<QRadioButton>(*form, option)->click();
            byScreen = trace.lines();
            Register reg = Register::For(info);
            screenResult = kx::ReadValue(reg);
        }
        QVERIFY(!byMap.isEmpty());
        QCOMPARE(byMap, byScreen);
        QCOMPARE(mapResult, screenResult);
        QVERIFY(messages.shown.empty());
    }

    // The order the converter needs: power-down before the filter and calibration registers, the
    // mode register last; nothing for a register that keeps its value.
    void writeOrder_data() {
        QTest::addColumn<kx::fields::Values>("current");
        QTest::addColumn<kx::fields::Values>("wanted");
        QTest::addColumn<QStringList>("plan");
        const auto start = Values(0x03, 0x07, 0x45, 0x800000, 0x400000, 0x00);
        QTest::newRow("nothing changed") << start << start << QStringList{};
        QTest::newRow("range only") << start << Values(0x03, 0x04, 0x45, 0x800000, 0x400000, 0x00)
                                    << QStringList{"adc-control 07 -> 04"};
        QTest::newRow("filter: power-down around it")
            << start << Values(0x03, 0x07, 0x10, 0x800000, 0x400000, 0x00)
            << QStringList{"mode 03 -> 00 (power-down for the filter and calibration writes)",
                           "filter 45 -> 10", "mode 00 -> 03 (out of power-down)"};
        QTest::newRow("filter, gain, chop and channel")
            << start << Values(0x83, 0x17, 0x03, 0x800000, 0x400100, 0x00)
            << QStringList{"mode 03 -> 00 (power-down for the filter and calibration writes)",
                           "filter 45 -> 03", "gain 400000 -> 400100", "adc-control 07 -> 17",
                           "mode 00 -> 83 (out of power-down)"};
        QTest::newRow("into power-down with an offset: the mode change is the power-down")
            << start << Values(0x80, 0x07, 0x45, 0x800010, 0x400000, 0x00)
            << QStringList{"mode 03 -> 80", "offset 800000 -> 800010"};
        QTest::newRow("I/O then mode")
            << start << Values(0x01, 0x07, 0x45, 0x800000, 0x400000, 0x30)
            << QStringList{"io-control 00 -> 30", "mode 03 -> 01"};
    }
    void writeOrder() {
        QFETCH(kx::fields::Values, current);
        QFETCH(kx::fields::Values, wanted);
        QFETCH(QStringList, plan);
        QStringList got;
        for (const auto& w : kx::fields::PlanWrites(current, wanted))
            got << QString::fromStdString(kx::fields::Describe(w));
        QCOMPARE(got, plan);
    }

    // A configuration saved, the board reset, the configuration loaded: every register as saved,
    // and the multi-channel settings too. A second load finds nothing to write.
    void savedConfigurationComesBackAfterAReset() {
        SimBench bench;
        ScriptedMessages messages;
        QTemporaryDir dir;
        const QString file = dir.filePath("bench.json");
        kx::multi::MultiChannelState channels;
        channels.settings[2].ChannelSelected = 1;
        channels.settings[2].SavedRange = 5;
        channels.settings[2].SavedFilterText = "1F";
        const kx::fields::Values wanted = Values(0x83, 0x35, 0x20, 0x800123, 0x3FFF00, 0x30);
        kx::fields::MakeWrites(
            kx::ProgramLink(),
            kx::fields::PlanWrites(kx::fields::ReadAll(kx::ProgramLink()), wanted));
        {
            RegisterMapForm form(&channels, nullptr, Choose(file));
            Get<QPushButton>(form, "SaveButton")->click();
        }
        const kx::fields::Values saved = Written(kx::fields::ReadAll(kx::ProgramLink()));
        QCOMPARE(saved, Written(wanted));

        kx::HardwareReset();
        kx::multi::MultiChannelState fresh;
        QCOMPARE(Written(kx::fields::ReadAll(kx::ProgramLink())),
                 Written(kx::fields::PowerOnValues()));
        RegisterMapForm form(&fresh, nullptr, Choose(file));
        Get<QPushButton>(form, "LoadButton")->click();
        QCOMPARE(Written(kx::fields::ReadAll(kx::ProgramLink())), saved);
        QCOMPARE(Written(form.shown()), saved);
        QCOMPARE(kx::config::ChannelsOf(fresh), kx::config::ChannelsOf(channels));
        QVERIFY(messages.shown.empty());

        std::string error;
        const auto config = kx::config::LoadFile(file.toStdString(), error);
        QVERIFY2(config, error.c_str());
        for (const auto& w : kx::config::PlanFor(*config, kx::fields::ReadAll(kx::ProgramLink())))
            QFAIL(kx::fields::Describe(w).c_str());
    }

    // A file with a wrong field is refused with the field's name, and nothing reaches the board.
    void refusedFileWritesNothing_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message");
        QTest::newRow("filter not hex") << "registers"
                                        << R"("filter": "45")"
                                        << R"("filter": "4G")"
                                        << "registers.filter: '4G' is not a hexadecimal value";
        QTest::newRow("gain too wide")
            << "registers"
            << R"("gain": "400000")"
            << R"("gain": "1000000")"
            << "registers.gain: 1000000 does not fit the 24-bit gain register";
        QTest::newRow("filter below the chopping minimum")
            << "registers"
            << R"("filter": "45")"
            << R"("filter": "03")"
            << "registers.filter: filter takes 0D to FF (hexadecimal) with chopping on, not '03'";
        QTest::newRow("calibration mode") << "registers"
                                          << R"("mode": "01")"
                                          << R"("mode": "04")"
                                          << "registers.mode: mode 4 starts a calibration";
        QTest::newRow("status in a file") << "registers"
                                          << R"("filter": "45")"
                                          << R"("filter": "45", "status": "81")"
                                          << "registers.status: the register is read-only";
        QTest::newRow("version") << ""
                                 << R"("version": 1)"
                                 << R"("version": 2)"
                                 << "version: 2 is no version this program reads";
        QTest::newRow("row range") << "multichannel"
                                   << R"("range": "2.56 V")"
                                   << R"("range": "5 V")"
                                   << "multichannel[0].range: range takes 20mV, 40mV, 80mV, 160mV, "
                                      "320mV, 640mV, 1.28V or 2.56V (or their volts, 0.02 to "
                                      "2.56), not '5 V'";
        QTest::newRow("row filter") << "multichannel"
                                    << R"("filter": "45")"
                                    << R"("filter": "2")"
                                    << "multichannel[0].filter: '2' is no filter word";
        QTest::newRow("register missing") << "registers"
                                          << R"("io-control": "00",)"
                                          << ""
                                          << "registers.io-control: missing";
    }
    void refusedFileWritesNothing() {
        QFETCH(QString, section);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        SimBench bench;
        ScriptedMessages messages;
        QTemporaryDir dir;
        const QString file = dir.filePath("wrong.json");
        QString text =
            QString::fromStdString(kx::config::ToJson({kx::fields::PowerOnValues(), {}}));
        text.replace(QRegularExpression(R"(\s+)"), " ");
        const auto at = text.indexOf(from, text.indexOf(section));
        QVERIFY2(at >= 0, qPrintable(text));
        text.replace(at, from.size(), to);
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) > 0);
        f.close();
        RegisterMapForm form(nullptr, nullptr, Choose(file));
        Traced trace;
        Get<QPushButton>(form, "LoadButton")->click();
        QCOMPARE(trace.dataWrites(), 0);
        QCOMPARE(messages.shown.size(), size_t(1));
        const QString shown = QString::fromStdString(messages.shown[0].text);
        QVERIFY2(shown.startsWith(file + ": " + message), qPrintable(shown));
        QCOMPARE(Get<QLabel>(form, "StatusLine")->text(),
                 QString("Refused %1: nothing written").arg(file));
    }

    // A read-back that differs says so as the register's screen does, and the writes stop there.
    void mismatchStopsTheWrites() {
        SimBench bench;
        ScriptedMessages messages;
        RegisterMapForm form;
        bench.board.setFault(kx::sim::Fault::IgnoreWrites, true);
        Get<QComboBox>(form, "adc-control.RN")->setCurrentIndex(3);
        Get<QComboBox>(form, "mode.CHOP")->setCurrentIndex(1);
        Get<QPushButton>(form, "WriteChangedButton")->click();
        QCOMPARE(messages.shown.size(), size_t(1));
        QCOMPARE(messages.shown[0].text, std::string(kx::control::ProgramError));
        QVERIFY(Get<QLabel>(form, "StatusLine")->text().startsWith("Stopped at"));
        // The map shows what the converter holds; the edit not tried yet stays an edit.
        QCOMPARE(Written(form.shown()), Written(kx::fields::PowerOnValues()));
        QCOMPARE(form.edited()[2], form.shown()[2]);
        QCOMPARE(form.edited()[1], 0x81);
    }

    // What each field shows follows the fields it depends on, and a field away from its power-on
    // value is marked, in the text and in what a screen reader speaks.
    void meaningsFollowOtherFields() {
        SimBench bench;
        RegisterMapForm form;
        auto* channel = Get<QComboBox>(form, "adc-control.CH");
        QCOMPARE(channel->itemText(12), QString("C: AIN2 - AIN2"));
        Get<QComboBox>(form, "mode.CHCON")->setCurrentIndex(1);
        QCOMPARE(channel->itemText(12), QString("C: AIN9 - AIN10"));
        auto* filter = Get<QSpinBox>(form, "filter.SF");
        QCOMPARE(Get<QLabel>(form, "filter.SF.meaning")->text(), QString("19.79 Hz"));
        filter->setValue(0x03);
        QCOMPARE(Get<QLabel>(form, "filter.SF.powerOn")->text(), QString("power-on: 45"));
        QVERIFY(filter->accessibleName().contains("changed from power-on 45"));
        QVERIFY(Get<QLabel>(form, "filter.value")->text().contains("edited, reads 45"));
        Get<QComboBox>(form, "mode.CHOP")->setCurrentIndex(1);
        QCOMPARE(Get<QLabel>(form, "filter.SF.meaning")->text(), QString("1365.33 Hz"));
    }
};

QTEST_MAIN(RegisterMapTest)
#include "tst_regmap.moc"
