#include "cli/stdout_spool.h"

#include <cstdio>
#include <filesystem>
#include <random>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/file_meta.h"
#include "platform/platform.h"

namespace vellum {
namespace cli {

namespace fs = std::filesystem;

StdoutSpool::~StdoutSpool() {
    if (folder_.empty()) return;
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

bool StdoutSpool::open() {
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    if (error) return false;
    std::random_device seed;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path candidate = base / ("vellum-stdout-" + std::to_string(seed()));
        if (fs::create_directory(candidate, error) && !error) {
            folder_ = candidate.string();
#ifdef _WIN32
            if (mode_ == SpoolMode::to_stdout) _setmode(_fileno(stdout), _O_BINARY);
#endif
            return true;
        }
    }
    return false;
}

void StdoutSpool::progress(const ProgressEvent& event) {
    inner_.progress(event);
    if (event.kind != ProgressKind::entry_extracted || !event.written) return;
    if (mode_ == SpoolMode::watch) {
        written_[event.name] = 0;
        return;
    }
    Checksum sum;
    FILE* file = platform::open_file(event.name.c_str(), "rb");
    if (file) {
        char buffer[1 << 16];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            sum.update(buffer, got);
            if (mode_ == SpoolMode::to_stdout && std::fwrite(buffer, 1, got, stdout) != got) failed_ = true;
        }
        std::fclose(file);
    }
    written_[event.name] = sum.digest();
    platform::remove_file(event.name.c_str());
    if (mode_ == SpoolMode::to_stdout && std::fflush(stdout) != 0) failed_ = true;
}

}  // namespace cli
}  // namespace vellum
