// Codec benchmark: codes every file of a folder through the codec's entry loop
// as the compress driver does for one file in normal mode (class from name and
// first bytes, pre-filter and position loop per block), decodes it back, checks the bytes,
// and prints ratio and speed beside bzip2 -9 and xz -9 on the same files.
//
//   codec_bench [--runs N] [--block MIB] [--no-tools] [FOLDER]
//
// Times are the best of N runs. MB means 10^6 bytes.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/file_class.h"
#include "archive/format.h"
#include "codec/byte_io.h"
#include "codec/codec_state.h"
#include "codec/entry_coder.h"

#ifndef VELLUM_CORPUS_DIR
#define VELLUM_CORPUS_DIR "../shared/corpus"
#endif

namespace {

using namespace vellum;
using Bytes = std::vector<uint8_t>;

struct Options {
    std::string folder = VELLUM_CORPUS_DIR;
    int runs = 3;
    size_t block_size = static_cast<size_t>(block_size_for_setting(kDefaultBufferSetting));
    bool tools = true;
};

// Outcome of one coder on one file: sizes, best times, whether it round-tripped.
struct Measure {
    bool ran = false;
    uint64_t coded = 0;
    double encode_s = 0;
    double decode_s = 0;
};

struct FileResult {
    std::string name;
    uint64_t size = 0;
    uint16_t file_class = 0;
    bool stored = false;
    Measure codec;
    Measure bzip2;
    Measure xz;
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "codec_bench: %s\n", what.c_str());
    std::exit(1);
}

double now_s() {
    using clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(clock::now().time_since_epoch()).count();
}

void usage() {
    std::fprintf(stderr, "usage: codec_bench [--runs N] [--block MIB] [--no-tools] [FOLDER]\n");
    std::exit(2);
}

Options parse_options(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            o.runs = std::atoi(argv[++i]);
            if (o.runs < 1) usage();
        } else if (a == "--block" && i + 1 < argc) {
            const long mib = std::atol(argv[++i]);
            if (mib < 1) usage();
            o.block_size = static_cast<size_t>(mib) << 20;
        } else if (a == "--no-tools") {
            o.tools = false;
        } else if (!a.empty() && a[0] == '-') {
            usage();
        } else {
            o.folder = a;
        }
    }
    return o;
}

// Regular files below `folder`, in name order so reports line up run to run.
std::vector<std::filesystem::path> list_files(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file()) files.push_back(it->path());
    }
    if (ec) fail("cannot read folder " + folder + ": " + ec.message());
    std::sort(files.begin(), files.end());
    return files;
}

Bytes read_file(const std::filesystem::path& path) {
    Bytes data;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) fail("cannot open " + path.string());
    uint8_t chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
    std::fclose(f);
    return data;
}

// --- the codec, through the entry loop the drivers use ---------------------------

// One entry: every block is read into the run's block buffer, filtered in place
// and coded; the coder is flushed after the last one.
Bytes encode_file(CodecState& state, EntryRun& run, const CodecParams& params, const Bytes& data) {
    VectorSink sink;
    ByteWriter writer(sink);
    MemorySource source(data.data(), data.size());
    CodecParams chosen = params;
    const EntryOutcome outcome = encode_entry(state, run, chosen, source, data.size(), writer, EntryHooks{});
    if (outcome.end != EntryEnd::complete || !writer.flush()) fail("coded bytes could not be kept");
    return std::move(sink.bytes);
}

// Decodes one entry block by block and keeps what the decoder hands out. False
// when the decoder reports damage or does not use exactly the coded bytes.
bool decode_file(CodecState& state, EntryRun& run, const CodecParams& params, const Bytes& coded,
                 uint64_t size, Bytes& out) {
    VectorSink sink;
    sink.bytes.swap(out);
    sink.bytes.clear();
    MemorySource source(coded.data(), coded.size());
    const EntryOutcome outcome =
        decode_entry(state, run, params, source, coded.size(), size, &sink, EntryHooks{});
    out.swap(sink.bytes);
    return outcome.end == EntryEnd::complete;
}

// Best-of-N encode and decode of one file; the coded bytes must be the same in
// every run and decode to the original.
Measure measure_codec(CodecState& state, EntryRun& run, const CodecParams& params, const Bytes& data,
                      const Options& o, const std::string& name) {
    Measure m;
    m.ran = true;
    Bytes first;
    Bytes decoded;
    m.encode_s = m.decode_s = 1e30;
    for (int r = 0; r < o.runs; ++r) {
        double t0 = now_s();
        Bytes coded = encode_file(state, run, params, data);
        m.encode_s = std::min(m.encode_s, now_s() - t0);
        if (r == 0) first = std::move(coded);
        else if (coded != first) fail(name + ": coded bytes differ between runs");

        t0 = now_s();
        const bool ok = decode_file(state, run, params, first, data.size(), decoded);
        m.decode_s = std::min(m.decode_s, now_s() - t0);
        if (!ok) fail(name + ": decoder reported damage on its own output");
        if (decoded != data) fail(name + ": decoded bytes differ from the original");
    }
    m.coded = first.size();
    return m;
}

// --- general-purpose compressors through the shell -------------------------------------

std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool tool_available(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs `command` and collects its standard output. False when it fails.
bool run_capture(const std::string& command, Bytes& out) {
    out.clear();
    FILE* p = popen(command.c_str(), "r");
    if (!p) return false;
    uint8_t chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, p)) > 0) out.insert(out.end(), chunk, chunk + n);
    const int status = pclose(p);
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// `tool -9 -c FILE` to compress, `tool -dc` on a scratch copy to decompress;
// both timed as whole processes, best of N, and checked to round-trip.
Measure measure_tool(const std::string& tool, const std::filesystem::path& path,
                     const Bytes& data, const Options& o) {
    Measure m;
    m.encode_s = m.decode_s = 1e30;
    Bytes packed;
    Bytes unpacked;
    std::string scratch_name =
        (std::filesystem::temp_directory_path() / "codec_bench_XXXXXX").string();
    char* scratch = scratch_name.data();
    const int fd = mkstemp(scratch);
    if (fd < 0) fail("cannot make a scratch file");
    close(fd);
    for (int run = 0; run < o.runs; ++run) {
        double t0 = now_s();
        if (!run_capture(tool + " -9 -c " + shell_quote(path.string()), packed))
            fail(tool + " failed on " + path.string());
        m.encode_s = std::min(m.encode_s, now_s() - t0);
        FILE* f = std::fopen(scratch, "wb");
        if (!f || std::fwrite(packed.data(), 1, packed.size(), f) != packed.size() ||
            std::fclose(f) != 0)
            fail("cannot write the scratch file");
        t0 = now_s();
        if (!run_capture(tool + " -dc " + shell_quote(scratch), unpacked))
            fail(tool + " -dc failed on " + path.string());
        m.decode_s = std::min(m.decode_s, now_s() - t0);
        if (unpacked != data) fail(tool + " did not round-trip " + path.string());
    }
    std::remove(scratch);
    m.ran = true;
    m.coded = packed.size();
    return m;
}

// --- the report -------------------------------------------------------------------------

double bits_per_byte(uint64_t coded, uint64_t size) {
    return size ? 8.0 * static_cast<double>(coded) / static_cast<double>(size) : 0.0;
}

std::string mb_per_s(uint64_t size, double seconds) {
    if (seconds <= 0) return "—";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(size) / 1e6 / seconds);
    return text;
}

void print_file_table(const std::vector<FileResult>& results) {
    std::printf("| file | size | class | coded size | bits/byte | encode MB/s | decode MB/s |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    for (const FileResult& r : results) {
        const std::string cls = std::to_string(r.file_class) + (r.stored ? " (stored)" : "");
        const std::string enc = r.stored ? "—" : mb_per_s(r.size, r.codec.encode_s);
        const std::string dec = r.stored ? "—" : mb_per_s(r.size, r.codec.decode_s);
        std::printf("| %s | %llu | %s | %llu | %.3f | %s | %s |\n", r.name.c_str(),
                    static_cast<unsigned long long>(r.size), cls.c_str(),
                    static_cast<unsigned long long>(r.codec.coded),
                    bits_per_byte(r.codec.coded, r.size), enc.c_str(), dec.c_str());
    }
}

// Whole-corpus sums of one coder; stored files count at their raw size and,
// like the coded ones, with the time they took (none for the codec).
struct Total {
    uint64_t size = 0;
    uint64_t coded = 0;
    double encode_s = 0;
    double decode_s = 0;
};

template <class Pick>
Total sum(const std::vector<FileResult>& results, Pick pick) {
    Total t;
    for (const FileResult& r : results) {
        const Measure& m = pick(r);
        t.size += r.size;
        t.coded += m.coded;
        t.encode_s += m.encode_s;
        t.decode_s += m.decode_s;
    }
    return t;
}

void print_total_row(const char* coder, const Total& t) {
    std::printf("| %s | %llu | %.3f | %.3f | %s | %.3f | %s |\n", coder,
                static_cast<unsigned long long>(t.coded), bits_per_byte(t.coded, t.size),
                t.encode_s, mb_per_s(t.size, t.encode_s).c_str(), t.decode_s,
                mb_per_s(t.size, t.decode_s).c_str());
}

void print_totals(const std::vector<FileResult>& results, const Options& o,
                  bool have_bzip2, bool have_xz) {
    const Total codec = sum(results, [](const FileResult& r) -> const Measure& { return r.codec; });
    std::printf("\nWhole corpus: %zu files, %llu bytes; sums of the per-file best times.\n\n",
                results.size(), static_cast<unsigned long long>(codec.size));
    std::printf("| coder | total coded | bits/byte | encode s | encode MB/s | decode s | decode MB/s |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    print_total_row("vellum codec", codec);
    if (have_bzip2)
        print_total_row("bzip2 -9 -c", sum(results, [](const FileResult& r) -> const Measure& { return r.bzip2; }));
    if (have_xz)
        print_total_row("xz -9 -c", sum(results, [](const FileResult& r) -> const Measure& { return r.xz; }));
    std::printf("\n");
    if (!o.tools) std::printf("Comparison tools not run (--no-tools).\n");
    else if (!have_bzip2) std::printf("bzip2 is not installed: no bzip2 figures.\n");
    if (o.tools && !have_xz) std::printf("xz is not installed: no xz figures.\n");
    std::printf("Codec times cover filter, coding and flush in memory, tables warm; bzip2 and xz "
                "times are whole processes (start-up and pipe included), file in the page cache.\n");
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse_options(argc, argv);
    const auto files = list_files(o.folder);
    if (files.empty()) fail("no files in " + o.folder);
    const bool have_bzip2 = o.tools && tool_available("bzip2");
    const bool have_xz = o.tools && tool_available("xz");

    CodecState state;
    EntryRun run;
    if (!state.begin_operation() || !start_run(run, RunMode::normal, o.block_size))
        fail("no memory for the codec tables and a block buffer");
    std::vector<FileResult> results;
    for (const auto& path : files) {
        FileResult r;
        r.name = path.lexically_relative(o.folder).string();
        const Bytes data = read_file(path);
        r.size = data.size();
        const size_t first = static_cast<size_t>(std::min<uint64_t>(o.block_size, data.size()));
        r.file_class = choose_file_class(file_extension(path.filename().string()), data.data(), first);
        CodecParams params;
        if (!codec_params_for_class(r.file_class, false, &params))
            fail(r.name + ": no parameters for class " + std::to_string(r.file_class));
        r.stored = params.store_raw != 0;
        if (r.stored) {
            r.codec.ran = true;
            r.codec.coded = r.size;
        } else {
            r.codec = measure_codec(state, run, params, data, o, r.name);
        }
        if (have_bzip2) r.bzip2 = measure_tool("bzip2", path, data, o);
        if (have_xz) r.xz = measure_tool("xz", path, data, o);
        std::fprintf(stderr, "%s done\n", r.name.c_str());
        results.push_back(r);
    }
    state.end_operation();

    std::printf("Best of %d runs; block size %zu MiB; coded size is the codec's output with "
                "its 4-byte flush.\n\n", o.runs, o.block_size >> 20);
    print_file_table(results);
    print_totals(results, o, have_bzip2, have_xz);
    return 0;
}
