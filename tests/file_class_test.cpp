#include "archive/file_class.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

namespace vellum {
namespace {

using Bytes = std::vector<unsigned char>;

uint16_t class_of(const std::string& file_name, const Bytes& content = Bytes()) {
    return choose_file_class(file_extension(file_name), content.data(), content.size());
}

// A canonical 44-byte wave header.
Bytes wave_header(uint16_t channels, uint16_t bits) {
    Bytes h = {'R', 'I', 'F', 'F', 36, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
               16, 0, 0, 0, 1, 0};
    h.push_back(static_cast<unsigned char>(channels));
    h.push_back(static_cast<unsigned char>(channels >> 8));
    const unsigned char rest[] = {0x44, 0xAC, 0, 0, 0, 0, 0, 0, 0, 0};  // rate, byte rate, align
    h.insert(h.end(), rest, rest + sizeof rest);
    h.push_back(static_cast<unsigned char>(bits));
    h.push_back(static_cast<unsigned char>(bits >> 8));
    const unsigned char data[] = {'d', 'a', 't', 'a', 0, 0, 0, 0};
    h.insert(h.end(), data, data + sizeof data);
    return h;
}

CodecParams params_for(uint32_t file_class, bool solid) {
    CodecParams params;
    EXPECT_TRUE(codec_params_for_class(file_class, solid, &params)) << file_class;
    return params;
}

// --- extension ------------------------------------------------------------------------

TEST(FileExtension, CharactersAfterTheLastDot) {
    EXPECT_EQ("TXT", file_extension("report.TXT"));
    EXPECT_EQ("gz", file_extension("archive.tar.gz"));
    EXPECT_EQ("", file_extension("README"));
    EXPECT_EQ("", file_extension("trailing."));
    EXPECT_EQ("profile", file_extension(".profile"));
    EXPECT_EQ("", file_extension(""));
}

TEST(ExtensionRules, CaseMustBeAllLowerOrAllUpper) {
    EXPECT_EQ(9, class_of("report.TXT"));
    EXPECT_EQ(9, class_of("report.txt"));
    EXPECT_EQ(0, class_of("report.Txt"));
    // Mixed case falls through to the content tests.
    EXPECT_EQ(7, class_of("report.Txt", Bytes{'%', 'P', 'D', 'F', '-', '1'}));
}

TEST(ExtensionRules, KeysCAndHCoverEveryExtensionStartingWithThem) {
    for (const char* name : {"page.html", "page.htm", "prog.com", "help.hlp", "a.c", "a.cpp",
                             "a.cfg", "a.cab", "a.h", "a.hpp", "A.CPP"})
        EXPECT_EQ(9, class_of(name)) << name;
    EXPECT_EQ(10, class_of("image.cue"));
    EXPECT_EQ(10, class_of("IMAGE.CUE"));
}

TEST(ExtensionRules, OnlyTheKeysCharactersAreCompared) {
    EXPECT_EQ(1, class_of("server.logs"));
    EXPECT_EQ(4, class_of("tool.axe"));
    EXPECT_EQ(12, class_of("game.saved"));
    EXPECT_EQ(0, class_of("game.sav"));  // shorter than the key save
    EXPECT_EQ(0, class_of("a.lo"));
}

TEST(ExtensionRules, EveryKeyInBothCases) {
    struct Rule {
        const char* key;
        uint16_t file_class;
    };
    const Rule rules[] = {
        {"log", 1},  {"bmp", 2},  {"tga", 2},  {"gif", 17}, {"dic", 3},  {"exe", 4},
        {"ax", 4},   {"ocx", 4},  {"doc", 14}, {"xls", 14}, {"pdf", 7},  {"jpg", 8},
        {"dll", 4},  {"txt", 9},  {"msg", 9},  {"lng", 9},  {"asc", 9},  {"c", 9},
        {"h", 9},    {"bas", 9},  {"iso", 10}, {"wav", 11}, {"aif", 11}, {"save", 12},
        {"wma", 13}, {"mp3", 13}, {"ogg", 13}, {"mp2", 13}, {"m2a", 13}, {"aac", 13},
        {"vob", 13}, {"avi", 13}, {"mpg", 13}, {"pps", 14}, {"png", 15}, {"tar", 16},
        {"nrg", 10}, {"cue", 10}, {"rar", 17}, {"zip", 17}, {"ace", 17}, {"7z", 17},
        {"uha", 17}, {"arj", 17}, {"pgm", 18}, {"sys", 4},  {"mdb", 14},
    };
    ASSERT_EQ(47u, sizeof rules / sizeof rules[0]);
    for (const Rule& rule : rules) {
        std::string lower = rule.key;
        std::string upper = lower;
        for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(rule.file_class, choose_file_class(lower, nullptr, 0)) << lower;
        EXPECT_EQ(rule.file_class, choose_file_class(upper, nullptr, 0)) << upper;
    }
    EXPECT_EQ(0, choose_file_class("Zip", nullptr, 0));
    EXPECT_EQ(0, choose_file_class("", nullptr, 0));
}

// --- content --------------------------------------------------------------------------

TEST(ContentTests, EachSignatureAndItsShortenedForm) {
    struct Case {
        Bytes start;
        uint16_t file_class;
    };
    const Case cases[] = {
        {{0x42, 0x4D}, 2},
        {{0x4D, 0x5A, 0x90, 0x00, 0x03, 0x00, 0x00, 0x00}, 4},
        {{0x25, 0x50, 0x44, 0x46}, 7},
        {{0x3F, 0x5F, 0x03, 0x00}, 5},
        {{0xFF, 0xD8, 0xFF, 0xE0, 0x12, 0x34, 0x4A, 0x46, 0x49, 0x46}, 8},
        {{0x52, 0x49, 0x46, 0x46}, 11},
        {{0x06, 0xAA, 0xBB, 0xCC, 0x44, 0x4F, 0x4F, 0x4D, 0x20}, 12},
        {{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}, 14},
        {{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}, 15},
        {{0x49, 0x44, 0x33, 0x03}, 13},
        {{0x50, 0x35, 0x0A, 0x37}, 18},
        {{0x52, 0x61, 0x72, 0x21}, 17},
        {{0x50, 0x4B, 0x03, 0x04}, 17},
        {{0x37, 0x7A, 0xBC, 0xAF}, 17},
        {{0x47, 0x49, 0x46, 0x38}, 17},
        {{0x4D, 0x4D, 0x00, 0x2A}, 26},
        {{0x00, 0x00, 0x02, 0x00}, 27},
        {{0x00, 0x00, 0x0A, 0x00}, 27},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.file_class, choose_file_class("txt", c.start.data(), c.start.size()))
            << int(c.start[0]);
        // A file one byte shorter than the test examines keeps the extension's class.
        EXPECT_EQ(9, choose_file_class("txt", c.start.data(), c.start.size() - 1)) << int(c.start[0]);
        // Trailing bytes do not matter.
        Bytes longer = c.start;
        longer.resize(64, 0x77);
        if (c.file_class != 11) {
            EXPECT_EQ(c.file_class, choose_file_class("", longer.data(), longer.size()));
        }
    }
}

TEST(ContentTests, WildcardBytesMustStillBePresent) {
    const Bytes jfif = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x47};
    EXPECT_EQ(0, choose_file_class("", jfif.data(), jfif.size()));  // last byte differs
    const Bytes doom = {0x06, 1, 2, 3, 0x44, 0x4F, 0x4F, 0x4D, 0x00};
    EXPECT_EQ(0, choose_file_class("", doom.data(), doom.size()));  // no blank after DOOM
}

TEST(ContentTests, ExamplesFromNamesAndContent) {
    CodecParams params;
    const Bytes mz = {0x4D, 0x5A, 0x90, 0x00, 0x03, 0x00, 0x00, 0x00, 0x04, 0x00};
    const uint16_t setup = class_of("setup.dat", mz);
    EXPECT_EQ(4, setup);
    ASSERT_TRUE(codec_params_for_class(setup, false, &params));
    EXPECT_EQ(1u, params.prefilter);

    const Bytes zip = {0x50, 0x4B, 0x03, 0x04, 0x14, 0x00};
    const uint16_t photo = class_of("photo.bmp", zip);
    EXPECT_EQ(17, photo);
    ASSERT_TRUE(codec_params_for_class(photo, false, &params));
    EXPECT_EQ(1u, params.store_raw);

    const Bytes plain = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(0, class_of("Makefile", plain));
    EXPECT_EQ(0, class_of("Makefile"));
}

TEST(RiffRefinement, ChannelsAndSampleWidth) {
    struct Case {
        uint16_t channels, bits, file_class;
    };
    const Case cases[] = {
        {1, 16, 19}, {2, 8, 20},  {1, 8, 21},  {2, 24, 22}, {1, 24, 23}, {2, 32, 24},
        {1, 32, 25}, {2, 16, 11}, {6, 24, 22}, {0, 16, 11}, {1, 12, 11}, {2, 0, 11},
    };
    for (const Case& c : cases) {
        const Bytes h = wave_header(c.channels, c.bits);
        EXPECT_EQ(c.file_class, class_of("sound.wav", h)) << c.channels << "x" << c.bits;
    }
}

TEST(RiffRefinement, NeedsThirtySixBytes) {
    Bytes h = wave_header(1, 16);
    h.resize(36);
    EXPECT_EQ(19, class_of("x.bin", h));
    h.resize(35);
    EXPECT_EQ(11, class_of("x.bin", h));
}

TEST(RiffRefinement, WaveExamplesGiveTheirStrides) {
    EXPECT_EQ(2u, params_for(class_of("a.wav", wave_header(1, 16)), false).delta_stride);
    EXPECT_EQ(4u, params_for(class_of("a.wav", wave_header(2, 16)), false).delta_stride);
    EXPECT_EQ(6u, params_for(class_of("a.wav", wave_header(2, 24)), false).delta_stride);
}

// --- parameters -----------------------------------------------------------------------

TEST(ClassParams, SelectedRows) {
    CodecParams p = params_for(1, false);
    EXPECT_EQ(5u, p.hash_order);
    EXPECT_EQ(3u, p.match_first_run);
    EXPECT_EQ(2u, p.match_run_step);
    EXPECT_EQ(0u, p.context_mode);

    p = params_for(2, false);
    EXPECT_EQ(4u, p.hash_order);
    EXPECT_EQ(1u, p.context_mode);
    EXPECT_EQ(3u, p.ctx_distance_1);
    EXPECT_EQ(1u, p.ctx_distance_2);
    EXPECT_EQ(2u, p.prefilter);
    EXPECT_EQ(1u, p.delta_stride);

    p = params_for(7, false);
    EXPECT_EQ(0u, p.inherit_order1);
    EXPECT_EQ(2u, p.context_mode);
    EXPECT_EQ(4u, p.adapt_rate);

    p = params_for(26, false);
    EXPECT_EQ(1u, p.inherit_order1);
    EXPECT_EQ(3u, p.delta_stride);
    EXPECT_EQ(3u, p.adapt_rate);
}

TEST(ClassParams, WaveClassesTieContextsToTheStride) {
    for (uint32_t c = 19; c <= 25; ++c) {
        CodecParams p = params_for(c, false);
        EXPECT_EQ(2u, p.prefilter) << c;
        EXPECT_EQ(p.delta_stride, p.ctx_distance_1) << c;
        EXPECT_EQ(2 * p.delta_stride, p.ctx_distance_2) << c;
        EXPECT_EQ(2 * p.delta_stride, p.hash_order) << c;
        EXPECT_EQ(1u, p.context_mode) << c;
    }
}

TEST(ClassParams, OnlyClass17IsStoredRaw) {
    for (uint32_t c = 0; c <= kMaxFileClass; ++c) {
        if (c == kUnusedFileClass) continue;
        EXPECT_EQ(c == 17 ? 1u : 0u, params_for(c, false).store_raw) << c;
    }
}

TEST(ClassParams, UnsetFieldsKeepTheirValue) {
    CodecParams params;
    params.delta_stride = 7;
    ASSERT_TRUE(codec_params_for_class(0, false, &params));
    EXPECT_EQ(7u, params.delta_stride);
    ASSERT_TRUE(codec_params_for_class(22, false, &params));
    EXPECT_EQ(6u, params.delta_stride);
    ASSERT_TRUE(codec_params_for_class(4, false, &params));
    EXPECT_EQ(6u, params.delta_stride);
    EXPECT_EQ(1u, params.prefilter);
}

TEST(ClassParams, SolidModeChangesHashOrderAndNoMatchMode) {
    CodecParams p = params_for(13, true);
    EXPECT_EQ(4u, p.hash_order);
    EXPECT_EQ(2u, p.context_mode);
    for (uint32_t c = 0; c <= kMaxFileClass; ++c) {
        if (c == kUnusedFileClass) continue;
        CodecParams normal = params_for(c, false);
        CodecParams solid = params_for(c, true);
        EXPECT_EQ(4u, solid.hash_order) << c;
        EXPECT_EQ(normal.context_mode == 1 ? 2u : normal.context_mode, solid.context_mode) << c;
        EXPECT_EQ(normal.adapt_rate, solid.adapt_rate) << c;
        EXPECT_EQ(normal.prefilter, solid.prefilter) << c;
        EXPECT_EQ(normal.delta_stride, solid.delta_stride) << c;
        EXPECT_EQ(normal.ctx_distance_2, solid.ctx_distance_2) << c;
    }
}

TEST(ClassParams, InvalidClassesAreRefusedAndChangeNothing) {
    for (uint32_t c : {6u, 28u, 100u, 65535u}) {
        CodecParams params;
        ASSERT_TRUE(codec_params_for_class(17, false, &params));
        EXPECT_FALSE(is_valid_file_class(c));
        EXPECT_FALSE(codec_params_for_class(c, false, &params)) << c;
        EXPECT_FALSE(codec_params_for_class(c, true, &params)) << c;
        EXPECT_EQ(1u, params.store_raw);
        EXPECT_EQ(5u, params.hash_order);
        EXPECT_EQ(4u, params.adapt_rate);
    }
}

// --- real files -----------------------------------------------------------------------

TEST(CorpusClasses, NamesAndFirstBlocks) {
    struct Case {
        const char* name;
        uint16_t file_class;
    };
    const Case cases[] = {
        {"alice29.txt", 9},        // extension
        {"fireworks.jpeg", 8},     // jpeg is not jpg: the JFIF header decides
        {"paper-100k.pdf", 7},     // a PDF fragment without %PDF: the extension decides
        {"geo.protodata", 0},      {"kppkn.gtb", 0}, {"html", 0}, {"urls.10K", 0},
    };
    for (const Case& c : cases) {
        const std::string path = std::string(VELLUM_CORPUS_DIR) + "/" + c.name;
        FILE* f = std::fopen(path.c_str(), "rb");
        if (f == nullptr) GTEST_SKIP() << "corpus not found: " << path;
        Bytes block(1 << 16);
        block.resize(std::fread(block.data(), 1, block.size(), f));
        std::fclose(f);
        EXPECT_EQ(c.file_class, class_of(c.name, block)) << c.name;
    }
}

}  // namespace
}  // namespace vellum
