#pragma once

#include "inverter/SerialTransport.h"

#include <chrono>
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

// How long a read may still wait for its next bytes: for the first byte from `start`, then
// from the last byte, never past the total; never below zero, so that a read whose time is up
// takes one last look without waiting (a reader kept waiting on a busy machine takes the bytes
// already queued instead of splitting the reply).
[[nodiscard]] PortClock::duration ReadWaitLeft(const ReadLimits& limits, PortClock::time_point start,
                                               PortClock::time_point lastByte, bool anyReceived);

// The errors of a device that hung up or was removed, and of a descriptor that is gone.
[[nodiscard]] bool MeansConnectionLost(int error);

// Opens a device file read-write, non-blocking, as no controlling terminal, and claims it with
// flock(LOCK_EX | LOCK_NB), which keeps out every program that follows the convention (root
// included). -1 when it cannot be opened or someone else holds it.
[[nodiscard]] int OpenExclusively(const std::string& device);

} // namespace quorvane
