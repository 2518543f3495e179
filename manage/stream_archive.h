// An archive read front to back from a stream that cannot seek (standard input):
// listed, tested or extracted in one pass. Each record's head is read in turn
// (archive/stream_walk.h); a wanted entry is decoded from the stream as it goes
// by, the others are read over (in a solid archive they are decoded without a
// sink, to keep its run in step). One thread decodes: the stream has one reader.
//
// A command's metadata entry comes after its files, so what it holds comes
// after the fact: each file takes its place as soon as it has decoded; when the
// metadata entry arrives, every file it describes is compared with its checksum
// (a file that differs is removed again and reported as damaged, and the count
// of files written goes down) and given its mode and time; the folders and links
// are made once the stream has ended.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "archive/command.h"
#include "manage/listing.h"
#include "meta/archive_meta.h"
#include "meta/extract_run.h"

namespace vellum {

struct StreamRequest {
    // Target, destination or stream, keep_old, absolute_links and `takes` (the
    // folders and links of the metadata to make; none given: every one when
    // `wants` is empty) as for run_extraction; `wanted` is not used.
    ExtractRequest extract;
    // True for the file entries to extract; empty: every one.
    std::function<bool(const ListingEntry& entry)> wants;
    // Only the listing: every data byte is read over, only metadata is decoded.
    bool list_only = false;
};

struct StreamResult {
    ArchiveListing listing;  // the header, every whole record and the rows, its status
    ArchiveMeta meta;
    ExtractReport report;
};

// Reads the archive from `in`, which stands at its first byte. `name` names it
// in messages. The command takes the archive's mode and block size from its
// header and decodes on its own thread. False when nothing could be read: not an
// archive (listing.status says so; the caller names the stream), or no memory
// for the buffers (reported).
bool read_archive_stream(Command& command, FILE* in, const std::string& name, const StreamRequest& request,
                         StreamResult* out);

}  // namespace vellum
