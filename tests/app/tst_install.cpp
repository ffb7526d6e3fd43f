#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// What a user gets from `cmake --install`: the program and the tool on the PATH, the tool's chart
// renderer in libexec (where the installed tool finds it), the desktop entry and the icon; and
// the README's example script, run as written against the installed tool, prints the table the
// README shows.

namespace {

QString Run(const QString& program, const QStringList& args, const QString& dir,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(120000)) return QStringLiteral("timed out");
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    if (p.exitCode() != 0)
        return QStringLiteral("exit %1: %2").arg(p.exitCode()).arg(p.readAllStandardError());
    return out;
}

// The indented block of README.md that follows the line holding `after`.
QString IndentedBlockAfter(const QString& readme, const QString& after) {
    const QStringList lines = readme.split('\n');
    QStringList block;
    bool started = false;
    for (int i = static_cast<int>(
                     lines.indexOf(QRegularExpression(QRegularExpression::escape(after) + ".*"))) +
                 1;
         i > 0 && i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.startsWith("    ")) {
            started = true;
            block << line.mid(4);
        } else if (started && !line.isEmpty()) {
            break;
        } else if (started) {
            block << QString();
        }
    }
    while (!block.isEmpty() && block.last().isEmpty())
        block.removeLast();
    return block.join('\n') + '\n';
}

}  // namespace

class InstallTest : public QObject {
    Q_OBJECT

private slots:
    void installedToolRunsTheReadmeExample() {
        QTemporaryDir prefix, work;
        const QString installed =
            Run(QStringLiteral("cmake"),
                {"--install", KX3105_BUILD_DIR, "--prefix", prefix.path(), "--component", "kx3105"},
                work.path());
        QVERIFY2(!installed.startsWith("exit") && installed != "timed out", qPrintable(installed));
        for (const char* file :
             {"bin/kx3105", "bin/kx3105-cli", "libexec/kx3105-cli-charts",
              "share/applications/kx3105.desktop", "share/icons/hicolor/scalable/apps/kx3105.svg"})
            QVERIFY2(QFileInfo::exists(prefix.filePath(file)), file);

        QFile readmeFile(QStringLiteral(KX3105_SOURCE_DIR "/README.md"));
        QVERIFY(readmeFile.open(QIODevice::ReadOnly));
        const QString readme = QString::fromUtf8(readmeFile.readAll());
        const QString script = IndentedBlockAfter(readme, "A capture at each of the eight");
        const QString expected = IndentedBlockAfter(readme, "On the simulated board");
        QVERIFY(script.startsWith("#!/bin/sh"));
        QVERIFY(expected.startsWith("rn "));

        QFile scriptFile(work.filePath("ranges.sh"));
        QVERIFY(scriptFile.open(QIODevice::WriteOnly));
        scriptFile.write(script.toUtf8());
        scriptFile.close();
        // Only the installed programs and the system's own on the PATH.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", prefix.filePath("bin") + ":/usr/bin:/bin");
        QCOMPARE(Run(QStringLiteral("sh"), {"ranges.sh"}, work.path(), env), expected);
        QVERIFY(!QFileInfo::exists(prefix.filePath("bin/kx3105-cli-charts")));

        // The installed tool draws through the renderer it finds in libexec.
        QCOMPARE(Run(prefix.filePath("bin/kx3105-cli"), {"plot", "range7.dat", "-o", "range7.png"},
                     work.path(), env),
                 QString());
        QFile png(work.filePath("range7.png"));
        QVERIFY(png.open(QIODevice::ReadOnly));
        QVERIFY(png.read(8) == QByteArray("\x89PNG\r\n\x1a\n", 8));
    }
};

QTEST_GUILESS_MAIN(InstallTest)
#include "tst_install.moc"
