#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace vellum {
namespace {

namespace fs = std::filesystem;

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device seed;
        dir_ = fs::temp_directory_path() /
               ("vellum_platform_" + std::to_string(seed()) + "_" + std::to_string(seed()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    void make_file(const std::string& name, const std::string& content) {
        FILE* f = std::fopen(path(name).c_str(), "wb");
        ASSERT_NE(nullptr, f);
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }

    std::string contents(const std::string& name) {
        std::string text;
        FILE* f = std::fopen(path(name).c_str(), "rb");
        if (f == nullptr) return "<missing>";
        int c;
        while ((c = std::fgetc(f)) != EOF) text += static_cast<char>(c);
        std::fclose(f);
        return text;
    }

    fs::path dir_;
};

TEST_F(PlatformTest, SeekAndTellBeyondFourGiB) {
    const uint64_t far = (uint64_t{5} << 30) + 7;  // past what 32-bit offsets hold
    FILE* f = platform::open_file(path("sparse.bin").c_str(), "wb+");
    ASSERT_NE(nullptr, f);
    ASSERT_TRUE(platform::seek_to(f, far));
    uint64_t position = 0;
    ASSERT_TRUE(platform::tell(f, &position));
    EXPECT_EQ(far, position);
    ASSERT_EQ(1u, std::fwrite("z", 1, 1, f));
    ASSERT_TRUE(platform::seek_to_end(f));
    ASSERT_TRUE(platform::tell(f, &position));
    EXPECT_EQ(far + 1, position);
    ASSERT_TRUE(platform::seek_to(f, far));
    EXPECT_EQ('z', std::fgetc(f));
    std::fflush(f);
    uint64_t size = 0;
    EXPECT_TRUE(platform::file_size(path("sparse.bin").c_str(), &size));
    EXPECT_EQ(far + 1, size);
    ASSERT_TRUE(platform::truncate_file(f, 0));
    std::fclose(f);
}

TEST_F(PlatformTest, FileSize) {
    make_file("a.txt", "abcdef");
    uint64_t size = 0;
    EXPECT_TRUE(platform::file_size(path("a.txt").c_str(), &size));
    EXPECT_EQ(6u, size);
    make_file("empty", "");
    EXPECT_TRUE(platform::file_size(path("empty").c_str(), &size));
    EXPECT_EQ(0u, size);
    EXPECT_FALSE(platform::file_size(path("missing").c_str(), &size));
    EXPECT_FALSE(platform::file_size(dir_.string().c_str(), &size));
}

TEST_F(PlatformTest, CreateFolder) {
    const std::string folder = path("docs");
    EXPECT_FALSE(platform::is_folder(folder.c_str()));
    EXPECT_TRUE(platform::create_folder(folder.c_str()));
    EXPECT_TRUE(platform::is_folder(folder.c_str()));
    EXPECT_TRUE(platform::create_folder(folder.c_str()));  // already there
    make_file("plain", "x");
    EXPECT_FALSE(platform::create_folder(path("plain").c_str()));
    EXPECT_FALSE(platform::is_folder(path("plain").c_str()));
    EXPECT_FALSE(platform::create_folder(path("no/such/parent").c_str()));
}

TEST_F(PlatformTest, ListFolder) {
    make_file("a.txt", "a");
    make_file("b.bin", "");
    fs::create_directory(dir_ / "sub");
    fs::create_directory(dir_ / "empty");
    std::vector<platform::FolderItem> items;
    ASSERT_TRUE(platform::list_folder(dir_.string().c_str(), &items));
    std::sort(items.begin(), items.end(),
              [](const platform::FolderItem& x, const platform::FolderItem& y) { return x.name < y.name; });
    ASSERT_EQ(4u, items.size());
    EXPECT_EQ("a.txt", items[0].name);
    EXPECT_FALSE(items[0].is_folder);
    EXPECT_EQ("b.bin", items[1].name);
    EXPECT_FALSE(items[1].is_folder);
    EXPECT_EQ("empty", items[2].name);
    EXPECT_TRUE(items[2].is_folder);
    EXPECT_EQ("sub", items[3].name);
    EXPECT_TRUE(items[3].is_folder);

    ASSERT_TRUE(platform::list_folder(path("empty").c_str(), &items));
    EXPECT_TRUE(items.empty());
    items.push_back(platform::FolderItem());
    EXPECT_FALSE(platform::list_folder(path("missing").c_str(), &items));
    EXPECT_TRUE(items.empty());
}

TEST_F(PlatformTest, ReplaceFileOverAnExistingOne) {
    make_file("new.tmp", "fresh");
    make_file("target.vlm", "stale contents");
    EXPECT_TRUE(platform::replace_file(path("new.tmp").c_str(), path("target.vlm").c_str()));
    EXPECT_EQ("fresh", contents("target.vlm"));
    EXPECT_EQ("<missing>", contents("new.tmp"));
    EXPECT_FALSE(platform::replace_file(path("new.tmp").c_str(), path("target.vlm").c_str()));
    EXPECT_EQ("fresh", contents("target.vlm"));
}

TEST_F(PlatformTest, RemoveFile) {
    make_file("gone", "x");
    EXPECT_TRUE(platform::remove_file(path("gone").c_str()));
    EXPECT_EQ("<missing>", contents("gone"));
    EXPECT_FALSE(platform::remove_file(path("gone").c_str()));
}

TEST_F(PlatformTest, TruncateOpenFile) {
    make_file("t.bin", std::string(100, 'q'));
    FILE* f = platform::open_file(path("t.bin").c_str(), "rb+");
    ASSERT_NE(nullptr, f);
    ASSERT_TRUE(platform::seek_to(f, 40));
    ASSERT_EQ(1u, std::fwrite("!", 1, 1, f));  // buffered: truncation must flush it first
    EXPECT_TRUE(platform::truncate_file(f, 41));
    ASSERT_TRUE(platform::seek_to_end(f));
    uint64_t end = 0;
    ASSERT_TRUE(platform::tell(f, &end));
    EXPECT_EQ(41u, end);
    std::fclose(f);
    EXPECT_EQ(std::string(40, 'q') + "!", contents("t.bin"));
}

TEST_F(PlatformTest, FolderIdentity) {
    fs::create_directories(dir_ / "a" / "inner");
    fs::create_directory(dir_ / "b");
    platform::FolderId a, a_again, b;
    ASSERT_TRUE(platform::folder_id(path("a").c_str(), &a));
    ASSERT_TRUE(platform::folder_id((dir_ / "a" / "inner" / "..").string().c_str(), &a_again));
    ASSERT_TRUE(platform::folder_id(path("b").c_str(), &b));
    EXPECT_TRUE(platform::same_folder(a, a_again));
    EXPECT_FALSE(platform::same_folder(a, b));
    make_file("plain", "x");
    EXPECT_FALSE(platform::folder_id(path("plain").c_str(), &b));
    EXPECT_FALSE(platform::folder_id(path("missing").c_str(), &b));
}

#ifndef _WIN32
TEST_F(PlatformTest, LinkBackUpTheTreeIsTheSameFolder) {
    fs::create_directories(dir_ / "top" / "down");
    std::error_code ec;
    fs::create_directory_symlink(dir_ / "top", dir_ / "top" / "down" / "loop", ec);
    if (ec) GTEST_SKIP() << "no symbolic links here";
    platform::FolderId top, loop;
    ASSERT_TRUE(platform::folder_id(path("top").c_str(), &top));
    ASSERT_TRUE(platform::folder_id((dir_ / "top" / "down" / "loop").string().c_str(), &loop));
    EXPECT_TRUE(platform::same_folder(top, loop));

    std::vector<platform::FolderItem> items;
    ASSERT_TRUE(platform::list_folder((dir_ / "top" / "down").string().c_str(), &items));
    ASSERT_EQ(1u, items.size());
    EXPECT_TRUE(items[0].is_folder);  // followed like a folder; the identity guards the cycle
}
#endif

}  // namespace
}  // namespace vellum
