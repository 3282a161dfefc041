#include "tests/support/wire_fixture.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "app/state.h"
#include "transport/adapters.h"

const uint8_t AdapterAddress[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const uint8_t BridgeAddress[6] = {0x00, 0xB0, 0x52, 0x00, 0x00, 0x01};
const uint8_t StationAddress[6] = {0x00, 0xB0, 0x52, 0x00, 0x00, 0x02};
const uint8_t OtherAddress[6] = {0x00, 0xB0, 0x52, 0x00, 0x00, 0x03};

Bytes hex(const std::string& text) {
    Bytes out;
    std::string digits;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        }
    }
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::string to_hex(const Bytes& bytes) {
    std::string out;
    char byte[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : " %02x", bytes[i]);
        out += byte;
    }
    return out;
}

Bytes padded(Bytes bytes, size_t length) {
    if (bytes.size() < length) {
        bytes.resize(length, 0);
    }
    return bytes;
}

Bytes management(const uint8_t* destination, const uint8_t* source, const Bytes& payload) {
    Bytes f(destination, destination + 6);
    f.insert(f.end(), source, source + 6);
    f.push_back(0x88);
    f.push_back(0x7B);
    f.insert(f.end(), payload.begin(), payload.end());
    return padded(f, 60);
}

void WireTest::SetUp() {
    clock_use_virtual();
}

void WireTest::TearDown() {
    close_all_adapters();
    test_wire_on_send(nullptr);
}

void WireTest::open_adapters(int count) {
    std::vector<TestWireAdapter> adapters;
    for (int i = 0; i < count; ++i) {
        TestWireAdapter a{"eth" + std::to_string(i),
                          {0x02, 0, 0, 0, 0, static_cast<uint8_t>(i + 1)}};
        adapters.push_back(a);
    }
    test_wire_install(adapters);
    ASSERT_EQ(open_all_adapters(), 1);
    ASSERT_EQ(AdapterCount, count);
}

std::vector<SentFrame> WireTest::take_sent() {
    std::vector<SentFrame> sent = test_wire_sent();
    test_wire_clear_sent();
    return sent;
}
