#pragma once

#include "inverter/SerialTransport.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace quorvane {

// What both device ports (the termios line and the USB-HID device) do with their file
// descriptor: open it for themselves alone, wait for it on the steady clock, and tell a device
// that went away from a call that merely failed.

using PortClock = std::chrono::steady_clock;

enum class Readiness { Ready, TimedOut, HungUp, Failed };

// Waits up to `remaining` for the descriptor to be ready for `events`. A hang-up, a device
// error or a descriptor that is no longer valid reads as HungUp, unless `events` can still be
// served: bytes that arrived before the hang-up are read first. An interrupted wait reads as
// Ready: the caller's non-blocking call then finds nothing to do and the caller goes round
// again with its time-out recomputed.
[[nodiscard]] Readiness WaitReady(int fd, short events, PortClock::duration remaining);

// How a transfer through a descriptor ended: all done or its time up (Finished), the device
// gone, or a call that failed.
enum class TransferEnd { Finished, Lost, Failed };
struct Transfer {
    size_t bytes = 0; // moved before the end
    TransferEnd end = TransferEnd::Finished;
};

// One step of a transfer, `done` bytes into it: moves the next piece and says how many bytes it
// moved; 0 when a device that hung up has nothing more (reads); -1 with errno set when it
// failed, EAGAIN or EINTR when nothing came this time and the transfer goes round again.
using TransferStep = std::function<ssize_t(size_t done)>;

// Writes `size` bytes within `total`, each step once the descriptor takes bytes.
[[nodiscard]] Transfer WriteWithin(int fd, size_t size, std::chrono::milliseconds total, const TransferStep& writeSome);

// Fills `buffer` after its first `received` bytes under the read rules of `limits`: until full,
// until `complete` says the bytes so far are enough (asked after each step that moved bytes),
// or until the first-byte, inter-byte or total time-out, measured on PortClock. Bytes before
// `begun` says the reply began do not start the wait between bytes. When the time is up the
// descriptor gets one last look without waiting: a reader kept waiting on a busy machine takes
// the bytes already queued instead of splitting the reply.
[[nodiscard]] Transfer ReadWithin(int fd, std::span<std::uint8_t> buffer, size_t received, const ReadLimits& limits,
                                  const TransferStep& readSome);

// A transfer's result as SerialTransport's read and write give it: the bytes moved, or
// kConnectionLost when the device went before any byte moved, or kFailed. A read that failed
// after some bytes returns those; a write that failed returns kFailed. `lost` is set on a loss.
[[nodiscard]] int ReadResult(const Transfer& transfer, bool& lost);
[[nodiscard]] int WriteResult(const Transfer& transfer, bool& lost);

// The errors of a device that hung up or was removed, and of a descriptor that is gone.
[[nodiscard]] bool MeansConnectionLost(int error);

// Opens a device file read-write, non-blocking, as no controlling terminal, and claims it with
// flock(LOCK_EX | LOCK_NB), which keeps out every program that follows the convention (root
// included). -1 when it cannot be opened or someone else holds it.
[[nodiscard]] int OpenExclusively(const std::string& device);

} // namespace quorvane
