// A small archive must not make the readers allocate by what its heads claim:
// every allocation while a crafted archive of a few dozen bytes is walked,
// listed, opened for adding and extracted stays far below the sizes it claims.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "archive/extract.h"
#include "manage/extract_rows.h"
#include "archive/open_archive.h"
#include "driver_test_support.h"
#include "manage/listing.h"
#include "manage_test_support.h"

namespace {
std::atomic<bool> g_watching{false};
std::atomic<size_t> g_largest{0};

void* counted_malloc(std::size_t size) noexcept {
    if (g_watching.load(std::memory_order_relaxed) && size > g_largest.load())
        g_largest.store(size);
    return std::malloc(size == 0 ? 1 : size);
}
void* counted_allocation(std::size_t size) {
    if (void* p = counted_malloc(size)) return p;
    throw std::bad_alloc();
}
}  // namespace

// Every form the code uses, so each allocation and release pairs malloc and free.
void* operator new(std::size_t size) { return counted_allocation(size); }
void* operator new[](std::size_t size) { return counted_allocation(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted_malloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counted_malloc(size); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace vellum {
namespace {

using namespace vellum::test;

// The largest single allocation made while `work` runs.
template <typename Work>
size_t largest_allocation(Work work) {
    g_largest = 0;
    g_watching = true;
    work();
    g_watching = false;
    return g_largest;
}

TEST(AllocationBound, NameLengthsBeyondTheFileAllocateNothingOfTheirSize) {
    TempFolder tmp;
    RecordingReporter reporter;
    auto codec = std::make_unique<CodecState>();
    struct Case { uint8_t folder_high, name_high; };
    // Folder path length 0xFF00 with nothing after it; a short folder, then a
    // file name length 0xFE00.
    const Case cases[] = {{0xFF, 0}, {0, 0xFE}};
    for (const Case& c : cases) {
        const fs::path archive = tmp / "claims.vlm";
        {
            ArchiveWriter w(archive);
            Bytes head(18, 0);
            head[0] = 200;  // record length
            head[8] = 3;    // original size
            w.raw(head);
            if (c.folder_high) {
                w.raw(Bytes{0, c.folder_high, 'd', '\\'});
            } else {
                w.raw(Bytes{2, 0, 'd', '\\', 0, c.name_high, 'x', 'y'});
            }
        }
        Command command(*codec, reporter);
        command.settings.buffer_setting = 0;
        command.archive_path = archive.string();
        ASSERT_TRUE(prepare_buffers(command));
        const size_t largest = largest_allocation([&] {
            ArchiveListing listing;
            EXPECT_EQ(list_archive(archive.string(), reporter, &listing), ListStatus::incomplete);
            EXPECT_FALSE(extract_all(command, (tmp / "out").string()).ok());
            EXPECT_EQ(check_entry(command, kArchiveHeaderSize), ExtractResult::damaged);
            Command adding(*codec, reporter);
            EXPECT_EQ(open_or_create_archive(adding, archive.string()), OpenResult::damaged);
        });
        end_command(command);
        EXPECT_LT(largest, size_t{16384});
    }
}

}  // namespace
}  // namespace vellum
