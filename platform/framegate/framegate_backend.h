// The seam between the framegate library and the mechanisms that move its frames: a table of
// operations per backend. The library keeps the posted reads, the filter program and the
// packet filter of each open adapter; a backend only lists adapters, opens them, sends, and
// hands received frames to the library's port of the adapter.
//
// Backends: packet_socket (backend_packet_socket.cpp), test_wire (backend_test_wire.cpp), the
// emulated powerline network (emulator/), and an empty template (backend_template.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/framegate/framegate.h"

// The library's side of one open adapter, to which a backend delivers received frames.
struct FramegatePort;

struct FramegateBackend {
    const char* name;
    // The backend filters in the kernel (set_filter and set_promiscuous act on the wire); when
    // false, the library applies the filter program and the promiscuous rule itself.
    bool filters_itself;
    // The names of the adapters, in enumeration order; an empty name stands for an adapter
    // whose name cannot be had. False: the enumeration cannot start.
    bool (*list)(std::vector<std::string>* names);
    // Opens an adapter; returns the backend's state for it, or null. Frames that arrive go to
    // `port` through framegate_port_receive until close, after which the backend must never
    // touch the port again (cancel what it scheduled for it).
    void* (*open)(const char* name, FramegatePort* port);
    void (*close)(void* state);
    // The adapter's current Ethernet address.
    bool (*address)(void* state, uint8_t mac[6]);
    // Only called when filters_itself is true.
    bool (*set_filter)(void* state, const BpfInstruction* program, size_t count);
    bool (*set_promiscuous)(void* state, bool on);
    // Starts sending; completes `done` with framegate_complete_send when the frame has gone
    // out (at once or later, or never). False: the send could not be started.
    bool (*send)(void* state, const uint8_t* frame, size_t length, OVERLAPPED* done);
    // Called on the program's thread whenever it looks at a read: move frames that arrived in
    // the background into the port. May be null.
    void (*poll)(void* state);
};

// A frame that arrived on the wire: passes the adapter's filter program and, unless the
// adapter is promiscuous, the address rule (broadcast, multicast or the adapter's own
// address) when the library filters; then completes the oldest posted read. Frames with no
// read posted are dropped, as a driver drops them.
void framegate_port_receive(FramegatePort* port, const uint8_t* frame, size_t length);
// Completes the read at `position` in posting order (0: the oldest) with `frame` as it
// stands, past every filter: what a driver hands over after filtering. False when fewer
// reads are posted.
bool framegate_port_land(FramegatePort* port, const uint8_t* frame, size_t length,
                         size_t position = 0);
size_t framegate_port_posted_reads(const FramegatePort* port);
bool framegate_port_promiscuous(const FramegatePort* port);

void framegate_complete_send(OVERLAPPED* done, size_t length);

// Which backend the next enumeration uses. By default the library picks the emulated network
// when FRAMEGATE_EMULATE is set, else packet sockets.
void framegate_use_backend(const FramegateBackend* backend);
// Backends that live outside the library (the emulator) make themselves known by name.
void framegate_register_backend(const FramegateBackend* backend);
const FramegateBackend* framegate_find_backend(const char* name);

extern const FramegateBackend PacketSocketBackend;
