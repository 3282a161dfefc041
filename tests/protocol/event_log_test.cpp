// The parameter mirror and "plc.log": each test runs in a working directory of its own, with
// the local time fixed, and compares the log byte for byte with golden files.
#include "protocol/event_log.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "on_the_wire.h"

namespace {

namespace fs = std::filesystem;

// Wednesday 2 January 1980, 02:03:55 in the zone of the tests (two hours east of UTC).
constexpr time_t WhenTheEventsHappen = 315619435;
time_t Now;
time_t fixed_time(time_t* t) {
    if (t != nullptr) {
        *t = Now;
    }
    return Now;
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string golden(const char* name) {
    return contents(fs::path(GOLDEN_DIR) / name);
}

void write_file(const char* name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}

int line_count(const std::string& text) {
    int n = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
        ++n;
    }
    return n;
}

// A ParameterBlock answer of `kind` carrying `block`, `length` bytes long (68 when whole).
Bytes block_answer(uint8_t kind, const Bytes& block, size_t length = 68) {
    Bytes f = management_frame(BridgeAddress, 0x19, 68);
    f[FIRST_ENTRY_LENGTH] = PARAMETER_ANSWER_LENGTH;
    f[PARAMETER_BLOCK_KIND] = kind;
    std::copy(block.begin(), block.end(), f.begin() + PARAMETER_BLOCK_DATA);
    f.resize(length);
    return f;
}

Bytes block_of(uint8_t lead, uint8_t first_rest) {
    Bytes b(PARAMETER_BLOCK_SIZE);
    for (int i = 0; i < PARAMETER_BLOCK_SIZE; ++i) {
        b[i] = i < 6 ? lead : static_cast<uint8_t>(first_rest + i - 6);
    }
    return b;
}

Bytes mirror() {
    return Bytes(ParameterMirror, ParameterMirror + PARAMETER_BLOCK_SIZE);
}

class EventLog : public OnTheWire {
  protected:
    void SetUp() override {
        OnTheWire::SetUp();
        home_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "plclog-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        fs::current_path(directory_);
        setenv("TZ", "LWT-2", 1);
        Now = WhenTheEventsHappen;
        std::memset(ParameterMirror, 0, sizeof ParameterMirror);
        EventLogTime = fixed_time;
    }

    void TearDown() override {
        fs::current_path(home_);
        fs::remove_all(directory_);
        OnTheWire::TearDown();
    }

    std::string log() const { return contents(directory_ / "plc.log"); }

    // Nothing but the log in the directory: no temporary file is left behind.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(directory_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    fs::path home_, directory_;
};

TEST_F(EventLog, FirstBlankBlockWithoutALogWritesItsTwoLines) {
    handle_parameter_reply(receive(block_answer(1, block_of(0xFF, 0x06))));
    EXPECT_EQ(log(), golden("first_event.log"));
    EXPECT_EQ(files(), std::vector<std::string>{"plc.log"});
    EXPECT_EQ(mirror(), Bytes(PARAMETER_BLOCK_SIZE, 0)) << "a blank block is never mirrored";
}

TEST_F(EventLog, KeepsTheLastTenEvents) {
    std::string ten;
    for (int i = 0; i < 11; ++i) {
        Bytes frame(68);
        for (int j = 0; j < PARAMETER_BLOCK_SIZE; ++j) {
            frame[PARAMETER_BLOCK_DATA + j] = static_cast<uint8_t>(i * 7 + j);
        }
        Now = WhenTheEventsHappen + i * 3661;
        log_event(i % 3, i % 3, frame.data());
        if (i == 9) {
            ten = log();
        }
    }
    EXPECT_EQ(line_count(ten), 20);
    EXPECT_EQ(ten.substr(0, 24), "Wed Jan 02 02:03:55 1980");
    EXPECT_EQ(log(), golden("eleven_events.log"));
    EXPECT_EQ(line_count(log()), 20);
}

TEST_F(EventLog, ForeignLogIsReadInPiecesOf199AndAtMost48Lines) {
    // Its second line holds 450 characters (three pieces), the third 199 characters and its
    // line end (two pieces), one line ends in a lone LF and one holds a lone CR: the rewritten
    // log keeps pieces 3 to 20, each written back as read, with CR LF line ends.
    write_file("plc.log", golden("foreign_lines.in"));
    handle_parameter_reply(receive(block_answer(2, Bytes(PARAMETER_BLOCK_SIZE, 0))));
    EXPECT_EQ(log(), golden("foreign_lines.log"));
}

TEST_F(EventLog, LastLineWithoutLineEndIsContinuedByTheTimeLine) {
    write_file("plc.log", "first\r\nsecond\r\npartial");
    Bytes frame(68);
    for (int j = 0; j < PARAMETER_BLOCK_SIZE; ++j) {
        frame[PARAMETER_BLOCK_DATA + j] = static_cast<uint8_t>(0xA0 + j);
    }
    log_event(EVENT_KEY_MISMATCH, 1, frame.data());
    EXPECT_EQ(log(), golden("unterminated.log"));
}

TEST_F(EventLog, LogThatCannotBeWrittenLosesTheEventButKeepsTheOldOnes) {
    const std::string old = golden("eleven_events.log");
    write_file("plc.log", old);
    // No file may grow beyond 512 bytes: the rewrite fails part-way, even for root.
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    rlimit small = limit;
    small.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    log_event(EVENT_BLANK_EEPROM, 0, block_answer(1, block_of(0, 0)).data());
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(log(), old);
    EXPECT_EQ(files(), std::vector<std::string>{"plc.log"});
}

TEST_F(EventLog, ParameterAnswersAreLoggedMirroredOrIgnored) {
    const char* none = "";
    const struct {
        const char* what;
        uint8_t kind;
        uint8_t lead;
        int status_answered;
        size_t length;
        const char* logged;  // marker of the event line, or none
        bool mirrored;
    } cases[] = {
        {"blank EEPROM block", 1, 0xFF, 1, 68, "**EEPROM** ff ff", false},
        {"blank RAM block", 2, 0xFF, 1, 68, "** RAM  ** ff ff", false},
        {"blank block of another kind", 3, 0x00, 0, 68, none, false},
        {"EEPROM block once the bridge answered with it", 1, 0x10, 1, 68, none, true},
        {"RAM block once the bridge answered with EEPROM", 2, 0x10, 1, 68, none, false},
        {"EEPROM block before the bridge answered with it", 1, 0x10, 0, 68, none, false},
        {"RAM block before", 2, 0x10, 0, 68, none, true},
        {"block of another kind", 3, 0x10, 0, 68, none, false},
        {"cut-off answer", 2, 0x10, 0, 60, none, false},
        {"cut-off blank answer", 1, 0xFF, 1, 60, none, false},
    };
    for (const auto& c : cases) {
        fs::remove("plc.log");
        std::memset(ParameterMirror, 0, sizeof ParameterMirror);
        Bytes block = block_of(c.lead, 0x20);
        block[5] = c.lead == 0x10 ? 0x11 : c.lead;  // ordinary leading bytes differ
        const uint8_t* frame = receive(block_answer(c.kind, block, c.length));
        AdapterRecord[0].status_answered = c.status_answered;
        handle_parameter_reply(frame);
        std::string written = fs::exists("plc.log") ? log() : "";
        if (*c.logged != '\0') {
            EXPECT_EQ(written.substr(26, 16), c.logged) << c.what;
        } else {
            EXPECT_EQ(written, "") << c.what;
        }
        EXPECT_EQ(mirror(), c.mirrored ? block : Bytes(PARAMETER_BLOCK_SIZE, 0)) << c.what;
    }
}

TEST_F(EventLog, BlockMatchesTheMirrorOnlyWhenAllFiftyBytesAreThere) {
    Bytes block = block_of(0x10, 0x30);
    std::copy(block.begin(), block.end(), ParameterMirror);
    EXPECT_EQ(parameter_block_matches(receive(block_answer(1, block))), 1);
    for (int differing : {0, 25, 49}) {
        Bytes other = block;
        other[differing] ^= 0x01;
        EXPECT_EQ(parameter_block_matches(receive(block_answer(1, other))), 0) << differing;
    }
    // A 60-byte answer: the buffer's last eight block bytes are those of the frame before.
    receive(block_answer(1, block));
    EXPECT_EQ(parameter_block_matches(receive(block_answer(1, block, 60))), 0);
}

}  // namespace
