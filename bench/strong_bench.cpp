// Strong codec benchmark: codes every file of a folder (or the files named)
// through the strong codec as the compress driver does in normal mode (class
// from name and first bytes, pre-filter per block, one coded stream per file),
// or, with --solid, as one solid run in name order; decodes it back, checks
// the bytes, and prints sizes and speed per file and in total.
//
//   strong_bench [--runs N] [--solid] [--block MIB] [--quiet] FOLDER|FILE...
//
// Times are the best of N runs. MB means 10^6 bytes.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/file_class.h"
#include "codec/filters.h"
#include "codec/strong/strong_codec.h"

#ifndef VELLUM_CORPUS_DIR
#define VELLUM_CORPUS_DIR "../shared/corpus"
#endif

namespace {

using namespace vellum;
using Bytes = std::vector<uint8_t>;

struct Options {
    std::vector<std::string> paths;
    int runs = 1;
    bool solid = false;
    bool quiet = false;
    size_t block_size = size_t{128} << 20;
};

struct Input {
    std::string name;
    Bytes data;
    uint16_t file_class = 0;
    CodecParams params;
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "strong_bench: %s\n", what.c_str());
    std::exit(1);
}

// Processor time of this process: the benchmark runs on one thread, and the
// machine may be busy with other work.
double now_s() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

Options parse_options(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            o.runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--block" && i + 1 < argc) {
            o.block_size = static_cast<size_t>(std::max(1L, std::atol(argv[++i]))) << 20;
        } else if (a == "--solid") {
            o.solid = true;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (!a.empty() && a[0] == '-') {
            fail("usage: strong_bench [--runs N] [--solid] [--block MIB] [--quiet] FOLDER|FILE...");
        } else {
            o.paths.push_back(a);
        }
    }
    if (o.paths.empty()) o.paths.push_back(VELLUM_CORPUS_DIR);
    return o;
}

Bytes read_file(const std::filesystem::path& path) {
    Bytes data;
    FILE* f = std::fopen(path.string().c_str(), "rb");
    if (!f) fail("cannot open " + path.string());
    uint8_t chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
    std::fclose(f);
    return data;
}

std::vector<Input> load(const Options& o) {
    std::vector<std::filesystem::path> files;
    for (const std::string& p : o.paths) {
        std::error_code ec;
        if (std::filesystem::is_directory(p, ec)) {
            for (auto it = std::filesystem::recursive_directory_iterator(p, ec);
                 !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
                if (it->is_regular_file()) files.push_back(it->path());
        } else {
            files.push_back(p);
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<Input> inputs;
    for (const auto& f : files) {
        Input in;
        in.name = f.filename().string();
        in.data = read_file(f);
        in.file_class = strong::strong_base_class(
            choose_file_class(file_extension(in.name), in.data.data(), in.data.size()), in.data.data(),
            in.data.size());
        codec_params_for_class(in.file_class, o.solid, &in.params);
        if (in.params.store_raw) fail(in.name + ": a stored class; the benchmark codes every file");
        inputs.push_back(std::move(in));
    }
    return inputs;
}

// One entry, block by block as the driver cuts it: filter a copy, code it.
Bytes encode(strong::StrongState& state, const Input& in, const Options& o) {
    VectorSink sink;
    ByteWriter writer(sink);
    strong::StrongEncoder coder(writer);
    state.begin_entry(in.file_class, in.params, in.data.size(), o.solid);
    Bytes block;
    for (size_t done = 0; done < in.data.size();) {
        const size_t n = std::min(o.block_size, in.data.size() - done);
        block.assign(in.data.begin() + done, in.data.begin() + done + n);
        apply_prefilter(in.params, block.data(), n);
        strong::strong_encode(state, coder, block.data(), n);
        done += n;
    }
    coder.flush();
    if (!writer.flush()) fail("coded bytes could not be kept");
    return std::move(sink.bytes);
}

bool decode(strong::StrongState& state, const Input& in, const Bytes& coded, const Options& o) {
    MemorySource source(coded.data(), coded.size());
    ByteReader reader(source, coded.size());
    strong::StrongDecoder coder(reader);
    state.begin_entry(in.file_class, in.params, in.data.size(), o.solid);
    Bytes block;
    for (size_t done = 0; done < in.data.size();) {
        const size_t n = std::min(o.block_size, in.data.size() - done);
        block.resize(n);
        if (!strong::strong_decode(state, coder, block.data(), n)) return false;
        undo_prefilter(in.params, block.data(), n);
        if (std::memcmp(block.data(), in.data.data() + done, n) != 0) return false;
        done += n;
    }
    return !reader.overrun() && reader.consumed() == coded.size();
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse_options(argc, argv);
    const std::vector<Input> inputs = load(o);
    strong::StrongState enc_state, dec_state;
    if (!enc_state.ready() || !dec_state.ready()) fail("not enough memory for the tables");
    std::vector<double> enc_s(inputs.size(), 1e30), dec_s(inputs.size(), 1e30);
    std::vector<size_t> sizes(inputs.size());
    for (int run = 0; run < o.runs; ++run) {
        enc_state.end_run();
        dec_state.end_run();
        for (size_t i = 0; i < inputs.size(); ++i) {
            double t0 = now_s();
            const Bytes coded = encode(enc_state, inputs[i], o);
            enc_s[i] = std::min(enc_s[i], now_s() - t0);
            t0 = now_s();
            if (!decode(dec_state, inputs[i], coded, o)) fail(inputs[i].name + ": round trip failed");
            dec_s[i] = std::min(dec_s[i], now_s() - t0);
            sizes[i] = coded.size();
        }
    }
    uint64_t total_in = 0, total_out = 0;
    double te = 0, td = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        total_in += inputs[i].data.size();
        total_out += sizes[i];
        te += enc_s[i];
        td += dec_s[i];
        if (!o.quiet)
            std::printf("%-24s %3u %10zu %10zu %7.3f bpc %6.2f %6.2f MB/s\n", inputs[i].name.c_str(),
                        inputs[i].file_class, inputs[i].data.size(), sizes[i],
                        inputs[i].data.empty() ? 0.0 : 8.0 * sizes[i] / inputs[i].data.size(),
                        inputs[i].data.size() / enc_s[i] / 1e6, inputs[i].data.size() / dec_s[i] / 1e6);
    }
    std::printf("%-28s %10llu %10llu %7.3f bpc %6.2f %6.2f MB/s\n", o.solid ? "total (solid)" : "total",
                static_cast<unsigned long long>(total_in), static_cast<unsigned long long>(total_out),
                8.0 * total_out / std::max<uint64_t>(1, total_in), total_in / te / 1e6, total_in / td / 1e6);
    return 0;
}
