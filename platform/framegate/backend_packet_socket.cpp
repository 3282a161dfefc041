// framegate on the machine's own Ethernet interfaces: one raw AF_PACKET socket per adapter.
//
// The filter program is attached as the kernel's classic BPF socket filter (the encodings are
// the same), packet filter 0x20 is promiscuous membership of the socket, and the address query
// reads the interface's hardware address. A thread per adapter receives into a queue; the
// program's thread moves queued frames into its posted reads, oldest read first, whenever it
// looks at a read, so nothing the program sees changes behind its back.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/filter.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netpacket/packet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/framegate/framegate_backend.h"

#ifndef PACKET_IGNORE_OUTGOING
#define PACKET_IGNORE_OUTGOING 23
#endif

static_assert(sizeof(sock_filter) == sizeof(BpfInstruction));
static_assert(offsetof(sock_filter, k) == offsetof(BpfInstruction, k));

namespace {

constexpr size_t MAX_FRAME = 1514;
// Frames waiting for the program beyond this are dropped, as a full receive ring drops them.
constexpr size_t MAX_WAITING = 4096;

struct SocketAdapter {
    std::string name;
    int ifindex = 0;
    int fd = -1;
    int stop_fd = -1;
    FramegatePort* port = nullptr;
    std::thread reader;
    std::mutex lock;
    std::deque<std::vector<uint8_t>> arrived;  // guarded by lock
    std::atomic<bool> has_arrived{false};
};

bool permission_reported = false;

void report_no_permission() {
    if (permission_reported) {
        return;
    }
    permission_reported = true;
    std::fprintf(stderr,
                 "framegate: raw Ethernet access needs CAP_NET_RAW, which this process lacks; "
                 "run it as root or grant it once with: sudo setcap cap_net_raw+ep <program>\n");
}

bool is_ethernet(const char* name) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    ifreq request{};
    std::snprintf(request.ifr_name, IFNAMSIZ, "%s", name);
    bool ethernet =
        ioctl(fd, SIOCGIFHWADDR, &request) == 0 && request.ifr_hwaddr.sa_family == ARPHRD_ETHER;
    close(fd);
    return ethernet;
}

// The interfaces FRAMEGATE_ADAPTERS names, in its order, or else every Ethernet interface.
std::vector<std::string> candidate_names() {
    std::vector<std::string> names;
    const char* chosen = std::getenv("FRAMEGATE_ADAPTERS");
    if (chosen != nullptr && chosen[0] != '\0') {
        std::stringstream list(chosen);
        std::string name;
        while (std::getline(list, name, ',')) {
            if (!name.empty() && if_nametoindex(name.c_str()) != 0) {
                names.push_back(name);
            }
        }
        return names;
    }
    struct if_nameindex* all = if_nameindex();
    if (all == nullptr) {
        return names;
    }
    for (struct if_nameindex* i = all; i->if_index != 0; ++i) {
        names.push_back(i->if_name);
    }
    if_freenameindex(all);
    return names;
}

bool list(std::vector<std::string>* names) {
    int probe = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        if (errno == EPERM || errno == EACCES) {
            report_no_permission();
            return true;  // the enumeration works, it just yields no adapter
        }
        return false;
    }
    close(probe);
    for (const std::string& name : candidate_names()) {
        if (is_ethernet(name.c_str())) {
            names->push_back(name);
        }
    }
    return true;
}

void receive_loop(SocketAdapter* a) {
    std::vector<uint8_t> buffer(MAX_FRAME + 64);
    pollfd fds[2] = {{a->fd, POLLIN, 0}, {a->stop_fd, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        sockaddr_ll from{};
        socklen_t from_length = sizeof from;
        ssize_t n = recvfrom(a->fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                             reinterpret_cast<sockaddr*>(&from), &from_length);
        if (n <= 0 || from.sll_pkttype == PACKET_OUTGOING) {
            continue;  // our own sends are not received, as on a real adapter
        }
        std::lock_guard<std::mutex> guard(a->lock);
        if (a->arrived.size() >= MAX_WAITING) {
            continue;
        }
        a->arrived.emplace_back(buffer.begin(), buffer.begin() + n);
        a->has_arrived.store(true, std::memory_order_release);
    }
}

// A filter that rejects everything, installed at open so that nothing queues up before the
// program's own filter is in place.
bool attach_filter(int fd, const BpfInstruction* program, size_t count) {
    sock_fprog fprog{static_cast<unsigned short>(count),
                     reinterpret_cast<sock_filter*>(const_cast<BpfInstruction*>(program))};
    return setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &fprog, sizeof fprog) == 0;
}

void drain_socket(int fd) {
    uint8_t scratch[MAX_FRAME + 64];
    while (recv(fd, scratch, sizeof scratch, MSG_DONTWAIT) > 0) {
    }
}

void* open(const char* name, FramegatePort* port) {
    auto* a = new SocketAdapter;
    a->name = name;
    a->port = port;
    a->ifindex = static_cast<int>(if_nametoindex(name));
    a->fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ALL));
    a->stop_fd = eventfd(0, EFD_CLOEXEC);
    static const BpfInstruction reject_all[] = {{0x06, 0, 0, 0}};
    sockaddr_ll here{};
    here.sll_family = AF_PACKET;
    here.sll_protocol = htons(ETH_P_ALL);
    here.sll_ifindex = a->ifindex;
    int one = 1;
    bool ok = a->ifindex != 0 && a->fd >= 0 && a->stop_fd >= 0 &&
              attach_filter(a->fd, reject_all, 1) &&
              bind(a->fd, reinterpret_cast<sockaddr*>(&here), sizeof here) == 0;
    if (!ok) {
        if (a->fd < 0 && (errno == EPERM || errno == EACCES)) {
            report_no_permission();
        }
        if (a->fd >= 0)
            close(a->fd);
        if (a->stop_fd >= 0)
            close(a->stop_fd);
        delete a;
        return nullptr;
    }
    // Older kernels lack this option; the reader then drops outgoing frames itself.
    setsockopt(a->fd, SOL_PACKET, PACKET_IGNORE_OUTGOING, &one, sizeof one);
    drain_socket(a->fd);
    a->reader = std::thread(receive_loop, a);
    return a;
}

void close(void* state) {
    auto* a = static_cast<SocketAdapter*>(state);
    uint64_t one = 1;
    [[maybe_unused]] ssize_t put = write(a->stop_fd, &one, sizeof one);
    a->reader.join();
    ::close(a->fd);
    ::close(a->stop_fd);
    delete a;
}

bool address(void* state, uint8_t mac[6]) {
    auto* a = static_cast<SocketAdapter*>(state);
    ifreq request{};
    std::snprintf(request.ifr_name, IFNAMSIZ, "%s", a->name.c_str());
    if (ioctl(a->fd, SIOCGIFHWADDR, &request) != 0) {
        return false;
    }
    std::memcpy(mac, request.ifr_hwaddr.sa_data, 6);
    return true;
}

bool set_filter(void* state, const BpfInstruction* program, size_t count) {
    auto* a = static_cast<SocketAdapter*>(state);
    if (!attach_filter(a->fd, program, count)) {
        return false;
    }
    // Frames queued under the previous filter must not reach the program.
    drain_socket(a->fd);
    std::lock_guard<std::mutex> guard(a->lock);
    a->arrived.clear();
    a->has_arrived.store(false, std::memory_order_release);
    return true;
}

bool set_promiscuous(void* state, bool on) {
    auto* a = static_cast<SocketAdapter*>(state);
    packet_mreq membership{};
    membership.mr_ifindex = a->ifindex;
    membership.mr_type = PACKET_MR_PROMISC;
    int option = on ? PACKET_ADD_MEMBERSHIP : PACKET_DROP_MEMBERSHIP;
    int result = setsockopt(a->fd, SOL_PACKET, option, &membership, sizeof membership);
    // Dropping a membership that was never added is no failure.
    return result == 0 || (!on && errno == EADDRNOTAVAIL);
}

bool send(void* state, const uint8_t* frame, size_t length, OVERLAPPED* done) {
    auto* a = static_cast<SocketAdapter*>(state);
    ssize_t n = ::send(a->fd, frame, length, 0);
    if (n != static_cast<ssize_t>(length)) {
        return false;
    }
    framegate_complete_send(done, length);
    return true;
}

void poll(void* state) {
    auto* a = static_cast<SocketAdapter*>(state);
    if (!a->has_arrived.load(std::memory_order_acquire)) {
        return;
    }
    std::deque<std::vector<uint8_t>> frames;
    {
        std::lock_guard<std::mutex> guard(a->lock);
        frames.swap(a->arrived);
        a->has_arrived.store(false, std::memory_order_release);
    }
    for (const std::vector<uint8_t>& frame : frames) {
        framegate_port_receive(a->port, frame.data(), frame.size());
    }
}

}  // namespace

const FramegateBackend PacketSocketBackend = {
    "packet_socket", true, list, open, close, address, set_filter, set_promiscuous, send, poll,
};
