#pragma once

#include <string>

namespace quorvane {

// Keeps a second program off the same settings file: it holds an exclusive lock on
// "<settings file>.lock" for as long as it lives. The lock is on a file of its own because the
// settings file itself is replaced whole when it is saved. The kernel drops the lock when the
// process ends, however it ends, so a crash never leaves a stale lock behind.
class InstanceLock {
public:
    explicit InstanceLock(const std::string& settingsPath);
    ~InstanceLock();

    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    [[nodiscard]] bool Held() const { return m_fd >= 0; }
    // Why the lock is not held: another program holds it (naming its process when known), or
    // the lock file could not be made.
    [[nodiscard]] const std::string& Problem() const { return m_problem; }

private:
    int m_fd = -1;
    std::string m_problem;
};

} // namespace quorvane
