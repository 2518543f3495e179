// vellum list and info for people and for scripts.
#include <algorithm>

#include <nlohmann/json.hpp>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

using ListingTest = CliTest;
using nlohmann::json;

// Catches JSON that does not parse, fields that differ from the records, folder
// totals that miss an entry, and a selection that leaks into the document.
TEST_F(ListingTest, JsonDocumentsMatchTheRecords) {
    write_file(path("a.txt"), "abc");
    write_file(path("docs/a.txt"), text_data(4000, 1));
    write_file(path("docs/sub/b.txt"), text_data(6000, 2));
    write_file(path("x.zip"), "PK\x03\x04" + random_data(996, 3));
    ASSERT_EQ(0, vellum({"add", "--no-meta", "--block", "16M", "arc", "a.txt", "docs", "x.zip"}).status);
    const Bytes archive = read_file(path("arc.vlm"));
    const std::vector<Record> r = records_of(archive);
    ASSERT_EQ(4u, r.size());

    Result list = vellum({"list", "--json", "arc"});
    ASSERT_EQ(0, list.status) << list.err;
    const json doc = json::parse(list.out);
    EXPECT_EQ("arc.vlm", doc["archive"]);
    EXPECT_EQ("normal", doc["mode"]);
    EXPECT_EQ(16u << 20, doc["block_size"].get<uint64_t>());
    EXPECT_TRUE(doc["complete"].get<bool>());
    ASSERT_EQ(4u, doc["entries"].size());
    for (size_t i = 0; i < 4; ++i) {
        const json& e = doc["entries"][i];
        EXPECT_EQ(r[i].offset, e["offset"].get<uint64_t>());
        EXPECT_EQ(r[i].length, e["packed_size"].get<uint64_t>());
        EXPECT_EQ(r[i].original_size, e["size"].get<uint64_t>());
        EXPECT_EQ(r[i].folder_path, e["folder_path"]);
        EXPECT_EQ(r[i].file_name, e["file_name"]);
        std::string slashed = r[i].folder_path + r[i].file_name;
        std::replace(slashed.begin(), slashed.end(), '\\', '/');
        EXPECT_EQ(slashed, e["path"]);
    }
    EXPECT_EQ(17, doc["entries"][3]["class"]);
    EXPECT_EQ("stored", doc["entries"][3]["class_name"]);
    ASSERT_EQ(3u, doc["rows"].size());
    const json& folder = doc["rows"][1];
    EXPECT_EQ("folder", folder["kind"]);
    EXPECT_EQ("docs", folder["name"]);
    EXPECT_EQ(2u, folder["entries"].get<uint64_t>());
    EXPECT_EQ(r[1].length + r[2].length, folder["packed_size"].get<uint64_t>());
    EXPECT_EQ(10000u, folder["size"].get<uint64_t>());
    EXPECT_EQ(archive.size() - 12, doc["totals"]["packed_size"].get<uint64_t>());

    Result some = vellum({"list", "--json", "arc", "docs/**"});
    const json part = json::parse(some.out);
    EXPECT_EQ(2u, part["entries"].size());
    EXPECT_FALSE(part.contains("rows"));
    EXPECT_EQ(2u, part["totals"]["entries"].get<uint64_t>());

    Result info = vellum({"info", "--json", "arc"});
    ASSERT_EQ(0, info.status);
    const json facts = json::parse(info.out);
    EXPECT_EQ(4u, facts["entries"].get<uint64_t>());
    EXPECT_EQ(archive.size(), facts["file_size"].get<uint64_t>());
    EXPECT_EQ(1u, facts["buffer_setting"].get<unsigned>());
    EXPECT_EQ(3u + 4000 + 6000 + 1000, facts["size"].get<uint64_t>());
}

// Catches a name that is not UTF-8 breaking the document.
TEST_F(ListingTest, JsonSurvivesNamesThatAreNotUtf8) {
    write_file(path("caf\xE9.txt"), "x");
    ASSERT_EQ(0, vellum({"add", "arc", "caf\xE9.txt"}).status);
    Result list = vellum({"list", "--json", "arc"});
    ASSERT_EQ(0, list.status);
    EXPECT_EQ("caf\xEF\xBF\xBD.txt", json::parse(list.out)["entries"][0]["file_name"]);
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
