#include "ui/board_runner.h"

#include <QMetaObject>
#include <QPointer>
#include <chrono>

#ifdef __linux__
#include <pthread.h>
#endif

#include "board/program_port.h"

namespace kx {

void BoardWork::report(std::function<void()> fn) {
    // The reports travel through a queue of our own, under a plain mutex, so that what passes
    // from the worker to the window's thread is ordered by it; Qt only wakes the window's thread.
    {
        std::lock_guard lock(runner_.reportsMutex_);
        runner_.reports_.push_back(std::move(fn));
    }
    QMetaObject::invokeMethod(&runner_, "RunReports", Qt::QueuedConnection);
}

void BoardRunner::RunReports() {
    for (;;) {
        std::function<void()> next;
        {
            std::lock_guard lock(reportsMutex_);
            if (reports_.empty()) return;
            next = std::move(reports_.front());
            reports_.pop_front();
        }
        next();
    }
}

bool BoardWork::pause(int ms) {
    std::unique_lock lock(mutex_);
    return !stopped_.wait_for(lock, std::chrono::milliseconds(ms),
                              [this] { return stopRequested(); });
}

BoardRunner::BoardRunner(QObject* parent) : QObject(parent) {}

BoardRunner::~BoardRunner() {
    if (running()) {
        finished_ = {};
        stopAndWait();
    }
}

bool BoardRunner::start(std::function<void(BoardWork&)> work, Finished finished) {
    if (running()) return false;
    work_.reset(new BoardWork(*this));
    finished_ = std::move(finished);
    messages_.clear();
    BoardWork* w = work_.get();
    const uint64_t generation = ++generation_;
    // The window's thread lets go of the port; the worker takes it and gives it back.
    FlushPortTrace();
    HandPortTo(std::thread::id{});
    thread_ = std::thread([this, w, generation, work = std::move(work)] {
#ifdef __linux__
        pthread_setname_np(pthread_self(), WorkerThreadName);  // for top, gdb and the tests
#endif
        HandPortTo(std::this_thread::get_id());
        SetWaitStopFlag(&w->stop_);
        std::vector<Message> messages;
        {
            MessageCapture capture;
            work(*w);
            messages = std::move(capture.messages);
        }
        SetWaitStopFlag(nullptr);
        FlushPortTrace();
        HandPortTo(std::thread::id{});
        w->report([this, generation, messages = std::move(messages)]() mutable {
            // Work that was stopped and joined meanwhile has finished already.
            if (!running() || generation != generation_) return;
            messages_ = std::move(messages);
            finish(false);
        });
    });
    return true;
}

void BoardRunner::requestStop() {
    if (!work_) return;
    {
        std::lock_guard lock(work_->mutex_);
        work_->stop_.store(true, std::memory_order_relaxed);
    }
    work_->stopped_.notify_all();
}

void BoardRunner::stopAndWait() {
    if (!running()) return;
    requestStop();
    finish(true);
}

void BoardRunner::finish(bool closing) {
    thread_.join();
    if (closing) {
        // What the stopped work still had to say is of no use to a window that goes.
        std::lock_guard lock(reportsMutex_);
        reports_.clear();
    }
    HandPortTo(std::this_thread::get_id());
    work_.reset();
    Finished done = std::move(finished_);
    std::vector<Message> messages = std::move(messages_);
    QPointer<BoardRunner> self(this);
    if (done) done(std::move(messages), closing);
    if (self) emit finished();
}

void ShowMessages(const std::vector<Message>& messages) {
    for (const Message& m : messages)
        ShowMessage(m.text, m.icon, m.buttons, m.title);
}

}  // namespace kx
