#include "meta/meta_delete.h"

namespace vellum {

void metadata_goes_with_its_files(const std::vector<ListingEntry>& entries, const ArchiveMeta& meta,
                                  std::vector<bool>* gone) {
    const size_t count = entries.size();
    if (gone->size() != count || meta.reserved.size() != count) return;
    // Per metadata entry (by its index among the records): whether a file it
    // describes stays, and whether it describes any file at all.
    std::vector<bool> keeps(meta.texts.size(), false), describes(meta.texts.size(), false);
    bool any_file_stays = false;
    for (size_t i = 0; i < count; ++i) {
        if (meta.reserved[i]) continue;
        if (!(*gone)[i]) any_file_stays = true;
        const MetaRef& ref = meta.of_entry[i];
        if (!ref.valid()) continue;
        describes[ref.text] = true;
        if (!(*gone)[i]) keeps[ref.text] = true;
    }
    if (!any_file_stays) {
        for (size_t i = 0; i < count; ++i)
            if (meta.reserved[i]) (*gone)[i] = true;
        return;
    }
    for (size_t t = 0; t < meta.texts.size(); ++t)
        if (describes[t] && !keeps[t]) (*gone)[meta.text_entry[t]] = true;
}

}  // namespace vellum
