#pragma once
// Real HTTP servers on 127.0.0.1 for the network tests and the benchmark: nginx with a
// configuration written into a scratch folder (run in the foreground as the current
// user), and the tests' own Python server (tests/network/http_test_server.py). Each takes
// a free port; readiness is a successful connect, polled.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kestrin_test {

inline int FreePort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof sa;
    int port = -1;
    if (bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&sa), &length) == 0) {
        port = ntohs(sa.sin_port);
    }
    close(s);
    return port;
}

inline bool PortAccepts(int port) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    close(s);
    return ok;
}

// A child process, ended (SIGTERM) and reaped on destruction.
class ServerProcess {
public:
    ServerProcess() = default;
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    ~ServerProcess() { Stop(); }

    // Starts argv and waits until port accepts connections (or the child ended, or a
    // generous safety limit passed). True when the server is ready.
    bool Start(const std::vector<std::string>& args, int port) {
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawnp(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
            return false;
        }
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < limit) {
            if (PortAccepts(port)) return true;
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    void Stop() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

// nginx serving folder/www, with the extra locations given.
inline bool StartNginx(ServerProcess& process, const std::string& folder, int port, const std::string& locations) {
    std::string user;
    if (geteuid() == 0) {
        // Run as root, nginx would hand its workers to "nobody", who cannot read the folder.
        passwd* pw = getpwuid(geteuid());
        user = std::string("user ") + (pw ? pw->pw_name : "root") + ";\n";
    }
    std::ofstream conf(folder + "/nginx.conf");
    conf << user << "worker_processes 1;\ndaemon off;\nmaster_process on;\npid " << folder << "/nginx.pid;\nerror_log "
         << folder << "/error.log;\nevents { worker_connections 64; }\nhttp {\n  access_log off;\n"
         << "  client_body_temp_path " << folder << "/tmp;\n  proxy_temp_path " << folder << "/tmp;\n"
         << "  fastcgi_temp_path " << folder << "/tmp;\n  uwsgi_temp_path " << folder << "/tmp;\n"
         << "  scgi_temp_path " << folder << "/tmp;\n  default_type text/plain;\n  keepalive_timeout 30;\n"
         << "  keepalive_requests 1000;\n  sendfile on;\n"
         << "  server {\n    listen 127.0.0.1:" << port << ";\n    root " << folder << "/www;\n"
         << locations << "  }\n}\n";
    conf.close();
    return process.Start({"nginx", "-p", folder, "-e", folder + "/error.log", "-c", folder + "/nginx.conf"}, port);
}

inline bool StartPythonServer(ServerProcess& process, int port, const std::string& storeFolder) {
    return process.Start({"python3", std::string(KESTRIN_SOURCE_DIR) + "/tests/network/http_test_server.py",
                          std::to_string(port), storeFolder},
                         port);
}

}  // namespace kestrin_test
