#pragma once

#include <atomic>
#include <cassert>
#include <cstdint>
#include <string>
#include <thread>

#include "board/port.h"

// One board's link: the port backend it talks through, the base address of the printer port it
// is on, its trace, the thread that owns it and that thread's stop request. Every transaction of
// the protocol (board/serial.h, board/registers.h) runs on a link, so several boards are driven at
// once in one process, each by its own thread.

namespace kx {

class PortTrace;

class BoardLink {
public:
    explicit BoardLink(PortBackend* backend = nullptr);
    BoardLink(const BoardLink&) = delete;
    BoardLink& operator=(const BoardLink&) = delete;

    PortBackend& backend() const { return *backend_; }
    // nullptr: no port at all.
    void SetBackend(PortBackend* backend);

    // The base I/O address of the printer port in use; 0 while none is known, and then nothing is
    // accessed (a read gives 0xFF).
    uint16_t base() const { return static_cast<uint16_t>(*base_); }
    void SetBase(uint16_t address) { *base_ = static_cast<int16_t>(address); }
    // Keeps the base address in `address` instead (the desktop program's PortAddress, which its
    // printer-port menu moves); nullptr keeps it in the link again.
    void BindBase(int16_t* address) { base_ = address ? address : &ownBase_; }

    // One byte in or out at an I/O address: the low 16 bits of the address and the low 8 bits
    // of the value count. The trace, if any, records it.
    int16_t In(int32_t address) {
        CheckOwner();
        if (*base_ == 0) return 0xFF;
        address &= 0xFFFF;
        const auto value = static_cast<int16_t>(backend_->InByte(address) & 0xFF);
        if (trace_) [[unlikely]]
            TraceRead(address, value);
        return value;
    }
    void Out(int32_t address, int32_t value) {
        CheckOwner();
        if (*base_ == 0) return;
        address &= 0xFFFF;
        value &= 0xFF;
        backend_->OutByte(address, value);
        if (trace_) [[unlikely]]
            TraceWrite(address, value);
    }

    // The trace every access of this link is recorded in; nullptr for none. The caller keeps
    // ownership.
    void SetTrace(PortTrace* trace) { trace_ = trace; }
    PortTrace* trace() const { return trace_; }

    // One thread at a time owns the link: the thread that opened it, until it hands the link to
    // a worker for a piece of board work and takes it back when the work has ended. The hand-over
    // is explicit, never a lock around each access; debug builds check each access against it.
    std::thread::id owner() const { return owner_.load(std::memory_order_acquire); }
    // An empty id leaves the link with no owner while it passes from one thread to another.
    void HandTo(std::thread::id owner) { owner_.store(owner, std::memory_order_release); }
    bool OwnedHere() const { return owner() == std::this_thread::get_id(); }

    // The owning thread's stop request: a wait on the ready line (a conversion read, a
    // calibration) that finds it set ends at its next poll. nullptr: nothing stops the waits.
    void SetStopFlag(const std::atomic<bool>* flag) { stop_ = flag; }
    const std::atomic<bool>* stopFlag() const { return stop_; }
    bool StopRequested() const { return stop_ && stop_->load(std::memory_order_relaxed); }

private:
    // Debug builds only: an access from a thread that does not own the link is a bug.
    void CheckOwner() const { assert(OwnedHere()); }
    void TraceRead(int32_t address, int value);
    void TraceWrite(int32_t address, int value);

    PortBackend* backend_;
    int16_t ownBase_ = 0;
    int16_t* base_ = &ownBase_;
    PortTrace* trace_ = nullptr;
    std::atomic<std::thread::id> owner_{std::this_thread::get_id()};
    const std::atomic<bool>* stop_ = nullptr;
};

}  // namespace kx

namespace kx {

// The start of a board's link as start-up makes it, without the desktop program's messages: the
// port library asked for its ports, port 1 claimed and its base address taken, then the port's
// control lines set (data lines driving, strobe, autofeed and select-in released). False with the
// reason when the port cannot be claimed or has no address; nothing is accessed then.
bool StartLink(BoardLink& link, std::string& why);

}  // namespace kx
