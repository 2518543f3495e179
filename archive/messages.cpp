#include "archive/messages.h"

namespace vellum {

const MessageText& message_text(MessageId id) {
    using Id = MessageId;
    switch (id) {
        case Id::not_archive: return msg::kNotArchive;
        case Id::incompatible_mode: return msg::kIncompatibleMode;
        case Id::archive_closed: return msg::kArchiveClosed;
        case Id::archive_damaged: return msg::kArchiveDamaged;
        case Id::archive_not_created: return msg::kArchiveNotCreated;
        case Id::archive_exists: return msg::kArchiveExists;
        case Id::source_not_opened: return msg::kSourceNotOpened;
        case Id::archive_write_failed: return msg::kArchiveWriteFailed;
        case Id::source_read_failed: return msg::kSourceReadFailed;
        case Id::source_changed: return msg::kSourceChanged;
        case Id::archive_itself: return msg::kArchiveItself;
        case Id::name_too_long: return msg::kNameTooLong;
        case Id::not_regular_file: return msg::kNotRegularFile;
        case Id::name_would_not_come_back: return msg::kNameWouldNotComeBack;
        case Id::out_of_memory: return msg::kOutOfMemory;
        case Id::meta_not_written: return msg::kMetaNotWritten;
        case Id::archive_busy: return msg::kArchiveBusy;
        case Id::leftover_removed: return msg::kLeftoverRemoved;
        case Id::extract_range_failed: return msg::kExtractRangeFailed;
        case Id::extract_archive_failed: return msg::kExtractArchiveFailed;
        case Id::destination_failed: return msg::kDestinationFailed;
        case Id::output_not_created: return msg::kOutputNotCreated;
        case Id::output_write_failed: return msg::kOutputWriteFailed;
        case Id::kept_existing: return msg::kKeptExisting;
        case Id::damaged_entry: return msg::kDamagedEntry;
        case Id::checksum_mismatch: return msg::kChecksumMismatch;
        case Id::unsafe_path: return msg::kUnsafePath;
        case Id::colon_in_name: return msg::kColonInName;
        case Id::link_in_path: return msg::kLinkInPath;
        case Id::output_is_archive: return msg::kOutputIsArchive;
        case Id::solid_run_broken: return msg::kSolidRunBroken;
        case Id::archive_walk_stopped: return msg::kArchiveWalkStopped;
        case Id::unsafe_link: return msg::kUnsafeLink;
        case Id::link_not_created: return msg::kLinkNotCreated;
        case Id::attributes_not_set: return msg::kAttributesNotSet;
        case Id::meta_unreadable: return msg::kMetaUnreadable;
        case Id::late_checksum_mismatch: return msg::kLateChecksumMismatch;
        case Id::not_an_archive: return msg::kNotAnArchive;
        case Id::list_not_opened: return msg::kListNotOpened;
        case Id::listing_damaged: return msg::kListingDamaged;
        case Id::info_count: return msg::kInfoCount;
        case Id::info_no_archive: return msg::kInfoNoArchive;
        case Id::delete_no_selection: return msg::kDeleteNoSelection;
        case Id::delete_solid: return msg::kDeleteSolid;
        case Id::delete_no_archive: return msg::kDeleteNoArchive;
        case Id::deleted: return msg::kDeleted;
        case Id::archive_deleted: return msg::kArchiveDeleted;
        case Id::delete_source_not_opened: return msg::kDeleteSourceNotOpened;
        case Id::delete_temp_not_created: return msg::kDeleteTempNotCreated;
        case Id::delete_damaged: return msg::kDeleteDamaged;
        case Id::delete_stale: return msg::kDeleteStale;
        case Id::delete_read_failed: return msg::kDeleteReadFailed;
        case Id::delete_write_failed: return msg::kDeleteWriteFailed;
        case Id::delete_replace_failed: return msg::kDeleteReplaceFailed;
        case Id::delete_remove_failed: return msg::kDeleteRemoveFailed;
        case Id::repair_not_opened: return msg::kRepairNotOpened;
        case Id::repair_refused: return msg::kRepairRefused;
        case Id::repair_failed: return msg::kRepairFailed;
    }
    return msg::kDamagedEntry;  // not reached: every id is named above
}

BoxText box_text(const Message& message) {
    const MessageText& m = message_text(message.id);
    return BoxText{m.text ? std::string(m.text) : escaped_name(message.subject), m.caption, m.flags};
}

}  // namespace vellum
