// Running the built vellum program in a scratch folder, and the files it is fed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vellum {
namespace clitest {

namespace fs = std::filesystem;
using Bytes = std::string;
using Tree = std::map<std::string, Bytes>;  // regular files by relative path

struct Result {
    int status = -1;  // 128 + signal when the program was killed
    std::string out, err;
    long max_rss_kib = 0;
};

// The program the tests run: the one built beside them, or the one named by the
// environment variable VELLUM_TEST_BINARY (to see a test fail on an older build).
std::string vellum_binary();

// Runs vellum in `cwd` with stdin empty; on a terminal, `out` holds all it printed.
// With timeout_seconds the program is killed by SIGALRM (status 128 + 14) when it
// runs longer: for commands that must not block.
Result run_vellum(const std::vector<std::string>& args, const fs::path& cwd, bool terminal = false,
                  unsigned timeout_seconds = 0);

// Runs a bash script in `cwd` (pipes, redirections) with $VELLUM naming the
// program and `set -o pipefail`, stdin empty: the status is the pipeline's.
Result run_script(const std::string& script, const fs::path& cwd, unsigned timeout_seconds = 120);

bool has(const std::string& text, const std::string& part);
Bytes le(uint64_t value, int bytes);
void write_file(const fs::path& path, const Bytes& data);
Bytes read_file(const fs::path& path);
Tree file_tree(const fs::path& root);
Tree files_of(const fs::path& root, const std::vector<std::string>& names);

// Deterministic contents for a seed.
Bytes text_data(size_t size, uint32_t seed);
Bytes random_data(size_t size, uint32_t seed);
Bytes x86_program(size_t size, uint32_t seed);  // MZ header, E8/E9 calls

// Nested and empty folders, empty files, a name with two dots, stored, x86 and
// 16-bit wave files.
void make_mixed_tree(const fs::path& root);

struct Record {
    uint64_t offset = 0, length = 0, original_size = 0;
    std::string folder_path, file_name;
};
std::vector<Record> records_of(const Bytes& archive);  // walked by record lengths

// A 1 MiB tmpfs mounted at a folder for the test's life, to fill a disk on
// purpose. mounted() is false (and why() says why) where mounting is refused.
class SmallDisk {
public:
    explicit SmallDisk(const fs::path& at);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }

private:
    std::string at_;
    bool mounted_ = false;
    std::string why_;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { std::error_code ignored; fs::remove_all(dir_, ignored); }
    Result vellum(const std::vector<std::string>& args) { return run_vellum(args, dir_); }
    Result script(const std::string& text) { return run_script(text, dir_); }
    fs::path path(const std::string& relative) const { return dir_ / relative; }

    fs::path dir_;  // the test's own scratch folder
};

}  // namespace clitest
}  // namespace vellum
