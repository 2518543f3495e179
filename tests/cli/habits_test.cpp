// The habits people bring from other archivers: create, -C, a destination that
// is a link, a summary when everything was kept, and a progress line that says
// where it is and how long is left.
#include <sys/stat.h>
#include <unistd.h>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

class HabitsTest : public CliTest {
protected:
    void make_folder() {
        write_file(path("d/a.txt"), text_data(3000, 1));
        write_file(path("d/sub/b.txt"), text_data(5000, 2));
    }
};

// Catches a create that appends to (or replaces) an archive that exists, under
// either spelling of its name, and a create that is not the add it names.
TEST_F(HabitsTest, CreateMakesANewArchiveAndRefusesAnExistingOne) {
    make_folder();
    Result made = vellum({"c", "new", "d"});
    ASSERT_EQ(0, made.status) << made.err;
    EXPECT_TRUE(has(made.out, "Added 2 files")) << made.out;
    EXPECT_EQ(3u, records_of(read_file(path("new.vlm"))).size());  // and the metadata
    const Bytes before = read_file(path("new.vlm"));
    for (const char* name : {"new", "new.vlm"}) {
        Result again = vellum({"create", name, "d"});
        EXPECT_EQ(2, again.status) << name;
        EXPECT_TRUE(has(again.err, "Archive exists: new.vlm")) << again.err;
        EXPECT_EQ("", again.out);
    }
    EXPECT_TRUE(before == read_file(path("new.vlm")));
    Result help = vellum({"c", "--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_TRUE(has(help.out, "vellum create")) << help.out;
}

// Catches -C read as anything but the destination, and two destinations that
// disagree taken silently.
TEST_F(HabitsTest, DashCNamesTheDestination) {
    make_folder();
    ASSERT_EQ(0, vellum({"a", "arc", "d"}).status);
    Result x = vellum({"x", "arc", "-C", "out"});
    ASSERT_EQ(0, x.status) << x.err;
    EXPECT_EQ(file_tree(path("d")), file_tree(path("out/d")));
    EXPECT_EQ(0, vellum({"x", "-Cout2", "arc", "d/a.txt"}).status);
    EXPECT_EQ(1u, file_tree(path("out2")).size());
    Result two = vellum({"x", "-C", "one", "-o", "other", "arc"});
    EXPECT_EQ(2, two.status);
    EXPECT_TRUE(has(two.err, "two destinations")) << two.err;
    EXPECT_FALSE(fs::exists(path("one")) || fs::exists(path("other")));
}

// Catches a destination refused because it is reached through a link, and a
// link below the destination that is then followed.
TEST_F(HabitsTest, ADestinationThatIsALinkToAFolderIsTheFolder) {
    make_folder();
    ASSERT_EQ(0, vellum({"a", "arc", "d"}).status);
    fs::create_directories(path("real"));
    fs::create_directory_symlink("real", path("via"));
    Result x = vellum({"x", "-o", "via", "arc"});
    ASSERT_EQ(0, x.status) << x.err;
    EXPECT_EQ(file_tree(path("d")), file_tree(path("real/d")));
    // A link inside the destination is still never written through.
    fs::remove_all(path("real/d"));
    fs::create_directories(path("elsewhere"));
    fs::create_directory_symlink("../elsewhere", path("real/d"));
    Result through = vellum({"x", "-o", "via", "arc"});
    EXPECT_EQ(1, through.status);
    EXPECT_TRUE(has(through.err, "Link in the path")) << through.err;
    EXPECT_TRUE(file_tree(path("elsewhere")).empty());
}

// Catches an extraction that kept every file and printed nothing, or a summary
// that does not say what became of the files.
TEST_F(HabitsTest, KeepOldFilesSaysHowManyWereKept) {
    make_folder();
    ASSERT_EQ(0, vellum({"a", "arc", "d"}).status);
    ASSERT_EQ(0, vellum({"x", "-o", "out", "arc"}).status);
    Result kept = vellum({"x", "-k", "-o", "out", "arc"});
    EXPECT_EQ(0, kept.status) << kept.err;
    EXPECT_TRUE(has(kept.out, "Extracted 0 files ")) << kept.out;
    EXPECT_TRUE(has(kept.out, "(2 kept: they exist already, --keep-old-files)")) << kept.out;
    fs::remove(path("out/d/a.txt"));
    Result some = vellum({"x", "-k", "-o", "out", "arc"});
    EXPECT_TRUE(has(some.out, "Extracted 1 file ") && has(some.out, "(1 kept")) << some.out;
}

// Catches a progress line that names the file without its folder, or gives no
// time left. The display redraws at every progress event (VELLUM_REDRAW_MS=0),
// so what is seen does not hang on the machine's speed.
TEST_F(HabitsTest, ProgressShowsThePathAndTheTimeLeft) {
    write_file(path("d/deep/noise.bin"), random_data(3000000, 5));
    struct RedrawAtEveryEvent {
        RedrawAtEveryEvent() { setenv("VELLUM_REDRAW_MS", "0", 1); }
        ~RedrawAtEveryEvent() { unsetenv("VELLUM_REDRAW_MS"); }
    } redraw;
    Result shown = run_vellum({"add", "arc", "d"}, dir_, true);
    EXPECT_EQ(0, shown.status);
    EXPECT_TRUE(has(shown.out, "d/deep/noise.bin  ")) << shown.out;
    EXPECT_TRUE(has(shown.out, " left")) << shown.out;
    Result extracted = run_vellum({"x", "-o", "out", "arc"}, dir_, true);
    EXPECT_TRUE(has(extracted.out, "out/d/deep/noise.bin  ")) << extracted.out;
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
