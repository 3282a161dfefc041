#include "emulator/backend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "emulator/emulator.h"

namespace {

struct OpenAdapter {
    size_t index;
};

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

std::vector<bool>& open_flags() {
    static std::vector<bool> flags;
    return flags;
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
    if (index < 0) {
        return nullptr;
    }
    std::vector<bool>& flags = open_flags();
    flags.resize(emulator_adapter_count(), false);
    if (flags[static_cast<size_t>(index)]) {
        return nullptr;  // one open at a time, as a driver allows
    }
    flags[static_cast<size_t>(index)] = true;
    emulator_attach(static_cast<size_t>(index), [port](const uint8_t* frame, size_t length) {
        framegate_port_receive(port, frame, length);
    });
    return new OpenAdapter{static_cast<size_t>(index)};
}

void close(void* state) {
    auto* adapter = static_cast<OpenAdapter*>(state);
    emulator_detach(adapter->index);
    if (adapter->index < open_flags().size()) {
        open_flags()[adapter->index] = false;
    }
    delete adapter;
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
    open_flags().clear();
    framegate_use_backend(&EmulatedBackend);
}

void emulator_link_backend() {}
