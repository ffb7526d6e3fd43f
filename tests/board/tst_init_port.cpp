#include <QtTest>

#include "board/windows_version.h"
#include "tests/support/board_fixture.h"
#include "tests/support/scripted_messages.h"

using kx::PortAccess;

namespace {
OsVersion injected;
OsVersion InjectedVersion() {
    return injected;
}

struct StartupCase {
    StartupCase(OsVersion v, std::string commandLine = {}) {
        injected = v;
        kx::OsVersionSource = InjectedVersion;
        kx::ProgramCommandLine = std::move(commandLine);
        kx::PortMenuEnabled = {};
        WindowsVersionName.clear();
    }
    ~StartupCase() {
        kx::OsVersionSource = QueryOsVersion;
        kx::ProgramCommandLine.clear();
        kx::PortMenuEnabled = {};
    }
};

const OsVersion Win95{4, 0, 1};
const OsVersion Win98{4, 10, 1};
const OsVersion WinMe{4, 90, 1};
const OsVersion Nt4{4, 0, 2};
const OsVersion WinXp{5, 1, 2};
const OsVersion Vista{6, 0, 2};
const OsVersion Linux{0, 0, NonWindowsPlatform};
}  // namespace

Q_DECLARE_METATYPE(OsVersion)

class InitPortTest : public QObject {
    Q_OBJECT

private slots:
    void versionTable_data() {
        QTest::addColumn<uint>("platform");
        QTest::addColumn<uint>("major");
        QTest::addColumn<uint>("minor");
        QTest::addColumn<QString>("name");
        QTest::newRow("95") << 1u << 4u << 0u << "Windows 95";
        QTest::newRow("98") << 1u << 4u << 10u << "Windows 98";
        QTest::newRow("Me") << 1u << 4u << 90u << "";
        QTest::newRow("NT 3.51") << 2u << 3u << 51u << "Windows NT 3.51";
        QTest::newRow("NT 4.0") << 2u << 4u << 0u << "Windows NT 4.0";
        QTest::newRow("2000") << 2u << 5u << 0u << "Windows 2000";
        QTest::newRow("XP is a 5.x") << 2u << 5u << 1u << "Windows 2000";
        QTest::newRow("Vista") << 2u << 6u << 0u << "";
        QTest::newRow("Win32s") << 0u << 3u << 10u << "Failed";
        QTest::newRow("not Windows") << uint(NonWindowsPlatform) << 0u << 0u << "Failed";
    }
    void versionTable() {
        QFETCH(uint, platform);
        QFETCH(uint, major);
        QFETCH(uint, minor);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(kx::WindowsVersionFor({major, minor, platform})), name);
    }

    void thisPlatformIsOutsideTheTable() {
#ifndef _WIN32
        QCOMPARE(GetWindowsVersion(), std::string("Failed"));
#endif
    }

    // Which start-up path each system takes, and what it leaves behind.
    void startupPaths_data() {
        QTest::addColumn<OsVersion>("os");
        QTest::addColumn<int>("claimResult");
        QTest::addColumn<int>("infoResult");
        QTest::addColumn<int>("infoBase");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("enabled");  // entries left selectable: 1 LPT1, 2 LPT2, P PRN
        QTest::addColumn<QStringList>("messages");

        const QStringList claimAndLookup{"GetParallelPortCount", "ClaimParallelPort(1,true)",
                                         "GetParallelPortInfo(1,12)"};
        QTest::newRow("Windows 98: no claim")
            << Win98 << 1 << 1 << 0x278 << QStringList{} << 0x378 << "12P" << QStringList{};
        QTest::newRow("Windows 95: no claim")
            << Win95 << 1 << 1 << 0x278 << QStringList{} << 0x378 << "12P" << QStringList{};
        QTest::newRow("NT port at 0x278")
            << Nt4 << 1 << 1 << 0x278 << claimAndLookup << 0x278 << "2" << QStringList{};
        QTest::newRow("port at 0x378")
            << WinXp << 1 << 1 << 0x378 << claimAndLookup << 0x378 << "1" << QStringList{};
        QTest::newRow("port at 0x3BC")
            << Nt4 << 1 << 1 << 0x3BC << claimAndLookup << 0x3BC << "P" << QStringList{};
        QTest::newRow("other address greys nothing")
            << Nt4 << 1 << 1 << 0xD010 << claimAndLookup << 0xD010 << "12P" << QStringList{};
        QTest::newRow("empty name (Me) takes the claim path")
            << WinMe << 1 << 1 << 0x278 << claimAndLookup << 0x278 << "2" << QStringList{};
        QTest::newRow("empty name (Vista) takes the claim path")
            << Vista << 1 << 1 << 0x278 << claimAndLookup << 0x278 << "2" << QStringList{};
        QTest::newRow("Failed takes the claim path")
            << Linux << 1 << 1 << 0x378 << claimAndLookup << 0x378 << "1" << QStringList{};
        QTest::newRow("claim refused, lookup goes on")
            << Nt4 << 0 << 1 << 0x378 << claimAndLookup << 0x378 << "1"
            << QStringList{"claim parallel port failed"};
        QTest::newRow("no port") << Nt4 << 1 << 0 << 0 << claimAndLookup << 0 << "12P"
                                 << QStringList{"This PC does not appear to have a Printer Port"};
        QTest::newRow("neither claim nor port")
            << Linux << 0 << 0 << 0 << claimAndLookup << 0 << "12P"
            << QStringList{"claim parallel port failed",
                           "This PC does not appear to have a Printer Port"};
    }
    void startupPaths() {
        QFETCH(OsVersion, os);
        QFETCH(int, claimResult);
        QFETCH(int, infoResult);
        QFETCH(int, infoBase);
        QFETCH(QStringList, calls);
        QFETCH(int, address);
        QFETCH(QString, enabled);
        QFETCH(QStringList, messages);

        RecordingBoard board(0);
        ScriptedMessages shown;
        StartupCase startup(os);
        board.port.claimResult = static_cast<int16_t>(claimResult);
        board.port.infoResult = static_cast<int16_t>(infoResult);
        board.port.infoBaseAddress = infoBase;

        InitPort();

        QStringList made;
        for (const auto& c : board.port.calls)
            made << QString::fromStdString(c);
        QCOMPARE(made, calls);
        QCOMPARE(int(static_cast<uint16_t>(PortAddress)), address);
        QString left;
        if (kx::PortMenuEnabled.lpt1) left += '1';
        if (kx::PortMenuEnabled.lpt2) left += '2';
        if (kx::PortMenuEnabled.prn) left += 'P';
        QCOMPARE(left, enabled);
        QStringList texts;
        for (const auto& m : shown.shown)
            texts << QString::fromStdString(m.text);
        QCOMPARE(texts, messages);
        if (address == 0) {
            QCOMPARE(board.port.accesses.size(), size_t{0});
        } else {
            // The control-line setup: one read and one write of base + 2.
            QCOMPARE(board.port.readsOf(address + 2), 1);
            QCOMPARE(board.port.writesTo(address + 2).size(), size_t{1});
            QCOMPARE(board.port.accesses.size(), size_t{2});
        }
    }

    void startupMessagesHaveTheirTitlesAndIcons() {
        RecordingBoard board(0);
        ScriptedMessages shown;
        StartupCase startup(Nt4);
        board.port.claimResult = 0;
        board.port.infoResult = 0;
        InitPort();
        QCOMPARE(shown.shown.size(), size_t{2});
        QCOMPARE(shown.shown[0],
                 (kx::Message{"claim parallel port failed", "KX3105 Evaluation Software",
                              kx::Icon::None, kx::Buttons::Ok}));
        QCOMPARE(shown.shown[1],
                 (kx::Message{"This PC does not appear to have a Printer Port",
                              "GetPortAddress Error", kx::Icon::Warning, kx::Buttons::Ok}));
    }

    void controlLinesAreSetByReadModifyWrite_data() {
        QTest::addColumn<int>("read");
        QTest::addColumn<int>("written");
        QTest::newRow("all set") << 0xFF << 0xD4;
        QTest::newRow("typical idle") << 0xCC << 0xC4;
        QTest::newRow("reverse direction cleared") << 0x2F << 0x04;
        QTest::newRow("nothing set") << 0x00 << 0x00;
    }
    void controlLinesAreSetByReadModifyWrite() {
        QFETCH(int, read);
        QFETCH(int, written);
        RecordingBoard board(0);
        ScriptedMessages shown;
        StartupCase startup(Win98);
        board.port.script(0x37A, {read});
        InitPort();
        QCOMPARE(board.port.accesses,
                 (std::vector<PortAccess>{{PortAccess::Read, 0x37A, read},
                                          {PortAccess::Write, 0x37A, written}}));
    }

    void statusMessageOnTheSwitch_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<bool>("shows");
        QTest::newRow("/SS") << "/SS" << true;
        QTest::newRow("lower case") << "/ss" << true;
        QTest::newRow("mixed, among others") << "--simulate /sS --trace t.txt" << true;
        QTest::newRow("inside a word") << "--trace /ssd/t.txt" << true;
        QTest::newRow("none") << "" << false;
        QTest::newRow("split") << "/S S" << false;
        QTest::newRow("other switch") << "/S" << false;
    }
    void statusMessageOnTheSwitch() {
        QFETCH(QString, commandLine);
        QFETCH(bool, shows);
        RecordingBoard board(0);
        ScriptedMessages shown;
        StartupCase startup(Win98, commandLine.toStdString());
        InitPort();
        QCOMPARE(shown.shown.size(), size_t(shows ? 1 : 0));
        if (shows)
            QCOMPARE(shown.shown[0],
                     (kx::Message{"Windows Version:Windows 98\rPort Address:0x378", "Show Status",
                                  kx::Icon::Information, kx::Buttons::Ok}));
    }

    void statusMessageShowsTheAddressInHex_data() {
        QTest::addColumn<int>("base");
        QTest::addColumn<QString>("text");
        QTest::newRow("0x3BC") << 0x3BC << "Windows Version:Failed\rPort Address:0x3BC";
        QTest::newRow("PCI card") << 0xE800 << "Windows Version:Failed\rPort Address:0xE800";
        QTest::newRow("no port") << 0 << "Windows Version:Failed\rPort Address:0x0";
    }
    void statusMessageShowsTheAddressInHex() {
        QFETCH(int, base);
        QFETCH(QString, text);
        RecordingBoard board(0);
        ScriptedMessages shown;
        StartupCase startup(Linux, "/SS");
        board.port.infoResult = base ? 1 : 0;
        board.port.infoBaseAddress = base;
        InitPort();
        QCOMPARE(QString::fromStdString(shown.shown.back().text), text);
    }
};

QTEST_GUILESS_MAIN(InitPortTest)
#include "tst_init_port.moc"
