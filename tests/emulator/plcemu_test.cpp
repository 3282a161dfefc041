// The plcemu program: it refuses broken scenarios with file, line and problem, and across a
// veth pair between two network namespaces it answers what the other side sends, takes
// commands on standard input, logs, and ends cleanly on SIGTERM. These tests run in real time
// and need root for the namespaces; without them they are skipped.
#include <fcntl.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/emulator/emulated_network.h"

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Child {
    pid_t pid = -1;
    int input = -1;  // its standard input
};

// Starts plcemu with `args`, inside the network namespace `netns` if one is given, with its
// standard error (and output) going to `output`.
Child start_plcemu(const std::vector<std::string>& args, const std::string& output,
                   const std::string& netns = "") {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) {
        return {};
    }
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        dup2(pipe_fds[0], STDIN_FILENO);
        close(pipe_fds[1]);
        if (!netns.empty()) {
            int ns = open(("/var/run/netns/" + netns).c_str(), O_RDONLY);
            if (ns < 0 || setns(ns, CLONE_NEWNET) != 0) {
                _exit(97);
            }
        }
        std::vector<char*> argv{const_cast<char*>(PLCEMU_PATH)};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(PLCEMU_PATH, argv.data());
        _exit(98);
    }
    close(pipe_fds[0]);
    return {pid, pipe_fds[1]};
}

// Waits up to 10 s of real time until `output` holds `text` (plcemu saying it is ready).
bool wait_for_output(const std::string& output, const std::string& text) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        if (slurp(output).find(text) != std::string::npos) {
            return true;
        }
        usleep(20 * 1000);
    }
    return false;
}

int wait_exit(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(Plcemu, RefusesABrokenScenarioNamingFileLineAndProblem) {
    std::string dir = testing::TempDir();
    std::string scenario = dir + "/broken.json";
    std::ofstream(scenario) << "{\n  \"bridges\": [\n    {\"address\": \"02:a0\"}\n  ]\n}\n";
    std::string output = dir + "/plcemu-broken.out";
    Child c = start_plcemu({"--scenario", scenario, "--interface", "lo"}, output);
    close(c.input);
    EXPECT_EQ(wait_exit(c.pid), 1);
    EXPECT_NE(slurp(output).find("plcemu: " + scenario + ":3: \"02:a0\" is not an Ethernet"),
              std::string::npos)
        << slurp(output);
}

// Two namespaces joined by a veth pair: the PC's end and the end plcemu listens on.
class VethPair : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string id = std::to_string(getpid() % 100000);
        pc_ns = "lwemu-pc-" + id;
        plc_ns = "lwemu-plc-" + id;
        pc_if = "lwpc" + id;
        plc_if = "lwplc" + id;
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root to make network namespaces";
        }
        std::string setup = "ip netns add " + pc_ns + " && ip netns add " + plc_ns +
                            " && ip link add " + pc_if + " netns " + pc_ns +
                            " type veth peer name " + plc_if + " netns " + plc_ns + " && ip -n " +
                            pc_ns + " link set " + pc_if + " up && ip -n " + plc_ns + " link set " +
                            plc_if + " up";
        if (std::system((setup + " 2>/dev/null").c_str()) != 0) {
            GTEST_SKIP() << "cannot make network namespaces and veth pairs here (ip netns)";
        }
        made = true;
        socket_fd = socket_in(pc_ns);
        ASSERT_GE(socket_fd, 0);
    }

    void TearDown() override {
        if (socket_fd >= 0) {
            close(socket_fd);
        }
        if (made) {
            std::system(("ip netns del " + pc_ns + "; ip netns del " + plc_ns).c_str());
        }
    }

    // A raw socket for management frames on the PC's end, made inside its namespace.
    int socket_in(const std::string& ns) {
        int home = open("/proc/self/ns/net", O_RDONLY);
        int target = open(("/var/run/netns/" + ns).c_str(), O_RDONLY);
        if (home < 0 || target < 0 || setns(target, CLONE_NEWNET) != 0) {
            return -1;
        }
        int fd = socket(AF_PACKET, SOCK_RAW, htons(0x887B));
        sockaddr_ll address{};
        address.sll_family = AF_PACKET;
        address.sll_protocol = htons(0x887B);
        address.sll_ifindex = static_cast<int>(if_nametoindex(pc_if.c_str()));
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        std::copy(address.sll_addr, address.sll_addr + 6, own.begin());
        setns(home, CLONE_NEWNET);
        close(home);
        close(target);
        return fd;
    }

    // Sends `frame` every second until a frame comes back or 5 s have passed; then collects
    // what else arrives within `settle_ms`.
    std::vector<Bytes> exchange(Bytes frame, int settle_ms = 300) {
        std::copy(own.begin(), own.end(), frame.begin() + 6);
        std::vector<Bytes> got;
        auto start = std::chrono::steady_clock::now();
        while (got.empty() && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
            send(socket_fd, frame.data(), frame.size(), 0);
            got = collect(1000);
        }
        if (!got.empty()) {
            std::vector<Bytes> more = collect(settle_ms);
            got.insert(got.end(), more.begin(), more.end());
        }
        return got;
    }

    std::vector<Bytes> collect(int ms) {
        std::vector<Bytes> got;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{socket_fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return got;
            }
            uint8_t buffer[1600];
            ssize_t n = recv(socket_fd, buffer, sizeof buffer, 0);
            if (n > 0 && mac_at(Bytes(buffer, buffer + n), 0) == own) {
                got.emplace_back(buffer, buffer + n);
            }
        }
    }

    std::string pc_ns, plc_ns, pc_if, plc_if;
    bool made = false;
    int socket_fd = -1;
    EmuMac own{};
};

TEST_F(VethPair, AnswersDiscoveryTakesCommandsAndStopsOnSigterm) {
    std::string output = testing::TempDir() + "/plcemu-veth.out";
    Child c = start_plcemu(
        {"--scenario", std::string(SCENARIO_DIR) + "/home.json", "--interface", plc_if, "--log"},
        output, plc_ns);
    // Requests sent before plcemu listens would be lost and sent again, and a late answer to
    // the first would then come on top of the answer to the second.
    ASSERT_TRUE(wait_for_output(output, "plcemu: running")) << slurp(output);

    std::vector<Bytes> answers = exchange(bridge_report_request(EmuMac{}, 204));
    ASSERT_EQ(answers.size(), 1u) << slurp(output);
    EXPECT_EQ(mac_at(answers[0], 6), mac("02:a0:00:00:01:01"));
    EXPECT_EQ(answers[0][15], 0x1A);
    EXPECT_EQ(answers[0][17], 0x02);

    EXPECT_EQ(exchange(station_probe(EmuMac{}, Broadcast)).size(), 4u);
    std::string command = "leave 02:a0:00:00:02:01\n";
    ASSERT_EQ(write(c.input, command.data(), command.size()), ssize_t(command.size()));
    collect(300);
    EXPECT_EQ(exchange(station_probe(EmuMac{}, Broadcast)).size(), 3u);

    kill(c.pid, SIGTERM);
    EXPECT_EQ(wait_exit(c.pid), 0);
    close(c.input);
    std::string log = slurp(output);
    EXPECT_NE(log.find("BridgeReport request: 1 answer"), std::string::npos) << log;
    EXPECT_NE(log.find("02:a0:00:00:02:01 left"), std::string::npos) << log;
    EXPECT_NE(log.find("plcemu: stopped"), std::string::npos) << log;
}

}  // namespace
