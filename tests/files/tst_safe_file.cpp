#include <sys/stat.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "core/safe_file.h"
#include "files/datafile.h"
#include "tests/support/file_size_limit.h"

using kx::datafile::WriteStatus;

namespace {

std::string Contents(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

QStringList Entries(const QTemporaryDir& dir) {
    return QDir(dir.path())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                   QDir::Name);
}

std::vector<int32_t> Codes(int count) {
    return std::vector<int32_t>(static_cast<size_t>(count), 8388608);
}

}  // namespace

class SafeFileTest : public QObject {
    Q_OBJECT

private slots:
    // A save that fails part way leaves the earlier file as it was, or no file, and no
    // temporary beside it.
    void failedSaveLeavesNoCutFile() {
        QTemporaryDir dir;
        const QString earlier = dir.filePath("earlier.dat");
        const QString fresh = dir.filePath("fresh.dat");
        QCOMPARE(kx::datafile::WriteRunFile(earlier.toStdString(), Codes(3),
                                            kx::datafile::Form::Decimal),
                 WriteStatus::Written);
        const std::string before = Contents(earlier);
        {
            FileSizeLimit limit(4096);  // 5000 lines need 50000 bytes
            QCOMPARE(kx::datafile::WriteRunFile(earlier.toStdString(), Codes(5000),
                                                kx::datafile::Form::Decimal),
                     WriteStatus::WriteFailed);
            QCOMPARE(kx::datafile::WriteRunFile(fresh.toStdString(), Codes(5000),
                                                kx::datafile::Form::Hex),
                     WriteStatus::WriteFailed);
            kx::files::AtomicFile file;
            QVERIFY(file.Open(fresh.toStdString()));
            QVERIFY(!file.Write(std::string(8192, 'x')));
            QCOMPARE(QString::fromStdString(file.error()), QString::fromLocal8Bit(strerror(EFBIG)));
        }
        QCOMPARE(Contents(earlier), before);
        QCOMPARE(Entries(dir), QStringList{"earlier.dat"});
    }

    // FIFOs, directories and devices are refused before anything is written, unless streams are
    // asked for: then a FIFO or a character device is written to as it is, and a directory is
    // still refused. A symbolic link keeps being a link to the file it names.
    void targetsThatAreNoPlainFile() {
        QTemporaryDir dir;
        const std::string fifo = dir.filePath("fifo").toStdString();
        QCOMPARE(mkfifo(fifo.c_str(), 0600), 0);
        for (const std::string& path : {fifo, dir.path().toStdString(), std::string("/dev/null")}) {
            std::string why;
            QVERIFY2(!kx::files::IsSaveTarget(path, &why), path.c_str());
            QVERIFY(!why.empty());
            QCOMPARE(kx::files::SaveAtomically(path, "1\r\n").empty(), false);
        }
        QVERIFY(kx::files::IsSaveTarget(dir.filePath("new.dat").toStdString()));

        using kx::files::Streams;
        QCOMPARE(kx::files::SaveAtomically("/dev/null", "1\r\n", Streams::Written), std::string());
        std::string read;
        std::thread reader([&] {
            std::ifstream in(fifo, std::ios::binary);
            read.assign(std::istreambuf_iterator<char>(in), {});
        });
        const std::string saved = kx::files::SaveAtomically(fifo, "1\r\n2\r\n", Streams::Written);
        reader.join();
        QCOMPARE(saved, std::string());
        QCOMPARE(read, std::string("1\r\n2\r\n"));
        std::string why;
        QVERIFY(!kx::files::IsSaveTarget(dir.path().toStdString(), &why, Streams::Written));
        QCOMPARE(why, std::string(strerror(EISDIR)));

        const QString real = dir.filePath("real.dat");
        const QString link = dir.filePath("link.dat");
        QVERIFY(kx::files::SaveAtomically(real.toStdString(), "old").empty());
        QVERIFY(QFile::link(real, link));
        QVERIFY(kx::files::SaveAtomically(link.toStdString(), "new").empty());
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(Contents(real), std::string("new"));
        QCOMPARE(Entries(dir), (QStringList{"fifo", "link.dat", "real.dat"}));
    }

    // A new file takes 0666 less the umask; a replaced one keeps its read and write bits and
    // loses the rest. Until the commit the directory holds nothing new: the temporary has no
    // name, so a process killed part way leaves nothing behind.
    void modesAndNoNamedTemporary_data() {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("before");  // -1: no file yet
        QTest::addColumn<int>("after");
        QTest::newRow("new, umask 022") << 022 << -1 << 0644;
        QTest::newRow("new, umask 002") << 002 << -1 << 0664;
        QTest::newRow("new, umask 077") << 077 << -1 << 0600;
        QTest::newRow("setuid 4755, umask 022") << 022 << 04755 << 0644;
        QTest::newRow("setgid and sticky 3660") << 022 << 03660 << 0660;
        QTest::newRow("read-only 0444, umask 002") << 002 << 0444 << 0444;
    }
    void modesAndNoNamedTemporary() {
        QFETCH(int, mask);
        QFETCH(int, before);
        QFETCH(int, after);
        QTemporaryDir dir;
        const std::string path = dir.filePath("run.dat").toStdString();
        if (before >= 0) {
            QVERIFY(kx::files::SaveAtomically(path, "old").empty());
            QCOMPARE(chmod(path.c_str(), static_cast<mode_t>(before)), 0);
        }
        const mode_t saved = umask(static_cast<mode_t>(mask));
        const auto restore = qScopeGuard([saved] { umask(saved); });
        kx::files::AtomicFile file;
        QVERIFY(file.Open(path));
        QVERIFY(file.Write("1\r\n"));
        QCOMPARE(Entries(dir), before >= 0 ? QStringList{"run.dat"} : QStringList{});
        QVERIFY(file.Commit());
        QCOMPARE(Entries(dir), QStringList{"run.dat"});
        QCOMPARE(Contents(dir.filePath("run.dat")), std::string("1\r\n"));
        struct stat info {};
        QCOMPARE(stat(path.c_str(), &info), 0);
        QCOMPARE(static_cast<int>(info.st_mode & 07777), after);
    }
};

QTEST_APPLESS_MAIN(SafeFileTest)
#include "tst_safe_file.moc"
