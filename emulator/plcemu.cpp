// plcemu: the emulated powerline network on real Ethernet interfaces. Each interface named on
// the command line stands for one adapter of the scenario, in order (or by name: IF=ADAPTER),
// and the bridges plugged into that adapter answer the management frames that arrive on it.
//
//   plcemu --scenario FILE --interface IF[,IF...] [--log]
//
// Standard input takes control commands, one per line (emulator/README.md). SIGINT and
// SIGTERM end it cleanly. Needs CAP_NET_RAW for its packet sockets.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/raw_interface.h"
#include "platform/win/clock.h"

namespace {

struct Options {
    std::string scenario;
    std::vector<std::string> interfaces;
    bool log = false;
};

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: plcemu --scenario FILE --interface IF[,IF...] [--log]\n"
                 "  --scenario FILE   the network to emulate (emulator/scenarios/*.json)\n"
                 "  --interface LIST  Ethernet interfaces standing for the scenario's adapters,\n"
                 "                    in order; IF=ADAPTER picks an adapter by name\n"
                 "  --log             one line on standard error for each frame answered\n"
                 "Control commands are read from standard input (see emulator/README.md).\n");
}

bool parse_options(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "plcemu: %s needs a value\n", arg.c_str());
                return false;
            }
            *out = argv[++i];
            return true;
        };
        std::string list;
        if (arg == "--scenario") {
            if (!value(&o->scenario)) {
                return false;
            }
        } else if (arg == "--interface") {
            if (!value(&list)) {
                return false;
            }
            size_t start = 0;
            while (start <= list.size()) {
                size_t comma = list.find(',', start);
                std::string name = list.substr(start, comma - start);
                if (!name.empty()) {
                    o->interfaces.push_back(name);
                }
                start = comma == std::string::npos ? list.size() + 1 : comma + 1;
            }
        } else if (arg == "--log") {
            o->log = true;
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            std::exit(0);
        } else {
            std::fprintf(stderr, "plcemu: unknown argument %s\n", arg.c_str());
            return false;
        }
    }
    if (o->scenario.empty() || o->interfaces.empty()) {
        std::fprintf(stderr, "plcemu: --scenario and --interface are required\n");
        return false;
    }
    return true;
}

// Which scenario adapter each interface stands for.
bool map_interfaces(const std::vector<std::string>& given, std::vector<std::string>* interfaces,
                    std::vector<size_t>* adapters) {
    for (size_t i = 0; i < given.size(); ++i) {
        std::string name = given[i];
        int adapter = static_cast<int>(i);
        size_t equals = name.find('=');
        if (equals != std::string::npos) {
            adapter = emulator_find_adapter(name.substr(equals + 1));
            if (adapter < 0) {
                std::fprintf(stderr, "plcemu: the scenario has no adapter named %s\n",
                             name.substr(equals + 1).c_str());
                return false;
            }
            name = name.substr(0, equals);
        } else if (i >= emulator_adapter_count()) {
            std::fprintf(stderr, "plcemu: the scenario has %zu adapter(s), not enough for %s\n",
                         emulator_adapter_count(), name.c_str());
            return false;
        }
        interfaces->push_back(name);
        adapters->push_back(static_cast<size_t>(adapter));
    }
    return true;
}

// Control commands from standard input, one per line.
struct Console {
    std::string pending;
    int watch = -1;

    void readable() {
        char buffer[512];
        ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            clock_unwatch_fd(watch);  // end of input: keep running without a console
            return;
        }
        pending.append(buffer, static_cast<size_t>(n));
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line.find_first_not_of(" \t\r") == std::string::npos) {
                continue;
            }
            std::string reply;
            bool ok = emulator_command(line, &reply);
            std::printf("%s%s\n", ok ? "" : "error: ", reply.c_str());
            std::fflush(stdout);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse_options(argc, argv, &options)) {
        usage(stderr);
        return 2;
    }
    clock_use_real();
    std::string error;
    if (!emulator_load_file(options.scenario, &error)) {
        std::fprintf(stderr, "plcemu: %s\n", error.c_str());
        return 1;
    }
    std::vector<std::string> interfaces;
    std::vector<size_t> adapters;
    if (!map_interfaces(options.interfaces, &interfaces, &adapters)) {
        return 1;
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    int signal_fd = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    bool stop = false;
    clock_watch_fd(signal_fd, [&] { stop = true; });

    std::vector<RawInterface*> opened;
    for (size_t i = 0; i < interfaces.size(); ++i) {
        RawInterface* raw = raw_interface_open(interfaces[i], &error);
        if (raw == nullptr) {
            std::fprintf(stderr, "plcemu: %s\n", error.c_str());
            return 1;
        }
        opened.push_back(raw);
        size_t adapter = adapters[i];
        emulator_attach(adapter, [raw](const uint8_t* frame, size_t length) {
            raw_interface_send(raw, frame, length);
        });
        clock_watch_fd(raw_interface_fd(raw), [raw, adapter] {
            raw_interface_receive(raw, [adapter](const uint8_t* frame, size_t length) {
                emulator_from_adapter(adapter, frame, length);
            });
        });
        std::fprintf(stderr, "plcemu: %s is adapter %s\n", interfaces[i].c_str(),
                     emulator_adapter_name(adapter).c_str());
    }

    if (options.log) {
        emulator_set_logger([](const std::string& line) {
            uint64_t ms = clock_now();
            std::fprintf(stderr, "plcemu: %6llu.%03llu %s\n",
                         static_cast<unsigned long long>(ms / 1000),
                         static_cast<unsigned long long>(ms % 1000), line.c_str());
        });
    }
    Console console;
    console.watch = clock_watch_fd(STDIN_FILENO, [&console] { console.readable(); });
    std::fprintf(stderr, "plcemu: running %s; Ctrl-C ends\n", options.scenario.c_str());

    clock_wait_until(UINT64_MAX, [&] { return stop; });

    for (size_t i = 0; i < opened.size(); ++i) {
        emulator_detach(adapters[i]);
        raw_interface_close(opened[i]);
    }
    emulator_unload();
    close(signal_fd);
    std::fprintf(stderr, "plcemu: stopped\n");
    return 0;
}
