#pragma once

#include <signal.h>

#include <QProcess>
#include <QtTest>

// Signals a child process of a test. Only a child that still runs under a pid of its own is
// signalled: once it has ended, QProcess::processId() is 0, and kill(0, ...) would reach the
// whole process group, CTest and the CI script included.
[[nodiscard]] inline bool SignalRunningChild(QProcess& child, int signal) {
    const qint64 pid = child.processId();
    if (child.state() != QProcess::Running || pid <= 0) return false;
    return ::kill(static_cast<pid_t>(pid), signal) == 0;
}

// In a test function: the signal, or a failure of that test alone when the child had ended.
#define KX_SIGNAL_CHILD(child, signal)              \
    QVERIFY2(SignalRunningChild((child), (signal)), \
             "the child had ended before it could be signalled")
