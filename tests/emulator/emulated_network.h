// Helpers for the emulator's tests: a fixture that runs a scenario in virtual time with every
// frame towards the adapters captured, and requests built byte by byte from the request
// tables, padded to 60 bytes as the program's send path pads them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "emulator/emulator.h"
#include "platform/win/clock.h"

using Bytes = std::vector<uint8_t>;

inline EmuMac mac(const char* text) {
    unsigned b[6];
    std::sscanf(text, "%x:%x:%x:%x:%x:%x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]);
    return {uint8_t(b[0]), uint8_t(b[1]), uint8_t(b[2]),
            uint8_t(b[3]), uint8_t(b[4]), uint8_t(b[5])};
}

inline std::string text(const EmuMac& m) {
    char out[18];
    std::snprintf(out, sizeof out, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    return out;
}

inline const EmuMac Broadcast = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

inline EmuMac mac_at(const Bytes& f, size_t at) {
    EmuMac m{};
    for (size_t i = 0; i < 6 && at + i < f.size(); ++i) {
        m[i] = f[at + i];
    }
    return m;
}

inline Bytes bytes_at(const Bytes& f, size_t at, size_t count) {
    return Bytes(f.begin() + static_cast<long>(at), f.begin() + static_cast<long>(at + count));
}

inline uint16_t sum_bytes(const Bytes& f, size_t first, size_t last) {
    uint32_t s = 0;
    for (size_t i = first; i <= last; ++i) {
        s += f[i];
    }
    return static_cast<uint16_t>(s);
}

// ---- Requests, from the request tables ---------------------------------------------------

// A frame of `length` bytes with the given bytes set and every other byte 0, padded to 60.
inline Bytes request(const EmuMac& destination, const EmuMac& source, size_t length,
                     std::initializer_list<std::pair<size_t, uint8_t>> set) {
    Bytes f(std::max<size_t>(length, 60), 0);
    std::copy(destination.begin(), destination.end(), f.begin());
    std::copy(source.begin(), source.end(), f.begin() + 6);
    f[12] = 0x88;
    f[13] = 0x7B;
    for (auto [at, value] : set) {
        f[at] = value;
    }
    return f;
}

inline void put_sum(Bytes& f, size_t first, size_t last, size_t at) {
    uint16_t s = sum_bytes(f, first, last);
    f[at] = uint8_t(s >> 8);
    f[at + 1] = uint8_t(s);
}

inline void put(Bytes& f, size_t at, const EmuKey& key) {
    std::copy(key.begin(), key.end(), f.begin() + static_cast<long>(at));
}

inline Bytes station_probe(const EmuMac& source, const EmuMac& destination) {
    return request(destination, source, 18, {{14, 0x01}, {15, 0x07}});
}

inline Bytes bridge_report_request(const EmuMac& source, size_t length = 38) {
    return request(Broadcast, source, length, {{14, 0x01}, {15, 0x1A}, {16, 0xBB}, {17, 0x80}});
}

inline Bytes parameter_request(const EmuMac& source, uint8_t selector) {
    return request(Broadcast, source, 32, {{14, 0x01}, {15, 0x19}, {16, 0x0F}, {17, selector}});
}

// With parameters: the two-entry form carrying a KeyParameters entry.
inline Bytes set_network_key(const EmuMac& source, const EmuMac& destination, uint8_t selector,
                             const EmuKey& key, const uint8_t* parameters = nullptr) {
    Bytes f = request(destination, source, 32,
                      {{14, uint8_t(parameters ? 2 : 1)}, {15, 0x04}, {16, 0x09}, {17, selector}});
    put(f, 18, key);
    if (parameters != nullptr) {
        f[26] = 0x1F;
        f[27] = 0x03;
        f[28] = parameters[0];
        f[29] = parameters[1];
        f[30] = parameters[2];
    }
    return f;
}

inline Bytes key_parameters(const EmuMac& source, uint8_t a, uint8_t b, uint8_t c) {
    return request(Broadcast, source, 20,
                   {{14, 0x01}, {15, 0x1F}, {16, 0x03}, {17, a}, {18, b}, {19, c}});
}

inline Bytes extended_command(const EmuMac& source, uint8_t command) {
    Bytes f = request(Broadcast, source, 22,
                      {{14, 0x01}, {15, 0x16}, {16, 0x05}, {18, 0xCD}, {19, command}});
    put_sum(f, 18, 19, 20);
    return f;
}

inline Bytes extended_set_key(const EmuMac& source, const EmuKey& key) {
    Bytes f = request(
        Broadcast, source, 32,
        {{14, 0x01}, {15, 0x16}, {16, 0x0F}, {18, 0xCD}, {19, 0x02}, {20, 0x01}, {21, 0x01}});
    put(f, 22, key);
    put_sum(f, 18, 29, 30);
    return f;
}

inline Bytes extended_remote_key(const EmuMac& source, const EmuKey& key_a, const EmuKey& key_b) {
    Bytes f = request(
        Broadcast, source, 42,
        {{14, 0x01}, {15, 0x16}, {16, 0x0F}, {18, 0xCD}, {19, 0x02}, {20, 0x02}, {21, 0x01}});
    put(f, 22, key_a);
    put(f, 31, key_b);
    put_sum(f, 18, 38, 39);
    return f;
}

inline Bytes memory_read(const EmuMac& source, uint32_t location, uint8_t width) {
    Bytes f = request(Broadcast, source, 26,
                      {{14, 0x01},
                       {15, 0x14},
                       {16, 0x06},
                       {18, 0xCC},
                       {19, uint8_t(location >> 16)},
                       {20, uint8_t(location >> 8)},
                       {21, uint8_t(location)},
                       {22, width}});
    put_sum(f, 18, 22, 23);
    return f;
}

inline Bytes block_read(const EmuMac& source, uint32_t location, uint8_t length) {
    Bytes f = request(Broadcast, source, 25,
                      {{14, 0x01},
                       {15, 0x12},
                       {16, 0x08},
                       {18, 0x01},
                       {19, uint8_t(location >> 16)},
                       {20, uint8_t(location >> 8)},
                       {21, uint8_t(location)},
                       {22, length}});
    put_sum(f, 17, 22, 23);
    return f;
}

// ---- The fixture -------------------------------------------------------------------------

struct Captured {
    size_t adapter;
    uint64_t time;
    Bytes bytes;
};

class EmulatedNetwork : public ::testing::Test {
  protected:
    void SetUp() override { clock_use_virtual(); }
    void TearDown() override { emulator_unload(); }

    // Loads a scenario and attaches every adapter to the capture.
    void load(const std::string& scenario) {
        std::string error;
        ASSERT_TRUE(emulator_load_text(scenario, "test.json", &error)) << error;
        for (size_t a = 0; a < emulator_adapter_count(); ++a) {
            emulator_attach(a, [this, a](const uint8_t* frame, size_t length) {
                captured.push_back({a, clock_now(), Bytes(frame, frame + length)});
            });
        }
    }

    void run_for(uint64_t ms) {
        clock_wait_until(clock_now() + ms, [] { return false; });
    }

    // Sends a request on an adapter and returns every frame that came back within 100 ms.
    std::vector<Bytes> ask(const Bytes& frame, size_t adapter = 0, uint64_t ms = 100) {
        captured.clear();
        emulator_from_adapter(adapter, frame.data(), frame.size());
        run_for(ms);
        std::vector<Bytes> out;
        for (const Captured& c : captured) {
            out.push_back(c.bytes);
        }
        return out;
    }

    std::vector<Captured> captured;
};
