#include "server/memory_budget.h"

#include <algorithm>

namespace kx::server {

MemoryBudget::Reservation& MemoryBudget::Reservation::operator=(Reservation&& other) noexcept {
    if (this != &other) {
        Release();
        budget_ = other.budget_;
        bytes_ = other.bytes_;
        other.budget_ = nullptr;
        other.bytes_ = 0;
    }
    return *this;
}

void MemoryBudget::Reservation::ShrinkTo(size_t bytes) {
    if (!budget_ || bytes >= bytes_) return;
    budget_->Give(bytes_ - bytes);
    bytes_ = bytes;
}

std::optional<MemoryBudget::Reservation> MemoryBudget::Reserve(size_t bytes,
                                                                const std::atomic<bool>& stop,
                                                                Refusal& why) {
    if (bytes > limit_) {
        why = Refusal::TooLarge;
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait_;
    std::unique_lock lock(mutex_);
    while (limit_ - used_ < bytes) {
        if (stop) {
            why = Refusal::Stopped;
            return std::nullopt;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            why = Refusal::TimedOut;
            return std::nullopt;
        }
        // The stop flag is set without this mutex: look at it often.
        freed_.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(10)));
    }
    used_ += bytes;
    peak_ = std::max(peak_, used_);
    Reservation r;
    r.budget_ = this;
    r.bytes_ = bytes;
    return r;
}

void MemoryBudget::Give(size_t bytes) {
    {
        std::lock_guard lock(mutex_);
        used_ -= std::min(bytes, used_);
    }
    freed_.notify_all();
}

size_t MemoryBudget::used() const {
    std::lock_guard lock(mutex_);
    return used_;
}

size_t MemoryBudget::peak() const {
    std::lock_guard lock(mutex_);
    return peak_;
}

}  // namespace kx::server
