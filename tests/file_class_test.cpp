#include "archive/file_class.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace vellum {
namespace {

using Bytes = std::vector<unsigned char>;

uint16_t class_of(const std::string& file_name, const Bytes& content = Bytes()) {
    return choose_file_class(file_extension(file_name), content.data(), content.size());
}

// A canonical 44-byte wave header: channels at offset 22, bits per sample at 34.
Bytes wave_header(uint16_t channels, uint16_t bits) {
    Bytes h = {'R', 'I', 'F', 'F', 36, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1};
    h.resize(44, 0);
    h[22] = static_cast<unsigned char>(channels);  // high bytes 0
    h[34] = static_cast<unsigned char>(bits);
    return h;
}

CodecParams params_for(uint32_t file_class, bool solid) {
    CodecParams params;
    EXPECT_TRUE(codec_params_for_class(file_class, solid, &params)) << file_class;
    return params;
}

std::vector<uint32_t> fields(const CodecParams& p) {
    return {p.hash_order, p.match_first_run, p.match_run_step, p.inherit_order1,
            static_cast<uint32_t>(p.context_mode), p.ctx_distance_1, p.ctx_distance_2, p.adapt_rate,
            p.prefilter, p.delta_stride, p.store_raw};
}

const Bytes kMz = {0x4D, 0x5A, 0x90, 0x00, 0x03, 0x00, 0x00, 0x00, 0x04, 0x00};
const Bytes kZip = {0x50, 0x4B, 0x03, 0x04, 0x14, 0x00};

// Golden examples: case rules, the c/h/cue keys, prefix matching, the last dot,
// content overriding the name.
TEST(FileClass, NamesAndContentExamples) {
    const struct { const char* name; Bytes content; uint16_t file_class; } cases[] = {
        {"report.TXT", {}, 9}, {"report.txt", {}, 9}, {"report.Txt", {}, 0},
        {"report.Txt", {'%', 'P', 'D', 'F', '-', '1'}, 7},
        {"page.html", {}, 9}, {"page.htm", {}, 9}, {"prog.com", {}, 9}, {"help.hlp", {}, 9},
        {"A.CPP", {}, 9}, {"image.cue", {}, 10}, {"IMAGE.CUE", {}, 10}, {".cue", {}, 10},
        {"server.logs", {}, 1}, {"tool.axe", {}, 4}, {"game.saved", {}, 12}, {"game.sav", {}, 0},
        {"archive.tar.gz", {}, 0}, {"trailing.", {}, 0}, {"Makefile", {'h', 'e', 'l', 'l', 'o'}, 0},
        {"setup.dat", kMz, 4}, {"photo.bmp", kZip, 17},
        {"x", {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 0x4A, 0x46, 0x49, 0x47}, 0},  // JFIF's last byte
        {"x", {0x06, 1, 2, 3, 0x44, 0x4F, 0x4F, 0x4D, 0x00}, 0},             // no blank after DOOM
    };
    for (const auto& c : cases) EXPECT_EQ(class_of(c.name, c.content), c.file_class) << c.name;
    EXPECT_EQ(params_for(class_of("setup.dat", kMz), false).prefilter, 1u);
    EXPECT_EQ(params_for(class_of("photo.bmp", kZip), false).store_raw, 1u);
}

TEST(FileClass, EveryExtensionKeyInBothCases) {
    const struct { const char* key; uint16_t file_class; } rules[] = {
        {"log", 1},  {"bmp", 2},  {"tga", 2},  {"gif", 17}, {"dic", 3},  {"exe", 4},
        {"ax", 4},   {"ocx", 4},  {"doc", 14}, {"xls", 14}, {"pdf", 7},  {"jpg", 8},
        {"dll", 4},  {"txt", 9},  {"msg", 9},  {"lng", 9},  {"asc", 9},  {"c", 9},
        {"h", 9},    {"bas", 9},  {"iso", 10}, {"wav", 11}, {"aif", 11}, {"save", 12},
        {"wma", 13}, {"mp3", 13}, {"ogg", 13}, {"mp2", 13}, {"m2a", 13}, {"aac", 13},
        {"vob", 13}, {"avi", 13}, {"mpg", 13}, {"pps", 14}, {"png", 15}, {"tar", 16},
        {"nrg", 10}, {"cue", 10}, {"rar", 17}, {"zip", 17}, {"ace", 17}, {"7z", 17},
        {"uha", 17}, {"arj", 17}, {"pgm", 18}, {"sys", 4},  {"mdb", 14},
    };
    ASSERT_EQ(sizeof rules / sizeof rules[0], 47u);
    for (const auto& rule : rules) {
        std::string upper = rule.key;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(choose_file_class(rule.key, nullptr, 0), rule.file_class) << rule.key;
        EXPECT_EQ(choose_file_class(upper, nullptr, 0), rule.file_class) << upper;
    }
    EXPECT_EQ(choose_file_class("Zip", nullptr, 0), 0);
    EXPECT_EQ(choose_file_class("", nullptr, 0), 0);
}

// Each signature overrides the extension, needs all its bytes, ignores what follows.
TEST(FileClass, EveryContentTest) {
    const struct { Bytes start; uint16_t file_class; } cases[] = {
        {{0x42, 0x4D}, 2}, {{0x4D, 0x5A, 0x90, 0x00, 0x03, 0x00, 0x00, 0x00}, 4},
        {{0x25, 0x50, 0x44, 0x46}, 7}, {{0x3F, 0x5F, 0x03, 0x00}, 5},
        {{0xFF, 0xD8, 0xFF, 0xE0, 0x12, 0x34, 0x4A, 0x46, 0x49, 0x46}, 8},
        {{0x52, 0x49, 0x46, 0x46}, 11},
        {{0x06, 0xAA, 0xBB, 0xCC, 0x44, 0x4F, 0x4F, 0x4D, 0x20}, 12},
        {{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}, 14},
        {{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}, 15}, {{0x49, 0x44, 0x33, 0x03}, 13},
        {{0x50, 0x35, 0x0A, 0x37}, 18}, {{0x52, 0x61, 0x72, 0x21}, 17}, {{0x50, 0x4B, 0x03, 0x04}, 17},
        {{0x37, 0x7A, 0xBC, 0xAF}, 17}, {{0x47, 0x49, 0x46, 0x38}, 17}, {{0x4D, 0x4D, 0x00, 0x2A}, 26},
        {{0x00, 0x00, 0x02, 0x00}, 27}, {{0x00, 0x00, 0x0A, 0x00}, 27},
    };
    for (const auto& c : cases) {
        const Bytes& s = c.start;
        EXPECT_EQ(choose_file_class("txt", s.data(), s.size()), c.file_class) << int(s[0]);
        EXPECT_EQ(choose_file_class("txt", s.data(), s.size() - 1), 9) << int(s[0]);
        Bytes longer = s;
        longer.resize(64, 0x77);  // RIFF refines on the bytes that follow
        if (c.file_class != 11) {
            EXPECT_EQ(choose_file_class("", longer.data(), longer.size()), c.file_class);
        }
    }
}

// Golden: mono 16-bit 19 (stride 2), stereo 16-bit 11 (stride 4), stereo 24-bit 22 (stride 6).
TEST(FileClass, RiffRefinementAndStrides) {
    const struct { unsigned channels, bits, length, file_class, stride; } cases[] = {
        {1, 16, 44, 19, 2}, {2, 16, 44, 11, 4}, {2, 24, 44, 22, 6}, {2, 8, 44, 20, 2},
        {1, 8, 44, 21, 1},  {1, 24, 44, 23, 3}, {2, 32, 44, 24, 8}, {1, 32, 44, 25, 4},
        {6, 24, 44, 22, 6}, {0, 16, 44, 11, 4}, {1, 12, 44, 11, 4}, {1, 16, 36, 19, 2},
        {1, 16, 35, 11, 4},
    };
    for (const auto& c : cases) {
        Bytes h = wave_header(c.channels, c.bits);
        h.resize(c.length);
        const uint16_t file_class = class_of("sound.bin", h);
        EXPECT_EQ(file_class, c.file_class) << c.channels << "x" << c.bits << " " << c.length;
        EXPECT_EQ(params_for(file_class, false).delta_stride, c.stride) << file_class;
    }
}

// The whole parameter table in both modes; -1 marks a field the class leaves as it was.
TEST(FileClass, ParametersOfEveryClassAndMode) {
    const int table[][12] = {
        {0, 5, 2, 1, 1, 0, 1, 2, 3, 0, -1, 0},      {1, 5, 3, 2, 1, 0, 1, 2, 3, 0, -1, 0},
        {2, 4, 2, 2, 1, 1, 3, 1, 3, 2, 1, 0},       {3, 4, 2, 2, 1, 0, 1, 2, 3, 0, -1, 0},
        {4, 3, 2, 1, 1, 0, 1, 2, 3, 1, -1, 0},      {5, 5, 2, 2, 1, 0, 1, 2, 3, 0, -1, 0},
        {7, 5, 2, 2, 0, 2, 1, 2, 4, 0, -1, 0},      {8, 3, 2, 2, 0, 1, 1, 2, 4, 0, -1, 0},
        {9, 5, 2, 1, 1, 0, 1, 2, 3, 0, -1, 0},      {10, 5, 2, 2, 0, 0, 1, 2, 3, 0, -1, 0},
        {11, 8, 2, 2, 0, 1, 4, 8, 4, 2, 4, 0},      {12, 5, 2, 2, 0, 1, 1, 2, 4, 0, -1, 0},
        {13, 3, 2, 2, 0, 1, 1, 2, 4, 0, -1, 0},     {14, 5, 2, 2, 0, 0, 1, 2, 3, 0, -1, 0},
        {15, 5, 2, 2, 0, 1, 1, 2, 4, 0, -1, 0},     {16, 5, 2, 2, 0, 0, 1, 2, 3, 0, -1, 0},
        {17, 5, 2, 2, 0, 1, 1, 2, 4, 0, -1, 1},     {18, 5, 2, 2, 1, 1, 1, 2, 3, 2, 1, 0},
        {19, 4, 2, 2, 0, 1, 2, 4, 4, 2, 2, 0},      {20, 4, 2, 2, 0, 1, 2, 4, 4, 2, 2, 0},
        {21, 2, 2, 2, 0, 1, 1, 2, 4, 2, 1, 0},      {22, 12, 2, 2, 0, 1, 6, 12, 4, 2, 6, 0},
        {23, 6, 2, 2, 0, 1, 3, 6, 4, 2, 3, 0},      {24, 16, 2, 2, 0, 1, 8, 16, 4, 2, 8, 0},
        {25, 8, 2, 2, 0, 1, 4, 8, 4, 2, 4, 0},      {26, 4, 2, 2, 1, 1, 1, 2, 3, 2, 3, 0},
        {27, 4, 2, 2, 1, 1, 1, 2, 3, 2, 1, 0},
    };
    for (const auto& row : table) {
        std::vector<uint32_t> expected;
        for (int k = 1; k < 12; ++k) expected.push_back(row[k] < 0 ? 99 : static_cast<uint32_t>(row[k]));
        CodecParams p{99, 99, 99, 99, ContextMode{99}, 99, 99, 99, 99, 99, 99};
        ASSERT_TRUE(codec_params_for_class(row[0], false, &p));
        EXPECT_EQ(fields(p), expected) << "class " << row[0];
        // Solid mode: hash order 4, context mode 1 becomes 2, the rest as in normal mode.
        expected[0] = 4;
        if (expected[4] == 1) expected[4] = 2;
        p = CodecParams{99, 99, 99, 99, ContextMode{99}, 99, 99, 99, 99, 99, 99};
        ASSERT_TRUE(codec_params_for_class(row[0], true, &p));
        EXPECT_EQ(fields(p), expected) << "solid class " << row[0];
    }
    const CodecParams solid13 = params_for(13, true);
    EXPECT_EQ(solid13.hash_order, 4u);
    EXPECT_EQ(solid13.context_mode, ContextMode::match_length);
    // A class no compressor writes never leaves made-up parameters.
    for (uint32_t c : {6u, 28u, 65535u}) {
        CodecParams p = params_for(17, false);
        EXPECT_FALSE(codec_params_for_class(c, false, &p) || codec_params_for_class(c, true, &p));
        EXPECT_EQ(fields(p), fields(params_for(17, false)));
    }
}

// The best-class search tries one class per distinct parameter set: a missing
// set is never tried, a repeated one costs a whole coding of every file.
TEST(FileClass, DistinctParameterSetsCoverEveryClassOnce) {
    const std::vector<uint16_t> sets = distinct_parameter_classes();
    // 0=9, 8=13, 10=14=16, 11=25, 12=15 and 19=20 code alike; 6 is no class.
    const std::vector<uint16_t> expected = {0, 1, 2, 3, 4, 5, 7, 8, 10, 11, 12,
                                            17, 18, 19, 21, 22, 23, 24, 26, 27};
    EXPECT_EQ(expected, sets);
    for (uint16_t c = 0; c <= kMaxFileClass; ++c) {
        if (!is_valid_file_class(c)) continue;
        int matches = 0;
        for (uint16_t s : sets) matches += same_parameters(s, c) ? 1 : 0;
        EXPECT_EQ(1, matches) << "class " << c;
    }
}

}  // namespace
}  // namespace vellum
