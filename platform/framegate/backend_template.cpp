// An empty framegate backend: the starting point for a new way of moving frames. It lists no
// adapter. Copy it, fill in the operations and add the file to CMakeLists.txt.
#include "platform/framegate/framegate_backend.h"

namespace {

bool list(std::vector<std::string>*) {
    return true;
}
void* open(const char*, FramegatePort*) {
    return nullptr;
}
void close(void*) {}
bool address(void*, uint8_t*) {
    return false;
}
bool set_filter(void*, const BpfInstruction*, size_t) {
    return false;
}
bool set_promiscuous(void*, bool) {
    return false;
}
bool send(void*, const uint8_t*, size_t, OVERLAPPED*) {
    return false;
}

}  // namespace

extern const FramegateBackend TemplateBackend = {
    "template", true, list, open, close, address, set_filter, set_promiscuous, send, nullptr,
};
