#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "server/instrument.h"
#include "server/interpreter.h"

// The one thread that owns the port and does all board work, fed by a queue: each job is one
// client's line, run whole. The lock: while a client holds it, only its jobs run; another
// client's job waits at most the lock time-out, then runs without the board (its board commands
// fail, SYSTem:LOCK:REQuest? answers 0). A stop flag per job ends its reads: ABORt, the client
// going away, or the server stopping.

namespace kx::server {

class BoardWorker : public BoardArbiter {
public:
    // Runs on the board thread; board is nullptr when the lock wait ran out, with why. Its
    // answer goes to `done`, still on the board thread, once the port trace is flushed.
    using Work = std::function<std::string(Instrument* board, const std::string& why,
                                           const std::atomic<bool>& stop)>;
    using Done = std::function<void(std::string answer)>;

    BoardWorker(Instrument& board, std::chrono::milliseconds lockTimeout);
    ~BoardWorker() override;

    // Starts the board thread and hands it the port.
    void Start();
    // Ends every read, lets the queue empty (the jobs still waiting run with their reads
    // stopped, so each client is answered), and joins the thread; the port comes back to the
    // calling thread.
    void Stop();
    // The same without waiting: the thread ends once the queue is empty.
    void RequestStop();

    void Submit(uint64_t client, Work work, Done done);

    // The client has gone: its lock is released, its read in progress stopped, its waiting jobs
    // dropped.
    void ClientGone(uint64_t client);

    void Lock(uint64_t client) override;
    bool Unlock(uint64_t client) override;
    void Abort(uint64_t client) override;

    // Jobs waiting for the board.
    size_t queued() const;

private:
    struct Job {
        uint64_t client = 0;
        Work work;
        Done done;
        std::chrono::steady_clock::time_point deadline;
    };
    void Run();

    Instrument& board_;
    const std::chrono::milliseconds lockTimeout_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    uint64_t owner_ = 0;             // the client holding the lock, 0 for none
    uint64_t runningClient_ = 0;     // whose job runs now, 0 for none
    std::atomic<bool> runningStop_;  // the running job's stop flag
    bool stopping_ = false;
    bool finished_ = false;
    std::thread thread_;
};

}  // namespace kx::server
