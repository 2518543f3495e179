#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "driver_test_support.h"

namespace vellum {
namespace {

using namespace vellum::test;

class Platform : public ::testing::Test {
protected:
    TempFolder tmp;
    std::string path(const std::string& name) const { return (tmp / name).string(); }
    void make(const std::string& name, const std::string& text) { write_file(tmp / name, Bytes(text.begin(), text.end())); }
    std::string text(const std::string& name) const {
        const Bytes b = read_file(tmp / name);
        return fs::exists(tmp / name) ? std::string(b.begin(), b.end()) : "<missing>";
    }
};

// Offsets beyond 4 GiB survive seek, tell and size; truncation flushes pending writes.
TEST_F(Platform, SeekTellSizeAndTruncate) {
    const uint64_t far = (uint64_t{5} << 30) + 7;
    FILE* f = platform::open_file(path("sparse.bin").c_str(), "wb+");
    ASSERT_NE(f, nullptr);
    uint64_t position = 0, size = 0;
    ASSERT_TRUE(platform::seek_to(f, far) && platform::tell(f, &position));
    EXPECT_EQ(position, far);
    ASSERT_EQ(std::fwrite("z", 1, 1, f), 1u);
    ASSERT_TRUE(platform::seek_to_end(f) && platform::tell(f, &position));
    EXPECT_EQ(position, far + 1);
    ASSERT_TRUE(platform::seek_to(f, far));
    EXPECT_EQ(std::fgetc(f), 'z');
    std::fflush(f);
    EXPECT_TRUE(platform::file_size(path("sparse.bin").c_str(), &size));
    EXPECT_EQ(size, far + 1);
    ASSERT_TRUE(platform::seek_to(f, 40));
    ASSERT_EQ(std::fwrite("!", 1, 1, f), 1u);  // still buffered
    EXPECT_TRUE(platform::truncate_file(f, 41));
    ASSERT_TRUE(platform::seek_to_end(f) && platform::tell(f, &position));
    EXPECT_EQ(position, 41u);
    std::fclose(f);
    EXPECT_EQ(text("sparse.bin"), std::string(40, '\0') + "!");
}

TEST_F(Platform, FileSizeReplaceAndRemove) {
    make("target.vlm", "stale contents");
    make("new.tmp", "fresh");
    uint64_t size = 0;
    EXPECT_TRUE(platform::file_size(path("new.tmp").c_str(), &size));
    EXPECT_EQ(size, 5u);
    EXPECT_FALSE(platform::file_size(path("missing").c_str(), &size));
    EXPECT_FALSE(platform::file_size(tmp.path().string().c_str(), &size));
    EXPECT_TRUE(platform::replace_file(path("new.tmp").c_str(), path("target.vlm").c_str()));
    EXPECT_EQ(text("target.vlm"), "fresh");
    EXPECT_EQ(text("new.tmp"), "<missing>");
    EXPECT_FALSE(platform::replace_file(path("new.tmp").c_str(), path("target.vlm").c_str()));
    EXPECT_EQ(text("target.vlm"), "fresh");
    EXPECT_TRUE(platform::remove_file(path("target.vlm").c_str()));
    EXPECT_FALSE(platform::remove_file(path("target.vlm").c_str()));
}

TEST_F(Platform, FoldersListingAndIdentity) {
    const std::string docs = path("docs");
    EXPECT_TRUE(platform::create_folder(docs.c_str()));
    EXPECT_TRUE(platform::create_folder(docs.c_str()));  // already there
    EXPECT_TRUE(platform::is_folder(docs.c_str()));
    make("plain", "x");
    EXPECT_FALSE(platform::create_folder(path("plain").c_str()));
    EXPECT_FALSE(platform::is_folder(path("plain").c_str()));
    EXPECT_FALSE(platform::create_folder(path("no/such/parent").c_str()));
    fs::create_directories(tmp / "docs" / "inner");

    std::vector<platform::FolderItem> items;
    ASSERT_TRUE(platform::list_folder(tmp.path().string().c_str(), &items));
    std::sort(items.begin(), items.end(), [](const auto& x, const auto& y) { return x.name < y.name; });
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(items[0].name == "docs" && items[0].is_folder);
    EXPECT_TRUE(items[1].name == "plain" && !items[1].is_folder);
    EXPECT_FALSE(platform::list_folder(path("missing").c_str(), &items));
    EXPECT_TRUE(items.empty());

    platform::FolderId a, a_again, inner;
    ASSERT_TRUE(platform::folder_id(docs.c_str(), &a));
    ASSERT_TRUE(platform::folder_id((tmp / "docs" / "inner" / "..").string().c_str(), &a_again));
    ASSERT_TRUE(platform::folder_id((tmp / "docs" / "inner").string().c_str(), &inner));
    EXPECT_TRUE(platform::same_folder(a, a_again));
    EXPECT_FALSE(platform::same_folder(a, inner));
    EXPECT_FALSE(platform::folder_id(path("plain").c_str(), &inner));
    EXPECT_FALSE(platform::folder_id(path("missing").c_str(), &inner));
}

#ifndef _WIN32
// A link back up the tree is listed as a folder; its identity is what guards the cycle.
TEST_F(Platform, LinkBackUpTheTreeIsTheSameFolder) {
    fs::create_directories(tmp / "top" / "down");
    std::error_code ec;
    fs::create_directory_symlink(tmp / "top", tmp / "top" / "down" / "loop", ec);
    if (ec) GTEST_SKIP() << "no symbolic links here";
    platform::FolderId top, loop;
    ASSERT_TRUE(platform::folder_id(path("top").c_str(), &top));
    ASSERT_TRUE(platform::folder_id((tmp / "top" / "down" / "loop").string().c_str(), &loop));
    EXPECT_TRUE(platform::same_folder(top, loop));
    std::vector<platform::FolderItem> items;
    ASSERT_TRUE(platform::list_folder((tmp / "top" / "down").string().c_str(), &items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_TRUE(items[0].is_folder);
}
#endif

}  // namespace
}  // namespace vellum
