#pragma once

// A helper program for a test (a mail server, a DNS server), started with a plain fork and
// exec, its standard output read line by line and, when asked for, its standard input written. Plain fork keeps ThreadSanitizer's view of the
// test's threads intact, which a spawn that shares the parent's memory would not.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::fakes {

class ChildProcess {
public:
    enum class Input { Inherited, Piped };

    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 Input inputMode = Input::Inherited)
    {
        int output[2];
        if (::pipe2(output, O_CLOEXEC) != 0)
            return;
        int input[2] = {-1, -1};
        if (inputMode == Input::Piped && ::pipe2(input, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> all{program};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& argument : all)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(output[1], STDOUT_FILENO);
            if (input[0] >= 0)
                ::dup2(input[0], STDIN_FILENO);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(output[1]);
        m_output = output[0];
        if (input[0] >= 0) {
            ::close(input[0]);
            m_input = input[1];
        }
    }
    ~ChildProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_output >= 0)
            ::close(m_output);
        if (m_input >= 0)
            ::close(m_input);
    }

    // Writes to the program's standard input (when piped); false when it is gone.
    bool Write(const std::string& text)
    {
        return m_input >= 0 && ::write(m_input, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    // Ends the program at once, as a crash or a power cut would, and waits for it to be gone.
    void KillNow()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }
    void Signal(int number)
    {
        if (m_pid > 0)
            ::kill(m_pid, number);
    }
    // The program's exit status once it has ended by itself (-1 when a signal ended it), or
    // nothing when it still runs after `limit`.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (m_pid > 0) {
            int status = 0;
            const pid_t ended = ::waitpid(m_pid, &status, WNOHANG);
            if (ended == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (ended < 0 || std::chrono::steady_clock::now() >= deadline)
                return std::nullopt;
            ::usleep(1000);
        }
        return std::nullopt;
    }
    [[nodiscard]] pid_t Pid() const { return m_pid; }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next whole line of output, waiting at most `limit` for it.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (const auto end = m_buffer.find('\n'); end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || m_output < 0)
                return std::nullopt;
            pollfd request{m_output, POLLIN, 0};
            if (::poll(&request, 1, static_cast<int>(left.count())) <= 0)
                return std::nullopt;
            char chunk[4096];
            const ssize_t count = ::read(m_output, chunk, sizeof chunk);
            if (count <= 0)
                return std::nullopt;
            m_buffer.append(chunk, static_cast<size_t>(count));
        }
    }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    int m_input = -1;
    std::string m_buffer;
};

} // namespace quorvane::fakes
