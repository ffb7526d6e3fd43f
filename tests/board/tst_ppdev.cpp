#include <QtTest>

#include <sys/ioctl.h>

#include <linux/ppdev.h>
#include <cerrno>
#include <sstream>

#include "board/ppdev_port.h"
#include "board/windows_version.h"
#include "tests/support/board_fixture.h"
#include "tests/support/fake_kernel.h"
#include "tests/support/scripted_messages.h"

using Calls = std::vector<PpdevCall>;
Q_DECLARE_METATYPE(Calls)

class PpdevTest : public QObject {
    Q_OBJECT

private slots:
    void parseBaseAddr_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("base");  // 0: none
        QTest::newRow("ECP port") << "888\t1912\n" << 888;
        QTest::newRow("no ECR") << "632\t0\n" << 632;
        QTest::newRow("one number") << "956" << 956;
        QTest::newRow("leading blanks") << "  888 1912" << 888;
        QTest::newRow("PCI card") << "53264\t53256\n" << 53264;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("words") << "none\n" << 0;
        QTest::newRow("zero") << "0\t0\n" << 0;
        QTest::newRow("beyond I/O space") << "70000\t0" << 0;
        QTest::newRow("huge") << "99999999999999\t0" << 0;
        QTest::newRow("number with junk") << "888x\t1912" << 0;
        QTest::newRow("negative") << "-1\t0" << 0;
    }
    void parseBaseAddr() {
        QFETCH(QString, text);
        QFETCH(int, base);
        const auto parsed = kx::ParseBaseAddr(text.toStdString());
        QCOMPARE(parsed.value_or(0), base);
    }

    void countsTheKernelsPrinterPorts() {
        FakeKernel kernel;
        std::ostringstream diag;
        kx::PpdevPort port("/dev/parport0", kernel, diag);
        QCOMPARE(port.GetParallelPortCount(), 0);
        kernel.procEntries = {"default", "parport0", "parport1"};
        QCOMPARE(port.GetParallelPortCount(), 2);
    }

    void theBaseComesFromTheDevicesOwnKernelPort() {
        FakeKernel kernel;
        kernel.minors["/dev/printer-port"] = 1;  // a symlink to /dev/parport1
        kernel.files["/proc/sys/dev/parport/parport0/base-addr"] = "888\t1912\n";
        kernel.files["/proc/sys/dev/parport/parport1/base-addr"] = "632\t1656\n";
        std::ostringstream diag;
        kx::PpdevPort port("/dev/printer-port", kernel, diag);
        PortInfo info;
        info.size = 12;
        QCOMPARE(port.GetParallelPortInfo(1, info), int16_t(1));
        QCOMPARE(info.baseAddress, 0x278);
        QCOMPARE(port.GetParallelPortInfo(2, info), int16_t(0));
    }

    void claimOpensAndClaimsOnce() {
        FakeKernel kernel;
        kernel.havePort0();
        std::ostringstream diag;
        kx::PpdevPort port("/dev/parport0", kernel, diag);
        QCOMPARE(port.ClaimParallelPort(1, true), int16_t(1));
        QCOMPARE(port.ClaimParallelPort(1, true), int16_t(1));
        QCOMPARE(kernel.opened, std::vector<std::string>{"/dev/parport0"});
        QCOMPARE(kernel.claims, 1);
        QVERIFY(diag.str().empty());
    }

    // Each register access, and the ppdev call it becomes.
    void registerAccessesMapToPpdevCalls_data() {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("value");
        QTest::addColumn<Calls>("calls");
        QTest::addColumn<int>("result");
        using L = Calls;
        QTest::newRow("data write") << true << 0 << 0x1A << L{{PPWDATA, 0x1A}} << 0;
        QTest::newRow("data read") << false << 0 << 0 << L{{PPRDATA, -1}} << 0x5A;
        QTest::newRow("status read") << false << 1 << 0 << L{{PPRSTATUS, -1}} << 0x3F;
        QTest::newRow("status write goes nowhere") << true << 1 << 0x55 << L{} << 0;
        QTest::newRow("control write, forward")
            << true << 2 << 0xC4 << L{{PPWCONTROL, 0x04}, {PPDATADIR, 0}} << 0;
        QTest::newRow("control write, reverse")
            << true << 2 << 0x2B << L{{PPWCONTROL, 0x0B}, {PPDATADIR, 1}} << 0;
        QTest::newRow("control read") << false << 2 << 0 << L{{PPRCONTROL, -1}} << 0x0C;
        QTest::newRow("beyond the port reads floating") << false << 3 << 0 << L{} << 0xFF;
        QTest::newRow("below the port writes nowhere") << true << -1 << 0x1A << L{} << 0;
    }
    void registerAccessesMapToPpdevCalls() {
        QFETCH(bool, write);
        QFETCH(int, offset);
        QFETCH(int, value);
        QFETCH(Calls, calls);
        QFETCH(int, result);
        FakeKernel kernel;
        kernel.havePort0();
        kernel.data = 0x5A;
        kernel.status = 0x3F;
        std::ostringstream diag;
        kx::PpdevPort port("/dev/parport0", kernel, diag);
        QCOMPARE(port.ClaimParallelPort(1, true), int16_t(1));
        if (write)
            port.OutByte(0x378 + offset, value);
        else
            QCOMPARE(port.InByte(0x378 + offset), result);
        QCOMPARE(kernel.calls, calls);
    }

    void theDirectionBitReadsBackAsSet() {
        FakeKernel kernel;
        kernel.havePort0();
        std::ostringstream diag;
        kx::PpdevPort port("/dev/parport0", kernel, diag);
        port.ClaimParallelPort(1, true);
        port.OutByte(0x37A, 0x2B);
        QCOMPARE(port.InByte(0x37A), 0x2B);
        port.OutByte(0x37A, 0xD4);  // bits 4, 6, 7 are not the lines'
        QCOMPARE(port.InByte(0x37A), 0x04);
    }

    // Why a claim fails, in words a user can act on; a path that is no printer port is refused
    // before it is opened.
    void claimFailuresAreExplained_data() {
        QTest::addColumn<QString>("node");  // port, missing, other
        QTest::addColumn<int>("openError");
        QTest::addColumn<int>("claimError");
        QTest::addColumn<bool>("portExists");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QStringList>("words");
        const QStringList notAPort{"kx3105: /dev/parport0 is not a printer port device.\n"};
        QTest::newRow("no device node")
            << "missing" << ENOENT << 0 << false << false
            << QStringList{"/dev/parport0 is not a printer port device: no such device", "ppdev",
                           "--port DEVICE"};
        QTest::newRow("no driver")
            << "port" << ENXIO << 0 << false << true << QStringList{"no such device", "ppdev"};
        QTest::newRow("permission") << "port" << EACCES << 0 << true << true
                                    << QStringList{"permission denied", "lp group"};
        QTest::newRow("not permitted")
            << "port" << EPERM << 0 << true << true << QStringList{"permission denied", "lp group"};
        QTest::newRow("held, claim timed out")
            << "port" << 0 << EINTR << true << true
            << QStringList{"cannot claim /dev/parport0", "held by another driver"};
        QTest::newRow("held exclusively")
            << "port" << 0 << ENXIO << true << true << QStringList{"held by another driver"};
        QTest::newRow("port gone at claim")
            << "port" << 0 << ENXIO << false << true << QStringList{"no such device"};
        QTest::newRow("busy") << "port" << 0 << EBUSY << true << true
                              << QStringList{"held by another driver"};
        // Not opened at all, so no advice about permissions either.
        QTest::newRow("a file or another device")
            << "other" << EACCES << 0 << true << false << notAPort;
        QTest::newRow("a device that takes no PPCLAIM")
            << "port" << 0 << ENOTTY << true << true << notAPort;
    }
    void claimFailuresAreExplained() {
        QFETCH(QString, node);
        QFETCH(int, openError);
        QFETCH(int, claimError);
        QFETCH(bool, portExists);
        QFETCH(bool, opened);
        QFETCH(QStringList, words);
        FakeKernel kernel;
        if (portExists) kernel.havePort0();
        if (node == "port") kernel.minors["/dev/parport0"] = 0;
        if (node == "missing") kernel.minors.erase("/dev/parport0");
        if (node == "other") kernel.nodes["/dev/parport0"] = kx::DeviceNode::Other;
        if (openError) kernel.openResult = -openError;
        kernel.claimResult = -claimError;
        std::ostringstream diag;
        kx::PpdevPort port("/dev/parport0", kernel, diag);
        QCOMPARE(port.ClaimParallelPort(1, true), int16_t(0));
        const QString said = QString::fromStdString(diag.str());
        for (const auto& w : words)
            QVERIFY2(said.contains(w), qPrintable(said));
        QVERIFY(said.endsWith('\n'));
        QVERIFY2(!said.contains("lp group") || openError == EACCES || openError == EPERM,
                 qPrintable(said));
        QCOMPARE(kernel.opened.size(), size_t(opened ? 1 : 0));
        // Nor is a path that is no printer port taken for the machine's port 0.
        PortInfo info;
        QCOMPARE(port.GetParallelPortInfo(1, info) != 0, portExists && node == "port");
        // An unclaimed port passes nothing to the kernel.
        port.OutByte(0x378, 0x1A);
        QCOMPARE(port.InByte(0x379), 0xFF);
        QVERIFY(kernel.calls.empty());
    }

    // Start-up through ppdev: the claim, the base address and the control lines (0x0C read
    // back, AND 0xD4 leaves 0x04 and the data lines forward); without a port, two messages and
    // nothing sent to the kernel.
    void startUp_data() {
        QTest::addColumn<bool>("machineHasPort");
        QTest::addColumn<int>("address");
        QTest::addColumn<Calls>("calls");
        QTest::newRow("a port") << true << 0x378
                                << Calls{{PPRCONTROL, -1}, {PPWCONTROL, 0x04}, {PPDATADIR, 0}};
        QTest::newRow("no port") << false << 0 << Calls{};
    }
    void startUp() {
        QFETCH(bool, machineHasPort);
        QFETCH(int, address);
        QFETCH(Calls, calls);
        FakeKernel kernel;
        if (machineHasPort) kernel.havePort0();
        std::ostringstream diag;
        kx::PpdevPort port("/dev/parport0", kernel, diag);
        RecordingBoard board(0);
        SetPortBackend(&port);
        ScriptedMessages shown;
        InitPort();
        QCOMPARE(PortAddress, int16_t(address));
        QCOMPARE(kernel.calls, calls);
        QCOMPARE(shown.shown.size(), size_t(machineHasPort ? 0 : 2));
        QCOMPARE(diag.str().find("no such device") != std::string::npos, !machineHasPort);
    }
};

QTEST_GUILESS_MAIN(PpdevTest)
#include "tst_ppdev.moc"
