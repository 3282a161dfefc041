// One Ethernet interface opened with a raw packet socket for management frames (type 0x887B):
// promiscuous, so that frames addressed to any station reach the emulated bridges, and blind
// to the frames it sends itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct RawInterface;

// Null on failure, with the reason (naming CAP_NET_RAW when permission is missing) in `error`.
RawInterface* raw_interface_open(const std::string& name, std::string* error);
void raw_interface_close(RawInterface* raw);
int raw_interface_fd(const RawInterface* raw);
bool raw_interface_send(RawInterface* raw, const uint8_t* frame, size_t length);
// Reads every frame waiting and hands each to `take`.
void raw_interface_receive(RawInterface* raw,
                           const std::function<void(const uint8_t*, size_t)>& take);
