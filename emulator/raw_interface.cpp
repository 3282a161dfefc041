#include "emulator/raw_interface.h"

#include <arpa/inet.h>
#include <errno.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr uint16_t ManagementType = 0x887B;

}  // namespace

struct RawInterface {
    int fd = -1;
    int index = 0;
    std::string name;
};

RawInterface* raw_interface_open(const std::string& name, std::string* error) {
    unsigned index = if_nametoindex(name.c_str());
    if (index == 0) {
        *error = "no interface named " + name;
        return nullptr;
    }
    int fd = socket(AF_PACKET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ManagementType));
    if (fd < 0) {
        *error = "cannot open a packet socket on " + name + ": " + std::strerror(errno) +
                 (errno == EPERM || errno == EACCES
                      ? " (needs CAP_NET_RAW: run as root or sudo setcap cap_net_raw+ep plcemu)"
                      : "");
        return nullptr;
    }
    sockaddr_ll address{};
    address.sll_family = AF_PACKET;
    address.sll_protocol = htons(ManagementType);
    address.sll_ifindex = static_cast<int>(index);
    packet_mreq membership{};
    membership.mr_ifindex = static_cast<int>(index);
    membership.mr_type = PACKET_MR_PROMISC;
    int one = 1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        setsockopt(fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) {
        *error = "cannot listen on " + name + ": " + std::strerror(errno);
        close(fd);
        return nullptr;
    }
    // Older kernels lack it; the receive path skips outgoing frames all the same.
    setsockopt(fd, SOL_PACKET, PACKET_IGNORE_OUTGOING, &one, sizeof one);
    auto* raw = new RawInterface;
    raw->fd = fd;
    raw->index = static_cast<int>(index);
    raw->name = name;
    return raw;
}

void raw_interface_close(RawInterface* raw) {
    if (raw != nullptr) {
        close(raw->fd);
        delete raw;
    }
}

int raw_interface_fd(const RawInterface* raw) {
    return raw->fd;
}

bool raw_interface_send(RawInterface* raw, const uint8_t* frame, size_t length) {
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ManagementType);
    to.sll_ifindex = raw->index;
    to.sll_halen = 6;
    std::memcpy(to.sll_addr, frame, 6);
    return sendto(raw->fd, frame, length, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
           static_cast<ssize_t>(length);
}

void raw_interface_receive(RawInterface* raw,
                           const std::function<void(const uint8_t*, size_t)>& take) {
    uint8_t frame[1600];
    for (;;) {
        sockaddr_ll from{};
        socklen_t from_length = sizeof from;
        ssize_t n = recvfrom(raw->fd, frame, sizeof frame, 0, reinterpret_cast<sockaddr*>(&from),
                             &from_length);
        if (n < 0) {
            return;  // nothing more waiting (or an error the next poll reports again)
        }
        if (from.sll_pkttype != PACKET_OUTGOING) {
            take(frame, static_cast<size_t>(n));
        }
    }
}
