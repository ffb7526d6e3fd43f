#include <sys/stat.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <sstream>

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

    // FIFOs, directories and devices are refused before anything is written; a symbolic link
    // keeps being a link to the file it names.
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

        const QString real = dir.filePath("real.dat");
        const QString link = dir.filePath("link.dat");
        QVERIFY(kx::files::SaveAtomically(real.toStdString(), "old").empty());
        QVERIFY(QFile::link(real, link));
        QVERIFY(kx::files::SaveAtomically(link.toStdString(), "new").empty());
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(Contents(real), std::string("new"));
        QCOMPARE(Entries(dir), (QStringList{"fifo", "link.dat", "real.dat"}));
    }
};

QTEST_APPLESS_MAIN(SafeFileTest)
#include "tst_safe_file.moc"
