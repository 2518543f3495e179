#include "cli_test_support.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

namespace vellum {
namespace clitest {
namespace {

Bytes take_output(FILE* file) {
    const Bytes text = read_file("/proc/self/fd/" + std::to_string(fileno(file)));
    std::fclose(file);
    return text;
}

uint64_t le_value(const Bytes& b, uint64_t at, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b.at(at + i));
    return v;
}

Bytes wave_16bit(size_t samples, unsigned channels) {
    const size_t data = samples * channels * 2;
    Bytes d = "RIFF" + le(36 + data, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(channels, 2) + le(44100, 4) +
              le(44100 * channels * 2, 4) + le(channels * 2, 2) + le(16, 2) + "data" + le(data, 4);
    for (size_t s = 0; s < samples; ++s)
        for (unsigned c = 0; c < channels; ++c)
            d += le(static_cast<uint16_t>(static_cast<int16_t>(9000 * std::sin(0.031 * s * (c + 1)))), 2);
    return d;
}

}  // namespace

std::string vellum_binary() {
    const char* other = std::getenv("VELLUM_TEST_BINARY");
    return other && *other ? other : VELLUM_BINARY;
}

Result run_vellum(const std::vector<std::string>& args, const fs::path& cwd, bool terminal,
                  unsigned timeout_seconds) {
    // Everything is made before fork: the child only makes system calls.
    std::vector<std::string> all{vellum_binary()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string folder = cwd.string();
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    int master = -1;
    const pid_t pid = terminal ? forkpty(&master, nullptr, nullptr, nullptr) : fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        if (!terminal) {
            dup2(open("/dev/null", O_RDONLY), 0);
            dup2(fileno(out), 1);
            dup2(fileno(err), 2);
        }
        if (timeout_seconds > 0) alarm(timeout_seconds);  // kept across exec
        execv(argv[0], argv.data());
        _exit(127);
    }
    Result run;
    char buffer[4096];
    for (ssize_t got; master >= 0;) {
        if ((got = read(master, buffer, sizeof buffer)) > 0) run.out.append(buffer, static_cast<size_t>(got));
        else if (got == 0 || errno != EINTR) break;  // EIO once the program has closed the terminal
    }
    if (master >= 0) close(master);
    int status = 0;
    struct rusage usage {};
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.max_rss_kib = usage.ru_maxrss;
    }
    run.out += take_output(out);
    run.err = take_output(err);
    // A sanitizer's report may come with a status the test expects for other reasons.
    EXPECT_FALSE(has(run.out + run.err, "Sanitizer") || has(run.out + run.err, "runtime error:"))
        << run.out << run.err;
    return run;
}

Result run_script(const std::string& script, const fs::path& cwd, unsigned timeout_seconds) {
    const std::string program = vellum_binary();
    const std::string text = "VELLUM='" + program + "'\nset -o pipefail\n" + script;
    std::vector<std::string> all{"/bin/bash", "-c", text};
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string folder = cwd.string();
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(fileno(out), 1);
        dup2(fileno(err), 2);
        alarm(timeout_seconds);  // a pipe that never ends must not hang the suite
        execv(argv[0], argv.data());
        _exit(127);
    }
    Result run;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid)
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = take_output(out);
    run.err = take_output(err);
    EXPECT_FALSE(has(run.out + run.err, "Sanitizer") || has(run.out + run.err, "runtime error:"))
        << run.out << run.err;
    return run;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

Bytes le(uint64_t value, int bytes) {
    Bytes b;
    for (int i = 0; i < bytes; ++i) b += static_cast<char>((value >> (8 * i)) & 0xFF);
    return b;
}

void write_file(const fs::path& path, const Bytes& data) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

Bytes read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Tree file_tree(const fs::path& root) {
    Tree files;
    if (fs::is_directory(root))
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
            if (entry.is_regular_file()) files[fs::relative(entry.path(), root).generic_string()] = read_file(entry);
    return files;
}

Tree files_of(const fs::path& root, const std::vector<std::string>& names) {
    Tree files;
    for (const std::string& name : names) files[name] = read_file(root / name);
    return files;
}

Bytes text_data(size_t size, uint32_t seed) {
    static const char* const words[] = {"archive ", "block ", "entry ", "the ", "of ", "and ", "\n", "2024 "};
    std::mt19937 rng(seed);
    Bytes d;
    while (d.size() < size) d += words[rng() % 8];
    return d.substr(0, size);
}

Bytes random_data(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes d(size, '\0');
    for (char& c : d) c = static_cast<char>(rng() & 0xFF);
    return d;
}

Bytes x86_program(size_t size, uint32_t seed) {
    Bytes d("MZ\x90\x00\x03\x00\x00\x00", 8);
    std::mt19937 rng(seed);
    while (d.size() < size) {
        for (int i = rng() % 6; i > 0; --i) d += static_cast<char>(0x50 + rng() % 8);
        d += (rng() % 3 == 0) ? '\xE9' : '\xE8';  // to one of a few routines
        d += le(0x1000 + (rng() % 16) * 0x40 - static_cast<uint32_t>(d.size()), 4);
    }
    return d.substr(0, size);
}

void make_mixed_tree(const fs::path& root) {
    write_file(root / "readme.txt", text_data(20000, 1));
    write_file(root / "empty.txt", "");
    write_file(root / "archive.tar.gz", random_data(5000, 2));
    write_file(root / "bundle.zip", "PK\x03\x04" + random_data(30000, 3));
    write_file(root / "bin/tool.exe", x86_program(200000, 4));
    write_file(root / "sound/mono.wav", wave_16bit(30000, 1));
    write_file(root / "sound/stereo.wav", wave_16bit(20000, 2));
    write_file(root / "nested/deeper/deepest/leaf.txt", text_data(3000, 5));
    write_file(root / "nested/zero.bin", "");
    fs::create_directories(root / "nested/empty_folder/sub");
    write_file(root / "spaces in name.txt", text_data(500, 9));
}

std::vector<Record> records_of(const Bytes& archive) {
    std::vector<Record> records;
    for (uint64_t at = 12; at + 24 <= archive.size();) {
        Record r{at, le_value(archive, at, 8), le_value(archive, at + 8, 8), "", ""};
        const size_t folder = le_value(archive, at + 18, 2);
        r.folder_path = archive.substr(at + 20, folder);
        r.file_name = archive.substr(at + 22 + folder, le_value(archive, at + 20 + folder, 2));
        if (r.length == 0 || r.length > archive.size() - at) break;
        records.push_back(r);
        at += r.length;
    }
    return records;
}

void CliTest::SetUp() {
    std::string pattern = (fs::temp_directory_path() / "vellum_cli_XXXXXX").string();
    ASSERT_NE(nullptr, mkdtemp(pattern.data()));
    dir_ = pattern;
}

SmallDisk::SmallDisk(const fs::path& at) : at_(at.string()) {
    fs::create_directories(at);
    mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", 0, "size=1m") == 0;
    if (!mounted_) why_ = std::string("cannot mount a small tmpfs here: ") + std::strerror(errno);
}

SmallDisk::~SmallDisk() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
}

}  // namespace clitest
}  // namespace vellum
