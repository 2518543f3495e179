// The class field rule both sides call: which codec, version and base class a
// field names, the parameters a reader takes from it, and the field a writer
// records.
#include <gtest/gtest.h>

#include <string>

#include "archive/entry_codec.h"
#include "archive/file_class.h"

namespace vellum {
namespace {

// Catches a field read as another codec, a strong base that would be stored
// or unfiltered unlike its class, and a version taken for damage.
TEST(EntryCodec, FieldsNameCodecVersionAndBase) {
    for (uint16_t c = 0; c <= kMaxFileClass; ++c) {
        const EntryClass plain = entry_class(c);
        EXPECT_EQ(plain.codec, is_valid_file_class(c) ? EntryCodec::standard : EntryCodec::invalid) << c;
        const uint16_t field = strong_class_field(c), stored = strong_class_field(c, true);
        EXPECT_EQ(field, 0x100 + c);
        EXPECT_EQ(stored, 0x180 + c);
        const bool strong_base = is_valid_file_class(c) && c != kStoredClass;
        EXPECT_EQ(entry_class(field).codec, strong_base ? EntryCodec::strong : EntryCodec::invalid) << c;
        EXPECT_EQ(entry_class(stored).codec, strong_base ? EntryCodec::strong_stored : EntryCodec::invalid) << c;
        if (!strong_base) continue;
        EXPECT_EQ(entry_class(field).base, c);
        EXPECT_EQ(entry_class(field).version, 1u);
        for (const bool solid : {false, true}) {
            CodecParams own, coded, kept;
            ASSERT_TRUE(codec_params_for_class(c, solid, &own));
            ASSERT_TRUE(entry_params(field, solid, &coded));
            ASSERT_TRUE(entry_params(stored, solid, &kept));
            EXPECT_EQ(coded.engine, CodecEngine::strong);
            EXPECT_EQ(coded.strong_base, c);
            EXPECT_EQ(coded.store_raw, 0u) << c;
            EXPECT_EQ(coded.prefilter, own.prefilter) << c;
            EXPECT_EQ(coded.delta_stride, own.delta_stride) << c;
            EXPECT_EQ(coded.strong_stored, 0u);
            EXPECT_EQ(kept.strong_stored, 1u);
        }
    }
    // A later version, whatever its base: unsupported, and no parameters.
    for (uint16_t field : {uint16_t{0x209}, uint16_t{0x211}, uint16_t{0x3FF}, uint16_t{0xFF09}}) {
        EXPECT_EQ(entry_class(field).codec, EntryCodec::unsupported) << field;
        EXPECT_EQ(entry_class(field).version, static_cast<uint32_t>(field >> 8));
        CodecParams params;
        params.hash_order = 99;
        EXPECT_FALSE(entry_params(field, false, &params));
        EXPECT_EQ(params.hash_order, 99u);  // left as it was
    }
    // The default codec's fields keep the default engine.
    CodecParams params;
    params.engine = CodecEngine::strong;
    ASSERT_TRUE(entry_params(9, false, &params));
    EXPECT_EQ(params.engine, CodecEngine::standard);
}

// Catches a writer that codes a stored type with the strong codec, or that
// names a strong field without being asked.
TEST(EntryCodec, FieldAWriterRecords) {
    const std::string text = "plain words, one line after another\n";
    const auto first = reinterpret_cast<const uint8_t*>(text.data());
    EXPECT_EQ(class_to_write(0, false, first, text.size()), 0);
    EXPECT_EQ(class_to_write(0, true, first, text.size()), 0x109);  // binary by rule, text by content
    EXPECT_EQ(class_to_write(4, true, first, text.size()), 0x104);
    EXPECT_EQ(class_to_write(kStoredClass, true, first, text.size()), kStoredClass);
    const uint8_t binary[] = {0, 1, 2, 0, 255, 7};
    EXPECT_EQ(class_to_write(0, true, binary, sizeof binary), 0x100);
}

}  // namespace
}  // namespace vellum
