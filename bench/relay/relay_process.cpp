// Starting, measuring and stopping the relay under load.
#include "bench/relay/relay_process.h"

#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace net = boost::asio;
using tcp = net::ip::tcp;

uint16_t freePort() {
    net::io_context io;
    tcp::acceptor a(io, tcp::endpoint(net::ip::make_address("127.0.0.1"), 0));
    return a.local_endpoint().port();
}

static bool accepting(uint16_t port) {
    net::io_context io;
    tcp::socket s(io);
    boost::system::error_code ec;
    s.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), port), ec);
    return !ec;
}

bool relayStart(RelayProcess& relay) {
    std::vector<std::string> args{relay.program, "--address", "127.0.0.1", "--port",
                                  std::to_string(relay.port)};
    args.insert(args.end(), relay.options.begin(), relay.options.end());
    std::ifstream before(relay.logFile, std::ios::ate);
    relay.logStart = before ? long(before.tellg()) : 0;
    int pid = fork();
    if (pid == 0) {
        int log = open(relay.logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (log >= 0) dup2(log, 2);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    relay.pid = pid;
    for (int i = 0; i < 500; i++) {
        if (accepting(relay.port)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int relayStop(RelayProcess& relay, int signal) {
    if (relay.pid <= 0) return -1;
    kill(relay.pid, signal);
    int status = 0;
    waitpid(relay.pid, &status, 0);
    relay.pid = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

double relayCpuSeconds(const RelayProcess& relay) {
    std::ifstream in("/proc/" + std::to_string(relay.pid) + "/stat");
    std::string line;
    std::getline(in, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string f;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> f; i++)
        if (i >= 14) ticks += std::stod(f); // utime and stime
    return ticks / double(sysconf(_SC_CLK_TCK));
}

long relayMemoryKb(const RelayProcess& relay) {
    std::ifstream in("/proc/" + std::to_string(relay.pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

bool relayLogged(const RelayProcess& relay, const std::string& part) {
    std::ifstream in(relay.logFile);
    in.seekg(relay.logStart);
    std::string line;
    while (std::getline(in, line))
        if (line.find(part) != std::string::npos) return true;
    return false;
}
