// The packet-socket path for real: linkwarden's transport on one end of a veth pair, a raw
// socket on the other, both inside a network namespace of this test process alone. Nothing
// reaches any interface outside it, and the namespace goes away with the process.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/framegate/framegate_backend.h"
#include "platform/win/clock.h"
#include "platform/win/kernel.h"
#include "transport/adapters.h"

namespace {

constexpr const char* Near = "lwnear";
constexpr const char* Far = "lwfar";

class PacketSocket : public ::testing::Test {
  protected:
    void SetUp() override {
        if (unshare(CLONE_NEWNET) != 0) {
            GTEST_SKIP() << "cannot make a network namespace here (needs root or CAP_SYS_ADMIN): "
                         << std::strerror(errno);
        }
        std::string make = std::string("ip link add ") + Near + " type veth peer name " + Far +
                           " && ip link set " + Near + " up && ip link set " + Far + " up";
        if (std::system(make.c_str()) != 0) {
            GTEST_SKIP() << "cannot create a veth pair (is iproute2 installed?)";
        }
        clock_use_real();
        framegate_use_backend(&PacketSocketBackend);
        setenv("FRAMEGATE_ADAPTERS", Near, 1);
        ASSERT_EQ(open_all_adapters(), 1);
        ASSERT_EQ(AdapterCount, 1);

        far_ = socket(AF_PACKET, SOCK_RAW, htons(ETH_P_ALL));
        ASSERT_GE(far_, 0);
        sockaddr_ll here{};
        here.sll_family = AF_PACKET;
        here.sll_protocol = htons(ETH_P_ALL);
        here.sll_ifindex = static_cast<int>(if_nametoindex(Far));
        ASSERT_EQ(bind(far_, reinterpret_cast<sockaddr*>(&here), sizeof here), 0);
    }

    void TearDown() override {
        if (far_ >= 0) {
            close_all_adapters();
            close(far_);
            std::system((std::string("ip link del ") + Near + " 2>/dev/null").c_str());
        }
    }

    std::vector<uint8_t> frame(const uint8_t* destination, uint16_t type, uint8_t tag) {
        std::vector<uint8_t> f(60, 0);
        std::memcpy(f.data(), destination, 6);
        f[6] = 0x02;
        f[11] = 0x42;
        f[12] = static_cast<uint8_t>(type >> 8);
        f[13] = static_cast<uint8_t>(type);
        f[20] = tag;
        return f;
    }

    void send_from_far(const std::vector<uint8_t>& f) {
        ASSERT_EQ(send(far_, f.data(), f.size(), 0), static_cast<ssize_t>(f.size()));
    }

    // The tags of the management frames linkwarden receives within `ms` of real time.
    std::vector<int> received_tags(int ms) {
        std::vector<int> tags;
        uint8_t buffer[RECEIVE_FRAME_SIZE];
        DWORD start = GetTickCount();
        while (GetTickCount() - start < static_cast<DWORD>(ms)) {
            if (receive_next_frame(buffer) == 1) {
                tags.push_back(buffer[20]);
            } else {
                Sleep(5);
            }
        }
        return tags;
    }

    // The next frame on the far side whose source is the near end, or an empty frame.
    std::vector<uint8_t> next_on_far_side(int ms) {
        std::vector<uint8_t> buffer(2000);
        pollfd p{far_, POLLIN, 0};
        while (poll(&p, 1, ms) > 0) {
            ssize_t n = recv(far_, buffer.data(), buffer.size(), 0);
            if (n >= 12 && std::memcmp(buffer.data() + 6, AdapterRecord[0].address, 6) == 0) {
                buffer.resize(static_cast<size_t>(n));
                return buffer;
            }
        }
        return {};
    }

    int far_ = -1;
};

TEST_F(PacketSocket, OnlyManagementFramesReachTheProgramPromiscuously) {
    const uint8_t broadcast[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const uint8_t stranger[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
    send_from_far(frame(broadcast, 0x0800, 1));  // another type: never reaches a read
    send_from_far(frame(broadcast, 0x887B, 2));
    send_from_far(frame(stranger, 0x887B, 3));  // another unicast address: promiscuous
    EXPECT_EQ(received_tags(500), (std::vector<int>{2, 3}));
}

TEST_F(PacketSocket, SendsArePaddedAndBounded) {
    std::vector<uint8_t> f(1515, 0xCD);
    std::memset(f.data(), 0xFF, 6);
    std::memcpy(f.data() + 6, AdapterRecord[0].address, 6);
    f[12] = 0x88;
    f[13] = 0x7B;
    EXPECT_EQ(send_frame(0, f.data(), 18), 1);
    std::vector<uint8_t> short_frame = next_on_far_side(1000);
    ASSERT_EQ(short_frame.size(), 60u);
    EXPECT_EQ(short_frame[17], 0xCD);
    for (size_t i = 18; i < 60; ++i) {
        EXPECT_EQ(short_frame[i], 0) << "byte " << i;
    }
    EXPECT_EQ(send_frame(0, f.data(), 1514), 1);
    EXPECT_EQ(next_on_far_side(1000).size(), 1514u);
    EXPECT_EQ(send_frame(0, f.data(), 1515), 0);
}

}  // namespace

namespace {

// Without CAP_NET_RAW the library says once what is missing and finds no adapter. The check
// runs in a child that gives up root, so that it holds whoever runs the tests.
TEST(PacketSocketPermission, MissingCapabilityIsNamedAndYieldsNoAdapter) {
    int err[2];
    ASSERT_EQ(pipe(err), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(err[1], 2);
        if (getuid() == 0 && setuid(65534) != 0) {
            _exit(3);
        }
        framegate_use_backend(&PacketSocketBackend);
        HANDLE e = W32N_StartAdapterEnum();
        bool none = e != INVALID_HANDLE_VALUE && W32N_FirstAdapter(e) == INVALID_HANDLE_VALUE;
        W32N_StartAdapterEnum();  // a second enumeration says nothing more
        _exit(none ? 0 : 1);
    }
    close(err[1]);
    std::string said;
    char chunk[256];
    ssize_t n;
    while ((n = read(err[0], chunk, sizeof chunk)) > 0) {
        said.append(chunk, static_cast<size_t>(n));
    }
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 3) << "could not drop root";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(said.find("CAP_NET_RAW"), std::string::npos) << said;
    EXPECT_EQ(said.find("CAP_NET_RAW"), said.rfind("CAP_NET_RAW")) << "said more than once";
}

}  // namespace
