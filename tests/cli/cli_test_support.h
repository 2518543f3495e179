// Running the built vellum program in a scratch folder, and the files and trees
// the black-box tests feed it.
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
using Bytes = std::string;  // file contents, byte for byte

struct Result {
    int status = -1;        // exit status; 128 + signal when the program was killed
    std::string out;        // stdout
    std::string err;        // stderr
    long max_rss_kib = 0;   // peak resident size of the run
};

// Runs vellum with `args` in the folder `cwd`, stdin empty, stdout and stderr
// captured (neither is a terminal).
Result run_vellum(const std::vector<std::string>& args, const fs::path& cwd);

// The same on a pseudo-terminal: everything it printed, stdout and stderr mixed.
Result run_vellum_on_terminal(const std::vector<std::string>& args, const fs::path& cwd);

void write_file(const fs::path& path, const Bytes& data);
Bytes read_file(const fs::path& path);

// Every regular file below `root`, by its path relative to root, with its bytes.
std::map<std::string, Bytes> file_tree(const fs::path& root);

// Generated contents, deterministic for a seed.
Bytes text_data(size_t size, uint32_t seed);
Bytes random_data(size_t size, uint32_t seed);
Bytes x86_program(size_t size, uint32_t seed);     // MZ header, E8/E9 calls
Bytes wave_16bit(size_t samples, unsigned channels);  // RIFF header and a tone
Bytes zip_like(size_t size, uint32_t seed);         // PK header, stored unchanged

// A tree with nested and empty folders, an empty file, a name with two dots,
// stored, x86 and wave files.
void make_mixed_tree(const fs::path& root);

// One archive record as the bytes of the file hold it.
struct Record {
    uint64_t offset = 0;
    uint64_t length = 0;
    uint64_t original_size = 0;
    std::string folder_path;
    std::string file_name;
    uint16_t file_class = 0;
};

// Walks the records of an archive file's bytes by their lengths.
std::vector<Record> records_of(const Bytes& archive);

// A scratch folder per test, removed afterwards.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Result vellum(const std::vector<std::string>& args) { return run_vellum(args, dir_); }
    fs::path path(const std::string& relative) const { return dir_ / relative; }

    fs::path dir_;
};

}  // namespace clitest
}  // namespace vellum
