#include "emulator/backend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "emulator/emulator.h"

namespace {

// The backend's state of each open adapter: its index. Held in a fixed table rather than
// allocated, so a program that ends with adapters open leaves nothing behind.
struct OpenAdapter {
    size_t index;
    bool open;
};
constexpr size_t MaxAdapters = 16;
OpenAdapter Adapters[MaxAdapters];

// The scenario named by FRAMEGATE_EMULATE, loaded once; a problem is reported once.
bool ensure_loaded() {
    if (emulator_loaded()) {
        return true;
    }
    static bool reported = false;
    const char* path = std::getenv("FRAMEGATE_EMULATE");
    std::string error;
    if (path == nullptr || path[0] == '\0') {
        error = "FRAMEGATE_EMULATE names no scenario file";
    } else if (emulator_load_file(path, &error)) {
        return true;
    }
    if (!reported) {
        std::fprintf(stderr, "framegate: emulated network: %s\n", error.c_str());
        reported = true;
    }
    return false;
}

bool list(std::vector<std::string>* names) {
    if (!ensure_loaded()) {
        return false;
    }
    for (size_t i = 0; i < emulator_adapter_count(); ++i) {
        names->push_back(emulator_adapter_name(i));
    }
    return true;
}

void* open(const char* name, FramegatePort* port) {
    int index = emulator_find_adapter(name);
    if (index < 0 || static_cast<size_t>(index) >= MaxAdapters) {
        return nullptr;
    }
    OpenAdapter& adapter = Adapters[index];
    if (adapter.open) {
        return nullptr;  // one open at a time, as a driver allows
    }
    adapter = {static_cast<size_t>(index), true};
    emulator_attach(adapter.index, [port](const uint8_t* frame, size_t length) {
        framegate_port_receive(port, frame, length);
    });
    return &adapter;
}

void close(void* state) {
    auto* adapter = static_cast<OpenAdapter*>(state);
    emulator_detach(adapter->index);
    adapter->open = false;
}

bool address(void* state, uint8_t mac[6]) {
    EmuMac a = emulator_adapter_address(static_cast<OpenAdapter*>(state)->index);
    std::memcpy(mac, a.data(), 6);
    return true;
}

// The frame leaves at once; the bridges answer later, on the clock.
bool send(void* state, const uint8_t* frame, size_t length, OVERLAPPED* done) {
    framegate_complete_send(done, length);
    emulator_from_adapter(static_cast<OpenAdapter*>(state)->index, frame, length);
    return true;
}

struct Registration {
    Registration() { framegate_register_backend(&EmulatedBackend); }
};
const Registration registration;

}  // namespace

// The library applies the filter program and the promiscuous rule itself.
extern const FramegateBackend EmulatedBackend = {
    "emulated", false, list, open, close, address, nullptr, nullptr, send, nullptr,
};

void emulator_backend_install() {
    framegate_use_backend(&EmulatedBackend);
}

void emulator_link_backend() {}
