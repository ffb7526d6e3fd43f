#include <QtTest>
#include <map>
#include <set>

#include "app/sysinfo.h"
#include "board/resets.h"
#include "converter/mode_gates.h"
#include "tests/app/shell_wire.h"
#include "tests/support/board_fixture.h"
#include "tests/support/scripted_messages.h"

namespace {

// A registry, file system and process starter from a script; every call is noted in order.
class ScriptedHost final : public kx::SystemInfoHost {
public:
    std::map<std::string, std::string> values;  // "key|value name" -> text
    std::set<std::string> files;
    bool startSucceeds = true;
    std::vector<std::string> calls;

    bool GetKeyValue(kx::RegistryRoot, const std::string& key, const std::string& name,
                     std::string& text) override {
        calls.push_back("value " + key + "|" + name);
        auto found = values.find(key + "|" + name);
        text = found == values.end() ? std::string() : found->second;
        return found != values.end();
    }
    bool FileExists(const std::string& path) override {
        calls.push_back("file " + path);
        return files.count(path) != 0;
    }
    bool StartProgram(const std::string& path) override {
        calls.push_back("start " + path);
        return startSucceeds;
    }
};

const std::string InfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO|PATH";
const std::string FolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location|MSINFO";

}  // namespace

class ShellLogicTest : public QObject {
    Q_OBJECT

private slots:
    void modeField_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("continuous");
        QTest::addColumn<bool>("powerDown");
        QTest::addColumn<int>("madeContinuous");
        QTest::newRow("0x93") << 0x93 << true << false << 0x93;
        QTest::newRow("0x91") << 0x91 << false << false << 0x93;
        QTest::newRow("0x05") << 0x05 << false << false << 0x03;
        QTest::newRow("0x00") << 0x00 << false << true << 0x03;
        QTest::newRow("0x80") << 0x80 << false << true << 0x83;
        QTest::newRow("0xFF, upper bits kept") << 0xFF << false << false << 0xFB;
        QTest::newRow("0xF8") << 0xF8 << false << true << 0xFB;
        QTest::newRow("0x0B") << 0x0B << true << false << 0x0B;
    }
    void modeField() {
        QFETCH(int, mode);
        QFETCH(bool, continuous);
        QFETCH(bool, powerDown);
        QFETCH(int, madeContinuous);
        QCOMPARE(kx::IsContinuousConversion(mode), continuous);
        QCOMPARE(kx::IsPowerDown(mode), powerDown);
        QCOMPARE(kx::WithContinuousConversion(mode), madeContinuous);
    }

    // The resets write to whichever port is in use and read nothing back.
    void resets_data() {
        QTest::addColumn<bool>("software");
        QTest::addColumn<int>("port");
        QTest::addColumn<std::vector<int>>("writes");
        QTest::newRow("hardware, LPT1") << false << 0x378 << HardwareResetWrites();
        QTest::newRow("hardware, LPT2") << false << 0x278 << HardwareResetWrites();
        QTest::newRow("software, LPT1") << true << 0x378 << SoftwareResetWrites();
        QTest::newRow("software, PRN") << true << 0x3BC << SoftwareResetWrites();
    }
    void resets() {
        QFETCH(bool, software);
        QFETCH(int, port);
        QFETCH(std::vector<int>, writes);
        RecordingBoard board(static_cast<int16_t>(port));
        software ? kx::SoftwareReset() : kx::HardwareReset();
        QCOMPARE(board.port.writesTo(port), writes);
        QCOMPARE(board.port.accesses.size(), writes.size());
        // 64 pulse writes, one idle, 3 writes per bit of 48 bits plus 4 closing writes.
        if (software) QCOMPARE(writes.size(), size_t{64 + 1 + 48 * 3 + 4});
    }

    void systemInfoLookupOrder_data() {
        QTest::addColumn<bool>("pathValue");
        QTest::addColumn<bool>("folderValue");
        QTest::addColumn<bool>("fileThere");
        QTest::addColumn<bool>("startSucceeds");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("unavailable");
        const QString path = QString::fromStdString("value " + InfoKey);
        const QString folder = QString::fromStdString("value " + FolderKey);
        const QString exe = "C:\\Tools\\MSINFO32.EXE";
        QTest::newRow("program's own entry first")
            << true << true << true << true << QStringList{path, "start C:\\Info\\msinfo32.exe"}
            << false;
        QTest::newRow("only the folder entry and the file")
            << false << true << true << true
            << QStringList{path, folder, "file " + exe, "start " + exe} << false;
        QTest::newRow("folder entry without the file")
            << false << true << false << true << QStringList{path, folder, "file " + exe} << true;
        QTest::newRow("no entry") << false << false << false << true << QStringList{path, folder}
                                  << true;
        QTest::newRow("program does not start")
            << true << false << false << false << QStringList{path, "start C:\\Info\\msinfo32.exe"}
            << true;
    }
    void systemInfoLookupOrder() {
        QFETCH(bool, pathValue);
        QFETCH(bool, folderValue);
        QFETCH(bool, fileThere);
        QFETCH(bool, startSucceeds);
        QFETCH(QStringList, calls);
        QFETCH(bool, unavailable);
        ScriptedMessages messages;
        ScriptedHost host;
        if (pathValue) host.values[InfoKey] = "C:\\Info\\msinfo32.exe";
        if (folderValue) host.values[FolderKey] = "C:\\Tools";
        if (fileThere) host.files.insert("C:\\Tools\\MSINFO32.EXE");
        host.startSucceeds = startSucceeds;

        QCOMPARE(StartSysInfo(host), !unavailable);

        QStringList made;
        for (const auto& c : host.calls)
            made << QString::fromStdString(c);
        QCOMPARE(made, calls);
        const std::vector<kx::Message> expected{{"System Information Is Unavailable At This Time",
                                                 "KX3105 Evaluation Software", kx::Icon::None,
                                                 kx::Buttons::Ok}};
        QCOMPARE(messages.shown, unavailable ? expected : std::vector<kx::Message>{});
    }

    void registryValueText_data() {
        QTest::addColumn<uint32_t>("type");
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<uint32_t>("size");
        QTest::addColumn<QByteArray>("text");
        const QByteArray zeros(16, '\0');
        QTest::newRow("terminator dropped")
            << 1u << QByteArray("C:\\Info", 7) + zeros << 8u << QByteArray("C:\\Info");
        QTest::newRow("no terminator")
            << 1u << QByteArray("abc") + zeros << 3u << QByteArray("abc");
        QTest::newRow("only the last zero goes")
            << 1u << QByteArray("ab\0\0", 4) + zeros << 4u << QByteArray("ab\0", 3);
        QTest::newRow("empty value") << 1u << zeros << 0u << QByteArray();
        QTest::newRow("size beyond the buffer")
            << 1u << QByteArray("xyz") << 1024u << QByteArray("xyz");
        QTest::newRow("not a string: unchanged")
            << 4u << QByteArray("\x01\0\0\0", 4) << 4u << QByteArray("before");
    }
    void registryValueText() {
        QFETCH(uint32_t, type);
        QFETCH(QByteArray, buffer);
        QFETCH(uint32_t, size);
        QFETCH(QByteArray, text);
        std::string value = "before";
        kx::TakeRegistryValue(type, std::string_view(buffer.constData(), buffer.size()), size,
                              value);
        QCOMPARE(QByteArray(value.data(), static_cast<qsizetype>(value.size())), text);
    }
};

QTEST_GUILESS_MAIN(ShellLogicTest)
#include "tst_shell_logic.moc"
