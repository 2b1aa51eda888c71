#pragma once

// A real Mosquitto broker for a test, in a folder of its own: plain, with a password file, or
// with TLS under a CA the test makes. Its port is one the system handed out as free; a broker
// that loses the race for it tries the next free one. Stop and Start again keep the port, the
// sessions and the retained messages (persistence on), as a broker restarted by its owner.
#include "ChildProcess.h"
#include "WaitUntil.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

namespace quorvane::fakes {

class MosquittoBroker {
public:
    enum class Access { Anonymous, Password, Tls };

    static constexpr const char* kUser = "inverter";
    static constexpr const char* kPassword = "s3cret pass";

    explicit MosquittoBroker(Access access = Access::Anonymous)
        : m_access(access), m_folder(makeFolder())
    {
        if (access == Access::Password)
            run("mosquitto_passwd -b -c '" + path("passwords") + "' " + kUser + " '" + kPassword + "'");
        if (access == Access::Tls)
            makeCertificates();
        for (int attempt = 0; attempt < 20 && !m_process; ++attempt) {
            m_port = freePort();
            Start();
        }
        if (!m_process)
            throw std::runtime_error("mosquitto did not start");
    }
    ~MosquittoBroker()
    {
        Stop();
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }

    [[nodiscard]] int Port() const { return m_port; }
    // The CA that signed the broker's certificate (TLS only).
    [[nodiscard]] std::string CaFile() const { return path("ca.crt"); }

    // Starts the broker on its port; false when it did not come up (the port was taken).
    bool Start()
    {
        writeConfig();
        m_process.emplace("/usr/sbin/mosquitto", std::vector<std::string>{"-c", path("mosquitto.conf")});
        // It listens once a connection to its port is taken; a broker whose bind failed ends.
        bool listening = false;
        WaitUntil([&] {
            listening = accepts(m_port);
            return listening || m_process->WaitForExit(std::chrono::milliseconds(0)).has_value();
        });
        if (!listening)
            m_process.reset();
        return listening;
    }
    // Ends the broker as its service manager would: it saves its sessions and goes.
    void Stop()
    {
        if (!m_process)
            return;
        m_process->Signal(SIGTERM);
        if (!m_process->WaitForExit(std::chrono::seconds(30)))
            m_process->KillNow();
        m_process.reset();
    }

private:
    static std::string makeFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvane-broker-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("no folder for the broker");
        return pattern;
    }
    static int freePort()
    {
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof address;
        ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
        ::close(probe);
        return ntohs(address.sin_port);
    }
    static bool accepts(int port)
    {
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        const bool connected = ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(probe);
        return connected;
    }
    static void run(const std::string& command)
    {
        if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
            throw std::runtime_error("failed: " + command);
    }
    [[nodiscard]] std::string path(const std::string& name) const { return m_folder + "/" + name; }

    // Elliptic-curve keys: made in a millisecond, where RSA keys take seconds on a busy machine.
    void makeCertificates()
    {
        const std::string ca = path("ca");
        const std::string server = path("server");
        run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj '/CN=Quorvane test CA' -keyout '" + ca
            + ".key' -out '" + ca + ".crt'");
        run("openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj '/CN=localhost' -keyout '" + server + ".key' -out '" + server
            + ".csr'");
        std::ofstream(path("san.ext")) << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
        run("openssl x509 -req -in '" + server + ".csr' -CA '" + ca + ".crt' -CAkey '" + ca
            + ".key' -CAcreateserial -days 2 -extfile '" + path("san.ext") + "' -out '" + server + ".crt'");
    }

    void writeConfig() const
    {
        std::ofstream config(path("mosquitto.conf"));
        config << "listener " << m_port << " 127.0.0.1\n"
               << "persistence true\n"
               << "persistence_location " << m_folder << "/\n"
               << "queue_qos0_messages true\n"
               << "max_queued_messages 0\n"
               << "set_tcp_nodelay true\n"
               << "log_dest none\n";
        if (::geteuid() == 0) // the broker would give up root for a user of its own, who cannot read here
            config << "user root\n";
        switch (m_access) {
        case Access::Anonymous:
            config << "allow_anonymous true\n";
            break;
        case Access::Password:
            config << "allow_anonymous false\npassword_file " << path("passwords") << "\n";
            break;
        case Access::Tls:
            config << "allow_anonymous true\ncafile " << path("ca.crt") << "\ncertfile " << path("server.crt")
                   << "\nkeyfile " << path("server.key") << "\n";
            break;
        }
    }

    Access m_access;
    std::string m_folder;
    int m_port = 0;
    std::optional<ChildProcess> m_process;
};

} // namespace quorvane::fakes
