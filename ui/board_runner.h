#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/messages.h"

// Board work off the window's thread. A runner starts one piece of work (a read, a pass, a
// calibration wait) on a worker thread of its own, which owns the port until the work ends:
// the window's thread hands the port over at the start and takes it back at the end, so the
// port is never used by two threads and needs no lock. The window's thread never waits on the
// ready line; it sees the work only through reports, queued to it in order, and at the end.

namespace kx {

class BoardRunner;

// The worker's thread name (Linux), as top and a debugger show it.
inline constexpr const char* WorkerThreadName = "kx3105-board";

// What running work sees of its runner, on the worker thread.
class BoardWork {
public:
    bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }
    // The same as a flag, for loops that look at it themselves (ReadCodes).
    const std::atomic<bool>& stopFlag() const { return stop_; }
    // Runs `fn` on the window's thread, after every report made before it; dropped once the
    // runner is gone.
    void report(std::function<void()> fn);
    // Sleeps up to `ms` milliseconds; a stop request ends the sleep at once (false then).
    bool pause(int ms);

private:
    friend class BoardRunner;
    explicit BoardWork(BoardRunner& runner) : runner_(runner) {}

    BoardRunner& runner_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable stopped_;
};

class BoardRunner : public QObject {
    Q_OBJECT
public:
    // Called on the window's thread once the work has ended and its worker is joined, with the
    // messages the work asked for, in order. `closing`: the window is going; show none.
    using Finished = std::function<void(std::vector<Message> messages, bool closing)>;

    explicit BoardRunner(QObject* parent = nullptr);
    // A runner that goes while its work runs stops it and joins the worker first.
    ~BoardRunner() override;

    // False (and nothing started) while earlier work still runs.
    bool start(std::function<void(BoardWork&)> work, Finished finished);
    bool running() const { return work_ != nullptr; }
    // Asks the work to stop: a wait on the ready line ends at its next poll.
    void requestStop();
    // Stops the work, joins the worker and finishes with `closing` set. For a window that goes.
    void stopAndWait();

signals:
    void finished();

private:
    friend class BoardWork;
    Q_INVOKABLE void RunReports();
    void finish(bool closing);

    std::mutex reportsMutex_;
    std::deque<std::function<void()>> reports_;

    std::unique_ptr<BoardWork> work_;
    std::thread thread_;
    uint64_t generation_ = 0;
    std::vector<Message> messages_;
    Finished finished_;
};

// Shows messages handed back by board work, in order.
void ShowMessages(const std::vector<Message>& messages);

}  // namespace kx
