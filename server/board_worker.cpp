#include "server/board_worker.h"

#include <algorithm>

namespace kx::server {

namespace {
const char* const LockedWhy = "the board is locked by another client";
}  // namespace

BoardWorker::BoardWorker(Instrument& board, std::chrono::milliseconds lockTimeout)
    : board_(board), lockTimeout_(lockTimeout), runningStop_(false) {}

BoardWorker::~BoardWorker() {
    Stop();
}

void BoardWorker::Start() {
    thread_ = std::thread([this] {
        board_.TakeOver(&runningStop_);
        Run();
        board_.HandBack();
    });
}

void BoardWorker::RequestStop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        runningStop_ = true;
    }
    wake_.notify_all();
}

void BoardWorker::Stop() {
    RequestStop();
    if (thread_.joinable()) {
        thread_.join();
        board_.TakeOver(nullptr);
    }
}

void BoardWorker::Submit(uint64_t client, Work work, Done done) {
    {
        std::lock_guard lock(mutex_);
        // Too late: the thread has ended. Dropping the work releases what it holds.
        if (finished_) return;
        queue_.push_back({client, std::move(work), std::move(done),
                          std::chrono::steady_clock::now() + lockTimeout_});
    }
    wake_.notify_all();
}

void BoardWorker::ClientGone(uint64_t client) {
    {
        std::lock_guard lock(mutex_);
        if (owner_ == client) owner_ = 0;
        if (runningClient_ == client) runningStop_ = true;
        std::erase_if(queue_, [client](const Job& j) { return j.client == client; });
    }
    wake_.notify_all();
}

void BoardWorker::Lock(uint64_t client) {
    std::lock_guard lock(mutex_);
    owner_ = client;
}

bool BoardWorker::Unlock(uint64_t client) {
    {
        std::lock_guard lock(mutex_);
        if (owner_ != client) return false;
        owner_ = 0;
    }
    wake_.notify_all();
    return true;
}

void BoardWorker::Abort(uint64_t client) {
    std::lock_guard lock(mutex_);
    if (runningClient_ != 0 && (owner_ == 0 || owner_ == client)) runningStop_ = true;
}

size_t BoardWorker::queued() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

void BoardWorker::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (queue_.empty()) {
            if (stopping_) {
                finished_ = true;
                break;
            }
            wake_.wait(lock);
            continue;
        }
        // The first job whose client may have the board; else the first whose wait ran out.
        // Once stopping, every job runs in turn with its reads stopped, so each is answered.
        const auto now = std::chrono::steady_clock::now();
        auto job = std::find_if(queue_.begin(), queue_.end(), [this](const Job& j) {
            return stopping_ || owner_ == 0 || owner_ == j.client;
        });
        const bool withBoard = job != queue_.end();
        if (!withBoard) {
            job = std::find_if(queue_.begin(), queue_.end(),
                               [now](const Job& j) { return j.deadline <= now; });
            if (job == queue_.end()) {
                // A copy: the job may leave the queue while this waits.
                const auto deadline =
                    std::min_element(queue_.begin(), queue_.end(), [](const Job& a, const Job& b) {
                        return a.deadline < b.deadline;
                    })->deadline;
                wake_.wait_until(lock, deadline);
                continue;
            }
        }
        Job taken = std::move(*job);
        queue_.erase(job);
        runningClient_ = taken.client;
        runningStop_ = stopping_;
        lock.unlock();
        std::string answer = withBoard ? taken.work(&board_, {}, runningStop_)
                                       : taken.work(nullptr, LockedWhy, runningStop_);
        // A client that has its answer may look at the trace at once.
        board_.FlushTrace();
        taken.done(std::move(answer));
        lock.lock();
        runningClient_ = 0;
    }
}

}  // namespace kx::server
