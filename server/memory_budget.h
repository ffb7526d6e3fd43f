#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>

// The memory that reads hold for their codes and answers, across every client of every board:
// each read reserves what it will hold before it reads, and gives it back once its answer has
// been sent (or dropped). A read that does not fit waits for answers in flight to be taken, at
// most `wait`, and is refused when it still does not fit, or at once when it alone is larger
// than the whole. Thread-safe. Plain C++.

namespace kx::server {

class MemoryBudget {
public:
    class Reservation {
    public:
        Reservation() = default;
        Reservation(Reservation&& other) noexcept { *this = std::move(other); }
        Reservation& operator=(Reservation&& other) noexcept;
        Reservation(const Reservation&) = delete;
        Reservation& operator=(const Reservation&) = delete;
        ~Reservation() { Release(); }

        size_t bytes() const { return bytes_; }
        // Gives back all but `bytes` of it.
        void ShrinkTo(size_t bytes);
        void Release() { ShrinkTo(0); }

    private:
        friend class MemoryBudget;
        MemoryBudget* budget_ = nullptr;
        size_t bytes_ = 0;
    };

    enum class Refusal { TooLarge, TimedOut, Stopped };

    MemoryBudget(size_t limit, std::chrono::milliseconds wait) : limit_(limit), wait_(wait) {}

    // Waits its turn (looking at `stop` now and then); nullopt with why when refused.
    std::optional<Reservation> Reserve(size_t bytes, const std::atomic<bool>& stop,
                                       Refusal& why);

    size_t limit() const { return limit_; }
    size_t used() const;
    // The most held at once since the start.
    size_t peak() const;

private:
    void Give(size_t bytes);

    const size_t limit_;
    const std::chrono::milliseconds wait_;
    mutable std::mutex mutex_;
    std::condition_variable freed_;
    size_t used_ = 0;
    size_t peak_ = 0;
};

}  // namespace kx::server
