#include "cli/file_meta.h"

#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#include <sys/utime.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "platform/platform.h"

namespace vellum {
namespace cli {

#ifdef _WIN32

PathStat stat_path(const std::string& path) {
    PathStat s;
    struct _stat64 st;
    if (_stat64(path.c_str(), &st) != 0) return s;
    s.kind = (st.st_mode & _S_IFDIR) ? PathKind::folder
             : (st.st_mode & _S_IFREG) ? PathKind::file : PathKind::other;
    s.mode = st.st_mode & 0777;
    s.seconds = st.st_mtime;
    return s;
}

bool read_link(const std::string&, std::string*) { return false; }
bool make_link(const std::string&, const std::string&) { return false; }

bool set_mode(const std::string& path, uint32_t mode) {
    return _chmod(path.c_str(), (mode & 0200) ? (_S_IREAD | _S_IWRITE) : _S_IREAD) == 0;
}

bool set_time(const std::string& path, int64_t seconds, uint32_t, bool link) {
    if (link) return false;
    struct __utimbuf64 times;
    times.actime = times.modtime = seconds;
    return _utime64(path.c_str(), &times) == 0;
}

#else

PathStat stat_path(const std::string& path) {
    PathStat s;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return s;
    s.kind = S_ISLNK(st.st_mode) ? PathKind::link
             : S_ISDIR(st.st_mode) ? PathKind::folder
             : S_ISREG(st.st_mode) ? PathKind::file : PathKind::other;
    s.mode = st.st_mode & 07777;
    s.seconds = st.st_mtim.tv_sec;
    s.nanoseconds = static_cast<uint32_t>(st.st_mtim.tv_nsec);
    return s;
}

bool read_link(const std::string& path, std::string* target) {
    std::string buffer(4096, '\0');
    const ssize_t length = readlink(path.c_str(), &buffer[0], buffer.size());
    if (length < 0 || static_cast<size_t>(length) >= buffer.size()) return false;
    target->assign(buffer.data(), static_cast<size_t>(length));
    return true;
}

bool make_link(const std::string& target, const std::string& path) {
    return symlink(target.c_str(), path.c_str()) == 0;
}

bool set_mode(const std::string& path, uint32_t mode) { return chmod(path.c_str(), mode & 07777) == 0; }

bool set_time(const std::string& path, int64_t seconds, uint32_t nanoseconds, bool link) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = times[1].tv_nsec = nanoseconds;
    return utimensat(AT_FDCWD, path.c_str(), times, link ? AT_SYMLINK_NOFOLLOW : 0) == 0;
}

#endif

bool checksum_file(const std::string& path, uint64_t* checksum) {
    FILE* file = platform::open_file(path.c_str(), "rb");
    if (!file) return false;
    Checksum sum;
    char buffer[1 << 16];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) sum.update(buffer, got);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    *checksum = sum.digest();
    return ok;
}

}  // namespace cli
}  // namespace vellum
