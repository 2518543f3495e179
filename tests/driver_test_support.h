// Files, folders and a recording reporter for tests that drive whole commands.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "archive/format.h"
#include "archive/messages.h"
#include "platform/platform.h"

namespace vellum::test {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct Note {
    std::string text, caption;
    unsigned flags;
};

// Keeps every message as the described box shows it, and its id and reason.
class RecordingReporter : public Reporter {
public:
    void message(const Message& message) override {
        const BoxText box = box_text(message);
        notes.push_back({box.text, box.caption, box.flags});
        messages.push_back(message);
    }
    void progress(const ProgressEvent& event) override {
        if (event.kind == ProgressKind::file_compressed || event.kind == ProgressKind::entry_extracted) {
            finished.push_back(event.name);
            last_done = 0;
            return;
        }
        // Within one file the bytes done only grow and stay within its size.
        if (event.entry_done < last_done || event.entry_done > event.entry_size) progress_wrong = true;
        last_done = event.entry_done;
        ++ticks;
    }
    bool said(const std::string& caption) const {
        for (const Note& n : notes)
            if (n.caption == caption) return true;
        return false;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> all;
        for (const Note& n : notes) all.push_back(n.text);
        return all;
    }

    std::vector<Note> notes;
    std::vector<Message> messages;
    std::vector<std::string> finished;
    uint64_t last_done = 0;
    int ticks = 0;
    bool progress_wrong = false;
};

inline void write_file(const fs::path& path, const Bytes& data) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline Bytes read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline Bytes text_bytes(size_t n, uint32_t seed) {
    static const char* words[] = {"alpha ", "beta ", "gamma ", "delta ", "entry ", "\n", "42 "};
    std::mt19937 rng(seed);
    Bytes d;
    while (d.size() < n) {
        const std::string w = words[rng() % 7];
        d.insert(d.end(), w.begin(), w.end());
    }
    d.resize(n);
    return d;
}

inline Bytes random_data(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes d(n);
    for (auto& b : d) b = static_cast<uint8_t>(rng());
    return d;
}

// An executable header, then calls and jumps to a few routines.
inline Bytes x86_like(size_t n, uint32_t seed) {
    Bytes d = {0x4D, 0x5A, 0x90, 0x00, 0x03, 0x00, 0x00, 0x00};
    std::mt19937 rng(seed);
    while (d.size() < n) {
        int32_t rel = static_cast<int32_t>(0x400 + (rng() % 8) * 0x100) - static_cast<int32_t>(d.size() + 5);
        d.push_back(rng() % 2 ? 0xE8 : 0xE9);
        for (int i = 0; i < 4; ++i) d.push_back(static_cast<uint8_t>(rel >> (8 * i)));
        d.push_back(0x90);
    }
    d.resize(n);
    return d;
}

// A canonical wave header, then 16-bit samples of a slow tone.
inline Bytes wave16(size_t samples, uint8_t channels) {
    Bytes d = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0,
               channels, 0, 0x44, 0xAC, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(2 * channels), 0, 16, 0,
               'd', 'a', 't', 'a', 0, 0, 0, 0};
    for (size_t i = 0; i < samples * channels; ++i) {
        auto v = static_cast<int16_t>(8000.0 * std::sin(static_cast<double>(i / channels) / 9.0));
        d.push_back(static_cast<uint8_t>(v));
        d.push_back(static_cast<uint8_t>(v >> 8));
    }
    return d;
}

// A fresh folder below the system's temporary folder, removed afterwards.
// One record of an archive as the format's walk finds it.
struct Entry {
    uint64_t offset;
    RecordHead head;
    uint16_t file_class;
};

// Every record of the archive at `archive`, in order.
inline std::vector<Entry> entries(const fs::path& archive) {
    std::vector<Entry> out;
    FILE* f = platform::open_file(archive.string().c_str(), "rb");
    ArchiveWalk walk;
    ArchiveHeader header;
    RecordHead head;
    EXPECT_EQ(walk_begin(f, &walk, &header), HeaderResult::ok);
    while (walk_next(&walk, &head) == WalkStep::entry) {
        uint16_t file_class = 0;
        read_class_field(f, &file_class);
        out.push_back({walk.entry_offset, head, file_class});
    }
    std::fclose(f);
    return out;
}

class TempFolder {
public:
    TempFolder() {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("vellum-test-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

}  // namespace vellum::test
