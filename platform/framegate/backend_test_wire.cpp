#include <cstring>
#include <memory>
#include <utility>

#include "platform/framegate/framegate_backend.h"
#include "platform/framegate/test_wire.h"
#include "platform/win/clock.h"

namespace {

struct Wire {
    std::vector<TestWireAdapter> adapters;
    std::vector<FramegatePort*> ports;  // per adapter; null while it is closed
    bool enumeration_fails = false;
    TestWireSends sends = TestWireSends::complete;
    uint64_t send_delay = 0;
    std::vector<SentFrame> sent;
    std::function<void(const SentFrame&)> responder;
};

Wire& wire() {
    static Wire w;
    return w;
}

// Backend state of an open adapter: its index in the installed list.
struct OpenAdapter {
    size_t index;
};

size_t index_of(void* state) {
    return static_cast<OpenAdapter*>(state)->index;
}

bool list(std::vector<std::string>* names) {
    Wire& w = wire();
    if (w.enumeration_fails) {
        return false;
    }
    for (const TestWireAdapter& a : w.adapters) {
        names->push_back(a.name_fails ? std::string() : a.name);
    }
    return true;
}

void* open(const char* name, FramegatePort* port) {
    Wire& w = wire();
    for (size_t i = 0; i < w.adapters.size(); ++i) {
        const TestWireAdapter& a = w.adapters[i];
        if (!a.name_fails && a.name == name && !a.open_fails && w.ports[i] == nullptr) {
            w.ports[i] = port;
            return new OpenAdapter{i};
        }
    }
    return nullptr;
}

void close(void* state) {
    // The wire may have been installed afresh while the adapter was open.
    size_t index = index_of(state);
    if (index < wire().ports.size()) {
        wire().ports[index] = nullptr;
    }
    delete static_cast<OpenAdapter*>(state);
}

bool address(void* state, uint8_t mac[6]) {
    const TestWireAdapter& a = wire().adapters[index_of(state)];
    if (a.address_fails) {
        return false;
    }
    std::memcpy(mac, a.address, 6);
    return true;
}

bool send(void* state, const uint8_t* frame, size_t length, OVERLAPPED* done) {
    Wire& w = wire();
    if (w.sends == TestWireSends::refuse) {
        return false;
    }
    w.sent.push_back(SentFrame{index_of(state), clock_now(), {frame, frame + length}});
    if (w.sends == TestWireSends::complete) {
        if (w.send_delay == 0) {
            framegate_complete_send(done, length);
        } else {
            clock_post_after(w.send_delay,
                             [done, length] { framegate_complete_send(done, length); });
        }
    }
    if (w.responder) {
        SentFrame copy = w.sent.back();
        w.responder(copy);
    }
    return true;
}

const FramegateBackend TestWireBackend = {
    "test_wire", false, list, open, close, address, nullptr, nullptr, send, nullptr,
};

}  // namespace

void test_wire_install(const std::vector<TestWireAdapter>& adapters) {
    Wire& w = wire();
    w = Wire{};
    w.adapters = adapters;
    w.ports.assign(adapters.size(), nullptr);
    framegate_use_backend(&TestWireBackend);
}

void test_wire_fail_enumeration(bool fail) {
    wire().enumeration_fails = fail;
}

void test_wire_land(size_t adapter, uint64_t at, std::vector<uint8_t> frame, size_t position) {
    clock_post_at(at, [adapter, frame = std::move(frame), position] {
        FramegatePort* port = wire().ports.at(adapter);
        if (port != nullptr) {
            framegate_port_land(port, frame.data(), frame.size(), position);
        }
    });
}

void test_wire_arrive(size_t adapter, uint64_t at, std::vector<uint8_t> frame) {
    clock_post_at(at, [adapter, frame = std::move(frame)] {
        FramegatePort* port = wire().ports.at(adapter);
        if (port != nullptr) {
            framegate_port_receive(port, frame.data(), frame.size());
        }
    });
}

void test_wire_set_sends(TestWireSends mode, uint64_t delay_ms) {
    wire().sends = mode;
    wire().send_delay = delay_ms;
}

const std::vector<SentFrame>& test_wire_sent() {
    return wire().sent;
}

void test_wire_clear_sent() {
    wire().sent.clear();
}

void test_wire_on_send(std::function<void(const SentFrame&)> responder) {
    wire().responder = std::move(responder);
}

bool test_wire_is_open(size_t adapter) {
    return wire().ports.at(adapter) != nullptr;
}

size_t test_wire_posted_reads(size_t adapter) {
    FramegatePort* port = wire().ports.at(adapter);
    return port == nullptr ? 0 : framegate_port_posted_reads(port);
}

bool test_wire_promiscuous(size_t adapter) {
    FramegatePort* port = wire().ports.at(adapter);
    return port != nullptr && framegate_port_promiscuous(port);
}
