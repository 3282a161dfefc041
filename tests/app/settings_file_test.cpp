// "wizard.data": defaults, the line-end translation both ways, partial and odd files, and a
// save that never destroys what was there.
#include "app/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/state.h"

namespace {

namespace fs = std::filesystem;

uint8_t* image() {
    return reinterpret_cast<uint8_t*>(AdapterSettings);
}

std::vector<uint8_t> read_file(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void write_file(const char* name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Each test runs in a fresh directory with a zeroed image.
class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        old_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("lw-settings-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        fs::current_path(dir_);
        std::memset(AdapterSettings, 0, sizeof AdapterSettings);
    }
    void TearDown() override {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    fs::path old_;
    fs::path dir_;
};

TEST_F(SettingsFile, FirstStartFillsDefaultsAndCreatesNoFile) {
    std::memset(AdapterSettings, 0x5A, sizeof AdapterSettings);
    EXPECT_EQ(read_settings_file(), 0);
    for (const AdapterSettingsBlock& block : AdapterSettings) {
        EXPECT_STREQ(block.network_password, "WindLark");
        EXPECT_EQ(block.reserved_head, 0);
        for (const DevicePasswordEntry& entry : block.device_passwords) {
            EXPECT_EQ(entry.password[0], 0);
            EXPECT_EQ(entry.set_ok, 0);
        }
        // Everything else keeps what it held.
        EXPECT_EQ(block.bridge_recorded, 0x5A5A5A5A);
        EXPECT_EQ(block.network_password[9], 0x5A);
    }
    EXPECT_FALSE(fs::exists(SETTINGS_FILE_NAME));
}

TEST_F(SettingsFile, LineEndTranslationRoundTrips) {
    // Place the interesting bytes at known spots of block 3.
    AdapterSettingsBlock& block = AdapterSettings[3];
    const uint8_t address[6] = {0x0A, 0x0D, 0x0A, 0x1A, 0x0D, 0x0D};
    std::memcpy(block.adapter_address, address, 6);
    double rate = 0;
    std::memcpy(&rate, "\x0a\x0a\x00\x00\x00\x00\xf0\x3f", 8);
    block.stations[7].rate_mbps = rate;
    save_settings();

    std::vector<uint8_t> file = read_file(SETTINGS_FILE_NAME);
    ASSERT_EQ(file.size(), SETTINGS_IMAGE_SIZE + 4);  // four image bytes 0x0A
    size_t at = 3 * sizeof(AdapterSettingsBlock) + offsetof(AdapterSettingsBlock, adapter_address);
    const std::vector<uint8_t> stored = {0x0D, 0x0A, 0x0D, 0x0D, 0x0A, 0x1A, 0x0D, 0x0D};
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + at, file.begin() + at + 8), stored);

    std::vector<uint8_t> saved(image(), image() + SETTINGS_IMAGE_SIZE);
    std::memset(AdapterSettings, 0, sizeof AdapterSettings);
    EXPECT_EQ(read_settings_file(), 1);
    EXPECT_EQ(std::vector<uint8_t>(image(), image() + SETTINGS_IMAGE_SIZE), saved);
}

TEST_F(SettingsFile, ShortFileReplacesOnlyTheFrontOfTheImage) {
    std::memset(AdapterSettings, 0x77, sizeof AdapterSettings);
    write_file(SETTINGS_FILE_NAME, std::vector<uint8_t>(7000, 0x11));
    EXPECT_EQ(read_settings_file(), 1);
    EXPECT_EQ(image()[0], 0x11);
    EXPECT_EQ(image()[6999], 0x11);  // block 0 and 168 bytes of block 1
    EXPECT_EQ(image()[7000], 0x77);
    EXPECT_EQ(image()[SETTINGS_IMAGE_SIZE - 1], 0x77);
}

TEST_F(SettingsFile, OddFilesAreReadSafely) {
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        uint8_t first;  // image byte 0 afterwards
        uint8_t last;   // last image byte afterwards
    } cases[] = {
        {"empty file keeps the image", {}, 0x33, 0x33},
        {"oversized file fills the image and stops",
         std::vector<uint8_t>(SETTINGS_IMAGE_SIZE + 5000, 0x44), 0x44, 0x44},
        {"a CR at the very end is an ordinary byte", {0x0D}, 0x0D, 0x33},
        {"a lone LF is an image LF", {0x0A, 0x0D}, 0x0A, 0x33},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(AdapterSettings, 0x33, sizeof AdapterSettings);
        write_file(SETTINGS_FILE_NAME, c.file);
        EXPECT_EQ(read_settings_file(), 1);
        EXPECT_EQ(image()[0], c.first);
        EXPECT_EQ(image()[SETTINGS_IMAGE_SIZE - 1], c.last);
    }
}

TEST_F(SettingsFile, DirectoryNamedLikeTheFileCountsAsNoFile) {
    fs::create_directory(SETTINGS_FILE_NAME);
    EXPECT_EQ(read_settings_file(), 0);
    EXPECT_STREQ(AdapterSettings[15].network_password, "WindLark");
    save_settings();  // cannot replace a directory: nothing changes, nothing is left behind
    EXPECT_TRUE(fs::is_directory(SETTINGS_FILE_NAME));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 1);
}

TEST_F(SettingsFile, SaveReplacesTheFileWholeAndPrivately) {
    write_file(SETTINGS_FILE_NAME, {1, 2, 3});
    chmod(SETTINGS_FILE_NAME, 0644);
    AdapterCount = 1;
    std::strcpy(AdapterSettings[15].network_password, "LastBlock");
    save_settings();
    std::vector<uint8_t> file = read_file(SETTINGS_FILE_NAME);
    EXPECT_EQ(file.size(), SETTINGS_IMAGE_SIZE);  // all 16 blocks, whatever AdapterCount says
    EXPECT_EQ(std::memcmp(file.data() + 15 * sizeof(AdapterSettingsBlock) + 10, "LastBlock", 9), 0);
    struct stat info {};
    ASSERT_EQ(stat(SETTINGS_FILE_NAME, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 1);
}

}  // namespace
