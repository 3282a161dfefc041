// The framegate library proper: enumeration, adapters, posted reads, requests and sends, on
// top of whichever backend moves the frames.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/framegate/bpf.h"
#include "platform/framegate/framegate_backend.h"
#include "platform/win/kernel.h"
#include "platform/win/kernel_object.h"

namespace {

struct PostedRead {
    PacketDescriptor* descriptor;
    DWORD* byte_count;
    OVERLAPPED* overlapped;
};

struct Enumeration : KernelObject {
    std::vector<std::string> names;
    size_t next = 0;
};

struct Entry : KernelObject {
    std::string name;
};

struct Adapter : KernelObject {
    const FramegateBackend* backend = nullptr;
    void* state = nullptr;
    std::deque<PostedRead> posted;  // oldest first
    std::vector<BpfInstruction> filter;
    bool promiscuous = false;
    uint8_t address[6] = {};

    void update_overlapped() override {
        if (backend->poll != nullptr) {
            backend->poll(state);
        }
    }
};

}  // namespace

struct FramegatePort {
    Adapter* adapter;
};

namespace {

struct Library {
    const FramegateBackend* chosen = nullptr;
    std::vector<const FramegateBackend*> registered;
    std::map<HANDLE, std::unique_ptr<Enumeration>> enumerations;
    std::map<HANDLE, std::unique_ptr<Entry>> entries;
    std::map<HANDLE, std::unique_ptr<Adapter>> adapters;
    std::map<Adapter*, std::unique_ptr<FramegatePort>> ports;
};

Library& library() {
    static Library lib;
    return lib;
}

const FramegateBackend* current_backend() {
    Library& lib = library();
    if (lib.chosen == nullptr) {
        const char* scenario = std::getenv("FRAMEGATE_EMULATE");
        lib.chosen = scenario != nullptr && scenario[0] != '\0' ? framegate_find_backend("emulated")
                                                                : &PacketSocketBackend;
    }
    return lib.chosen;
}

template <typename T>
T* find(std::map<HANDLE, std::unique_ptr<T>>& table, HANDLE handle) {
    auto it = table.find(handle);
    return it == table.end() ? nullptr : it->second.get();
}

HANDLE entry_for(Enumeration* enumeration) {
    if (enumeration->next >= enumeration->names.size()) {
        return INVALID_HANDLE_VALUE;
    }
    auto entry = std::make_unique<Entry>();
    entry->name = enumeration->names[enumeration->next++];
    HANDLE handle = kernel_register(entry.get());
    library().entries[handle] = std::move(entry);
    return handle;
}

bool is_group_address(const uint8_t* destination) {
    return (destination[0] & 0x01) != 0;
}

void complete_read(const PostedRead& read, const uint8_t* frame, size_t length) {
    PacketDescriptor* d = read.descriptor;
    size_t capacity = std::min<size_t>(d->capacity, FRAMEGATE_FRAME_CAPACITY);
    size_t kept = std::min(length, capacity);
    std::memcpy(d->frame, frame, kept);
    // A runt frame reads as zero-padded, never as what an earlier frame left in the area.
    std::memset(d->frame + kept, 0, FRAMEGATE_FRAME_CAPACITY - kept);
    d->length = static_cast<DWORD>(kept);
    d->status = 0;
    if (read.byte_count != nullptr) {
        *read.byte_count = static_cast<DWORD>(kept);
    }
    kernel_complete_overlapped(read.overlapped, STATUS_SUCCESS, static_cast<DWORD>(kept));
}

}  // namespace

// ---- Backends ------------------------------------------------------------------------------

void framegate_use_backend(const FramegateBackend* backend) {
    library().chosen = backend;
}

void framegate_register_backend(const FramegateBackend* backend) {
    library().registered.push_back(backend);
}

const FramegateBackend* framegate_find_backend(const char* name) {
    for (const FramegateBackend* backend : library().registered) {
        if (std::strcmp(backend->name, name) == 0) {
            return backend;
        }
    }
    return nullptr;
}

// ---- Ports ---------------------------------------------------------------------------------

void framegate_port_receive(FramegatePort* port, const uint8_t* frame, size_t length) {
    Adapter* adapter = port->adapter;
    if (!adapter->backend->filters_itself) {
        if (length < 14) {
            return;
        }
        bool for_us = adapter->promiscuous || is_group_address(frame) ||
                      std::memcmp(frame, adapter->address, 6) == 0;
        if (!for_us) {
            return;
        }
        if (!adapter->filter.empty()) {
            uint32_t accepted =
                bpf_run(adapter->filter.data(), adapter->filter.size(), frame, length);
            if (accepted == 0) {
                return;
            }
            length = std::min<size_t>(length, accepted);
        }
    }
    framegate_port_land(port, frame, length, 0);
}

bool framegate_port_land(FramegatePort* port, const uint8_t* frame, size_t length,
                         size_t position) {
    auto& posted = port->adapter->posted;
    if (position >= posted.size()) {
        return false;
    }
    PostedRead read = posted[position];
    posted.erase(posted.begin() + static_cast<std::ptrdiff_t>(position));
    complete_read(read, frame, length);
    return true;
}

size_t framegate_port_posted_reads(const FramegatePort* port) {
    return port->adapter->posted.size();
}

bool framegate_port_promiscuous(const FramegatePort* port) {
    return port->adapter->promiscuous;
}

void framegate_complete_send(OVERLAPPED* done, size_t length) {
    kernel_complete_overlapped(done, STATUS_SUCCESS, static_cast<DWORD>(length));
}

// ---- Requests ------------------------------------------------------------------------------

int32_t ndis_buffer_ref(const NdisRequest* request, const void* buffer) {
    auto distance = reinterpret_cast<intptr_t>(buffer) - reinterpret_cast<intptr_t>(request);
    if (distance == 0 || distance < INT32_MIN || distance > INT32_MAX) {
        return 0;
    }
    return static_cast<int32_t>(distance);
}

void* ndis_buffer_of(const NdisRequest* request) {
    if (request->information_ref == 0) {
        return nullptr;
    }
    return reinterpret_cast<void*>(reinterpret_cast<intptr_t>(request) + request->information_ref);
}

// ---- The library's calls -------------------------------------------------------------------

HANDLE W32N_StartAdapterEnum() {
    const FramegateBackend* backend = current_backend();
    auto enumeration = std::make_unique<Enumeration>();
    if (backend == nullptr || !backend->list(&enumeration->names)) {
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = kernel_register(enumeration.get());
    library().enumerations[handle] = std::move(enumeration);
    return handle;
}

void W32N_EndAdapterEnum(HANDLE enumeration) {
    if (library().enumerations.erase(enumeration) != 0) {
        kernel_unregister(enumeration);
    }
}

HANDLE W32N_FirstAdapter(HANDLE handle) {
    Enumeration* enumeration = find(library().enumerations, handle);
    if (enumeration == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    enumeration->next = 0;
    return entry_for(enumeration);
}

HANDLE W32N_NextAdapter(HANDLE handle) {
    Enumeration* enumeration = find(library().enumerations, handle);
    return enumeration == nullptr ? INVALID_HANDLE_VALUE : entry_for(enumeration);
}

void W32N_ReleaseAdapterEntry(HANDLE entry) {
    if (library().entries.erase(entry) != 0) {
        kernel_unregister(entry);
    }
}

DWORD W32N_GetAdapterName(HANDLE handle, char* buffer, DWORD* size) {
    Entry* entry = find(library().entries, handle);
    if (entry == nullptr || size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (entry->name.empty()) {
        return ERROR_GEN_FAILURE;  // the backend could not name this adapter
    }
    DWORD needed = static_cast<DWORD>(entry->name.size() + 1);
    if (buffer == nullptr) {
        *size = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(buffer, entry->name.c_str(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

HANDLE W32N_OpenAdapterA(const char* name) {
    const FramegateBackend* backend = current_backend();
    if (backend == nullptr || name == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    auto adapter = std::make_unique<Adapter>();
    auto port = std::make_unique<FramegatePort>(FramegatePort{adapter.get()});
    adapter->backend = backend;
    adapter->state = backend->open(name, port.get());
    if (adapter->state == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    backend->address(adapter->state, adapter->address);
    HANDLE handle = kernel_register(adapter.get());
    library().ports[adapter.get()] = std::move(port);
    library().adapters[handle] = std::move(adapter);
    return handle;
}

BOOL W32N_CloseAdapter(HANDLE handle) {
    Library& lib = library();
    Adapter* adapter = find(lib.adapters, handle);
    if (adapter == nullptr) {
        return FALSE;
    }
    for (const PostedRead& read : adapter->posted) {
        kernel_complete_overlapped(read.overlapped, STATUS_CANCELLED, 0);
    }
    adapter->posted.clear();
    adapter->backend->close(adapter->state);
    kernel_unregister(handle);
    lib.ports.erase(adapter);
    lib.adapters.erase(handle);
    return TRUE;
}

DWORD W32N_MakeNdisRequest(HANDLE handle, NdisRequest* request, OVERLAPPED* overlapped,
                           DWORD synchronous) {
    Adapter* adapter = find(library().adapters, handle);
    if (adapter == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    void* buffer = ndis_buffer_of(request);
    if (synchronous != 1 || buffer == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    DWORD result = ERROR_INVALID_PARAMETER;
    if (request->request_type == NdisRequestQueryInformation &&
        request->oid == OID_802_3_CURRENT_ADDRESS) {
        request->bytes_needed = 6;
        if (request->information_length >= 6 &&
            adapter->backend->address(adapter->state, adapter->address)) {
            std::memcpy(buffer, adapter->address, 6);
            request->bytes_done = 6;
            result = ERROR_SUCCESS;
        } else {
            result =
                request->information_length < 6 ? ERROR_INSUFFICIENT_BUFFER : ERROR_GEN_FAILURE;
        }
    } else if (request->request_type == NdisRequestSetInformation &&
               request->oid == OID_GEN_CURRENT_PACKET_FILTER) {
        request->bytes_needed = 4;
        if (request->information_length >= 4) {
            DWORD filter = 0;
            std::memcpy(&filter, buffer, 4);
            bool on = (filter & NDIS_PACKET_TYPE_PROMISCUOUS) != 0;
            bool done = adapter->backend->filters_itself
                            ? adapter->backend->set_promiscuous(adapter->state, on)
                            : true;
            if (done) {
                adapter->promiscuous = on;
                request->bytes_done = 4;
                result = ERROR_SUCCESS;
            } else {
                result = ERROR_GEN_FAILURE;
            }
        }
    }
    if (overlapped != nullptr) {
        kernel_complete_overlapped(overlapped,
                                   result == ERROR_SUCCESS ? STATUS_SUCCESS : STATUS_CANCELLED,
                                   request->bytes_done);
    }
    return result;
}

BOOL W32N_SetBPFProgram(HANDLE handle, const void* program, DWORD length) {
    Adapter* adapter = find(library().adapters, handle);
    if (adapter == nullptr || program == nullptr || length == 0 ||
        length % sizeof(BpfInstruction) != 0 ||
        length / sizeof(BpfInstruction) > BPF_MAX_INSTRUCTIONS) {
        return FALSE;
    }
    size_t count = length / sizeof(BpfInstruction);
    std::vector<BpfInstruction> filter(count);
    std::memcpy(filter.data(), program, length);
    if (adapter->backend->filters_itself &&
        !adapter->backend->set_filter(adapter->state, filter.data(), count)) {
        return FALSE;
    }
    adapter->filter = std::move(filter);
    return TRUE;
}

BOOL W32N_PacketRead(HANDLE handle, PacketDescriptor* descriptor, DWORD* byte_count,
                     OVERLAPPED* overlapped, DWORD) {
    Adapter* adapter = find(library().adapters, handle);
    if (adapter == nullptr || descriptor == nullptr || overlapped == nullptr) {
        return FALSE;
    }
    // Posting a read that is already posted leaves it where it stands in the order.
    for (const PostedRead& read : adapter->posted) {
        if (read.descriptor == descriptor) {
            return TRUE;
        }
    }
    descriptor->status = STATUS_PENDING;
    overlapped->Internal = STATUS_PENDING;
    overlapped->InternalHigh = 0;
    if (overlapped->hEvent != nullptr) {
        ResetEvent(overlapped->hEvent);
    }
    adapter->posted.push_back(PostedRead{descriptor, byte_count, overlapped});
    return TRUE;
}

BOOL W32N_CancelPacketRead(HANDLE handle, PacketDescriptor* descriptor) {
    Adapter* adapter = find(library().adapters, handle);
    if (adapter == nullptr) {
        return FALSE;
    }
    auto& posted = adapter->posted;
    for (auto it = posted.begin(); it != posted.end(); ++it) {
        if (it->descriptor == descriptor) {
            OVERLAPPED* overlapped = it->overlapped;
            posted.erase(it);
            kernel_complete_overlapped(overlapped, STATUS_CANCELLED, 0);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL W32N_PacketSend(HANDLE handle, const BYTE* frame, DWORD length, DWORD* bytes_sent,
                     OVERLAPPED* overlapped) {
    Adapter* adapter = find(library().adapters, handle);
    if (adapter == nullptr || frame == nullptr || overlapped == nullptr || length == 0 ||
        length > 1514) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // As with every overlapped operation, the event is reset when the operation starts.
    overlapped->Internal = STATUS_PENDING;
    overlapped->InternalHigh = 0;
    if (overlapped->hEvent != nullptr) {
        ResetEvent(overlapped->hEvent);
    }
    if (!adapter->backend->send(adapter->state, frame, length, overlapped)) {
        overlapped->Internal = STATUS_CANCELLED;
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    if (bytes_sent != nullptr) {
        *bytes_sent = length;
    }
    return TRUE;
}
