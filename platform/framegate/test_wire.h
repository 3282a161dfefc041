// The test wire: a framegate backend whose adapters exist only in a test. Tests script frames
// to arrive on given adapters at given clock times, choose how sends end, and read back every
// frame sent, byte for byte, with the clock time at which it was handed to the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TestWireAdapter {
    std::string name;
    uint8_t address[6];
    bool name_fails = false;     // the enumeration cannot give its name
    bool open_fails = false;     // W32N_OpenAdapterA refuses it
    bool address_fails = false;  // the address query fails
};

struct SentFrame {
    size_t adapter;  // index in the installed list
    uint64_t time;   // clock time of the send
    std::vector<uint8_t> bytes;
};

enum class TestWireSends {
    complete,        // completed at once (or after test_wire_send_delay)
    refuse,          // W32N_PacketSend returns 0
    never_complete,  // started, but the event is never signalled
};

// Makes the test wire the library's backend with these adapters, in enumeration order, and
// forgets every frame sent, scheduled and every setting of an earlier installation.
void test_wire_install(const std::vector<TestWireAdapter>& adapters);
void test_wire_fail_enumeration(bool fail);

// At clock time `at`, completes the read at `position` in posting order (0: the oldest) of an
// open adapter with `frame` exactly as given: what the driver hands over after its filtering.
void test_wire_land(size_t adapter, uint64_t at, std::vector<uint8_t> frame, size_t position = 0);
// At clock time `at`, puts `frame` on the wire of the adapter: it passes the adapter's filter
// program and promiscuous rule before it completes the oldest posted read.
void test_wire_arrive(size_t adapter, uint64_t at, std::vector<uint8_t> frame);

void test_wire_set_sends(TestWireSends mode, uint64_t delay_ms = 0);
const std::vector<SentFrame>& test_wire_sent();
void test_wire_clear_sent();
// Called for every frame sent (after it was recorded): scripted peers answer from here, for
// instance with test_wire_arrive at a later time.
void test_wire_on_send(std::function<void(const SentFrame&)> responder);

bool test_wire_is_open(size_t adapter);
size_t test_wire_posted_reads(size_t adapter);
bool test_wire_promiscuous(size_t adapter);
