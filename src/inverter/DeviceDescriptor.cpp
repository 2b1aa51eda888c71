#include "inverter/DeviceDescriptor.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

namespace quorvane {

namespace {

int pollMilliseconds(PortClock::duration remaining)
{
    // Round up so that a wait never ends a hair early and spins on a zero time-out.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(remaining).count());
}

// How long a read may still wait for its next bytes: for the first byte from `start`, then
// from the last byte, never past the total, never below zero.
PortClock::duration readWaitLeft(const ReadLimits& limits, PortClock::time_point start, PortClock::time_point lastByte,
                                 bool betweenBytes)
{
    const auto now = PortClock::now();
    auto remaining = betweenBytes ? lastByte + limits.interByte - now : start + limits.firstByte - now;
    if (limits.total)
        remaining = std::min(remaining, start + *limits.total - now);
    return std::max(remaining, PortClock::duration::zero());
}

// What a failed step means: go round again (nullopt), or the transfer's end.
std::optional<TransferEnd> afterFailedStep(int error)
{
    if (error == EINTR || error == EAGAIN)
        return std::nullopt;
    return MeansConnectionLost(error) ? TransferEnd::Lost : TransferEnd::Failed;
}

std::optional<TransferEnd> afterWait(Readiness readiness)
{
    switch (readiness) {
    case Readiness::Ready:
        return std::nullopt;
    case Readiness::TimedOut:
        return TransferEnd::Finished;
    case Readiness::HungUp:
        return TransferEnd::Lost;
    case Readiness::Failed:
        return TransferEnd::Failed;
    }
    return TransferEnd::Failed;
}

} // namespace

Readiness WaitReady(int fd, short events, PortClock::duration remaining)
{
    pollfd request{fd, events, 0};
    const int ready = ::poll(&request, 1, pollMilliseconds(remaining));
    if (ready < 0)
        return errno == EINTR ? Readiness::Ready : Readiness::Failed;
    if (ready == 0)
        return Readiness::TimedOut;
    return (request.revents & events) != 0 ? Readiness::Ready : Readiness::HungUp;
}

Transfer WriteWithin(int fd, size_t size, std::chrono::milliseconds total, const TransferStep& writeSome)
{
    const auto deadline = PortClock::now() + total;
    size_t written = 0;
    while (written < size) {
        const auto remaining = deadline - PortClock::now();
        if (remaining <= PortClock::duration::zero())
            break;
        if (const auto end = afterWait(WaitReady(fd, POLLOUT, remaining)))
            return {written, *end};
        const ssize_t count = writeSome(written);
        if (count < 0) {
            if (const auto end = afterFailedStep(errno))
                return {written, *end};
            continue;
        }
        written += static_cast<size_t>(count);
    }
    return {written, TransferEnd::Finished};
}

Transfer ReadWithin(int fd, std::span<std::uint8_t> buffer, size_t received, const ReadLimits& limits,
                    const TransferStep& readSome)
{
    const auto start = PortClock::now();
    auto lastByte = start;
    while (received < buffer.size()) {
        const auto remaining = readWaitLeft(limits, start, lastByte, limits.WaitsBetweenBytes(buffer.first(received)));
        if (const auto end = afterWait(WaitReady(fd, POLLIN, remaining)))
            return {received, *end};
        const ssize_t count = readSome(received);
        if (count < 0) {
            if (const auto end = afterFailedStep(errno))
                return {received, *end};
            continue;
        }
        if (count == 0) // readable yet nothing to read: the end of a device that hung up
            return {received, TransferEnd::Lost};
        received += static_cast<size_t>(count);
        lastByte = PortClock::now();
        if (limits.complete && limits.complete(buffer.first(received)))
            break;
    }
    return {received, TransferEnd::Finished};
}

int ReadResult(const Transfer& transfer, bool& lost)
{
    if (transfer.end == TransferEnd::Lost)
        lost = true;
    if (transfer.bytes > 0)
        return static_cast<int>(transfer.bytes);
    if (transfer.end == TransferEnd::Finished)
        return 0;
    return transfer.end == TransferEnd::Lost ? SerialTransport::kConnectionLost : SerialTransport::kFailed;
}

int WriteResult(const Transfer& transfer, bool& lost)
{
    if (transfer.end == TransferEnd::Failed)
        return SerialTransport::kFailed;
    return ReadResult(transfer, lost);
}

bool MeansConnectionLost(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE || error == EBADF;
}

int OpenExclusively(const std::string& device)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace quorvane
