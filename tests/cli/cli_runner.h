#pragma once

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>

// The built tool run as a script runs it, in a scratch directory, with no display.

struct CliResult {
    int exitCode = -1;  // -1: it did not exit normally
    QByteArray out;
    QString err;
};

class CliRunner {
public:
    QString path(const QString& name) const { return dir_.filePath(name); }

    // Set up before the start: a child-process modifier, standard input.
    static void Prepare(QProcess& p, const QString& workDir) {
        p.setWorkingDirectory(workDir);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);  // the tool needs no display
        p.setProcessEnvironment(env);
    }

    CliResult run(const QStringList& args, const QByteArray& input = {},
                  const std::function<void(QProcess&)>& setup = {}) const {
        QProcess p;
        Prepare(p, dir_.path());
        if (setup) setup(p);
        p.start(KX3105_CLI, args);
        p.write(input);
        p.closeWriteChannel();
        return finish(p);
    }

    // The tool on a simulated board whose state lives in the scratch file `state`.
    CliResult onBoard(const QString& state, const QStringList& args) const {
        return run(QStringList{"--sim-state", path(state)} + args);
    }

    static CliResult finish(QProcess& p) {
        CliResult r;
        if (!p.waitForFinished(60000)) return r;
        r.out = p.readAllStandardOutput();
        r.err = QString::fromUtf8(p.readAllStandardError());
        if (p.exitStatus() == QProcess::NormalExit) r.exitCode = p.exitCode();
        return r;
    }

    // The lines a log says it skipped because a loaded machine held them off their ticks.
    static int SkippedLines(const QString& err) {
        static const QRegularExpression said("(\\d+) lines? skipped: they could not start on time");
        const auto match = said.match(err);
        return match.hasMatch() ? match.captured(1).toInt() : 0;
    }

    QByteArray bytes(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    bool write(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }

    QString dir() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};
