#include "cli_test_support.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>

namespace vellum {
namespace clitest {
namespace {

// argv for execv, built before fork: the child may only make system calls.
std::vector<char*> argv_of(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

int exit_status(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

int capture_file(std::string* path) {
    std::string pattern = (fs::temp_directory_path() / "vellum_cli_out_XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    *path = pattern;
    return fd;
}

Bytes take_capture(int fd, const std::string& path) {
    close(fd);
    Bytes text = read_file(path);
    unlink(path.c_str());
    return text;
}

void put_le16(Bytes& b, size_t at, unsigned v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void put_le32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint64_t le(const Bytes& b, size_t at, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

// A sanitizer that finds a fault ends the program with a status the tests may
// expect for other reasons, so its report is looked for as well.
void expect_no_sanitizer_report(const std::string& output) {
    EXPECT_EQ(std::string::npos, output.find("Sanitizer")) << output;
    EXPECT_EQ(std::string::npos, output.find("runtime error:")) << output;
}

}  // namespace

Result run_vellum(const std::vector<std::string>& args, const fs::path& cwd) {
    std::vector<std::string> all{VELLUM_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv = argv_of(all);
    const std::string folder = cwd.string();
    std::string out_path, err_path;
    const int out_fd = capture_file(&out_path);
    const int err_fd = capture_file(&err_path);
    Result run;
    const pid_t pid = fork();
    if (pid == 0) {
        const int null_fd = open("/dev/null", O_RDONLY);
        if (chdir(folder.c_str()) != 0 || null_fd < 0) _exit(126);
        dup2(null_fd, 0);
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        run.status = exit_status(status);
        run.max_rss_kib = usage.ru_maxrss;
    }
    run.out = take_capture(out_fd, out_path);
    run.err = take_capture(err_fd, err_path);
    expect_no_sanitizer_report(run.err);
    return run;
}

Result run_vellum_on_terminal(const std::vector<std::string>& args, const fs::path& cwd) {
    std::vector<std::string> all{VELLUM_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv = argv_of(all);
    const std::string folder = cwd.string();
    Result run;
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0) return run;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got > 0) {
            run.out.append(buffer, static_cast<size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        break;  // EIO once the program has closed the terminal
    }
    close(master);
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) == pid) {
        run.status = exit_status(status);
        run.max_rss_kib = usage.ru_maxrss;
    }
    expect_no_sanitizer_report(run.out);
    return run;
}

void write_file(const fs::path& path, const Bytes& data) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

Bytes read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::map<std::string, Bytes> file_tree(const fs::path& root) {
    std::map<std::string, Bytes> files;
    if (!fs::is_directory(root)) return files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).generic_string()] = read_file(entry.path());
    return files;
}

Bytes text_data(size_t size, uint32_t seed) {
    static const char* const words[] = {"archive ", "block ", "entry ", "record ", "folder ",
                                        "the ",     "of ",    "and ",   "\n",       "2024 "};
    std::mt19937 rng(seed);
    Bytes d;
    d.reserve(size + 16);
    while (d.size() < size) d += words[rng() % 10];
    d.resize(size);
    return d;
}

Bytes random_data(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes d(size, '\0');
    for (char& c : d) c = static_cast<char>(rng() & 0xFF);
    return d;
}

Bytes x86_program(size_t size, uint32_t seed) {
    Bytes d("\x4D\x5A\x90\x00\x03\x00\x00\x00", 8);
    std::mt19937 rng(seed);
    while (d.size() < size) {
        // A few plain instructions, then a near call or jump to one of a few routines.
        for (int i = rng() % 6; i > 0; --i) d += static_cast<char>(0x50 + rng() % 8);
        d += (rng() % 3 == 0) ? '\xE9' : '\xE8';
        const uint32_t target = 0x1000 + (rng() % 16) * 0x40 - static_cast<uint32_t>(d.size());
        for (int i = 0; i < 4; ++i) d += static_cast<char>((target >> (8 * i)) & 0xFF);
    }
    d.resize(size);
    return d;
}

Bytes wave_16bit(size_t samples, unsigned channels) {
    const size_t data_bytes = samples * channels * 2;
    Bytes d(44 + data_bytes, '\0');
    d.replace(0, 4, "RIFF");
    put_le32(d, 4, static_cast<uint32_t>(36 + data_bytes));
    d.replace(8, 8, "WAVEfmt ");
    put_le32(d, 16, 16);
    put_le16(d, 20, 1);  // PCM
    put_le16(d, 22, channels);
    put_le32(d, 24, 44100);
    put_le32(d, 28, 44100 * channels * 2);
    put_le16(d, 32, channels * 2);
    put_le16(d, 34, 16);
    d.replace(36, 4, "data");
    put_le32(d, 40, static_cast<uint32_t>(data_bytes));
    size_t at = 44;
    for (size_t s = 0; s < samples; ++s)
        for (unsigned c = 0; c < channels; ++c, at += 2)
            put_le16(d, at, static_cast<uint16_t>(static_cast<int16_t>(
                                9000 * std::sin(0.031 * static_cast<double>(s) * (c + 1)))));
    return d;
}

Bytes zip_like(size_t size, uint32_t seed) {
    Bytes d = random_data(size, seed);
    d.replace(0, 4, "PK\x03\x04");
    return d;
}

void make_mixed_tree(const fs::path& root) {
    write_file(root / "readme.txt", text_data(20000, 1));
    write_file(root / "empty.txt", "");
    write_file(root / "archive.tar.gz", random_data(5000, 2));
    write_file(root / "bundle.zip", zip_like(30000, 3));
    write_file(root / "bin" / "tool.exe", x86_program(200000, 4));
    write_file(root / "sound" / "mono.wav", wave_16bit(30000, 1));
    write_file(root / "sound" / "stereo.wav", wave_16bit(20000, 2));
    write_file(root / "nested" / "deeper" / "deepest" / "leaf.txt", text_data(3000, 5));
    write_file(root / "nested" / "deeper" / "notes.md", text_data(7000, 6));
    write_file(root / "nested" / "zero.bin", "");
    fs::create_directories(root / "nested" / "empty_folder");
    fs::create_directories(root / "nested" / "only_empty" / "sub");
    write_file(root / "data" / "random.bin", random_data(40000, 7));
    write_file(root / "data" / ".hidden", text_data(100, 8));
    write_file(root / "spaces in name.txt", text_data(500, 9));
}

std::vector<Record> records_of(const Bytes& archive) {
    std::vector<Record> records;
    uint64_t at = 12;
    while (at + 24 <= archive.size()) {
        Record r;
        r.offset = at;
        r.length = le(archive, at, 8);
        r.original_size = le(archive, at + 8, 8);
        size_t p = at + 18;
        const size_t folder_length = le(archive, p, 2);
        r.folder_path = archive.substr(p + 2, folder_length);
        p += 2 + folder_length;
        if (p + 2 > archive.size()) break;
        const size_t name_length = le(archive, p, 2);
        r.file_name = archive.substr(p + 2, name_length);
        p += 2 + name_length;
        if (p + 2 > archive.size()) break;
        r.file_class = static_cast<uint16_t>(le(archive, p, 2));
        if (r.length == 0 || r.length > archive.size() - at) break;
        records.push_back(r);
        at += r.length;
    }
    return records;
}

void CliTest::SetUp() {
    std::random_device seed;
    dir_ = fs::temp_directory_path() /
           ("vellum_cli_" + std::to_string(seed()) + "_" + std::to_string(seed()));
    fs::create_directories(dir_);
}

void CliTest::TearDown() {
    std::error_code error;
    fs::remove_all(dir_, error);
}

}  // namespace clitest
}  // namespace vellum
