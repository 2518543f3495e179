// The progress window's lines: which text at which place, and when. When a file
// (or entry) is taken up, its name on the FILE line; after each one the six
// status lines; inside a large file the same lines again at least twice a
// second, with the counters of the file in work, the bar after every step, and a
// turn for the window system so the windows stay alive and Stop is seen.
#include <cinttypes>
#include <cstdio>

#include "app/app_internal.h"
#include "codec/codec_state.h"

namespace vellum {
namespace app {
namespace {

constexpr uint64_t kRedrawMs = 400;  // inside a large file: more than twice a second
constexpr size_t kListedNotices = 20;  // lines of the box that lists several notices

template <class... Args>
std::string Formatted(const char* format, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

std::string NoticeLine(const EntryNotice& notice) {
    return notice.text.empty() ? notice.caption : notice.caption + ": " + notice.text;
}

}  // namespace

double ElapsedSeconds(AppContext& context) {
    return static_cast<double>(context.ui.ClockMs() - context.state.start_time) / 1000.0;
}

CodecState& Codec(AppContext& context) {
    if (!context.codec) context.codec = std::make_unique<CodecState>();
    return *context.codec;
}

std::string SummaryAddition(bool stopped, size_t failed, const std::vector<EntryNotice>& notices) {
    std::string addition;
    if (stopped) addition += "\nStopped before the end.";
    if (failed > 0) {
        addition += "\n" + std::to_string(failed) + (failed == 1 ? " entry" : " entries") + " failed";
        if (!notices.empty()) addition += "; the first: " + NoticeLine(notices.front());
        addition += ".";
    }
    return addition;
}

// While the command runs nothing stops it for a box: what the core says is kept
// and shown once the command's summary is made (without the time boxes take).
// Every message of the core is the box described for it.
void CommandReporter::message(const Message& message) {
    const BoxText box = box_text(message);
    if (context_.running) {
        notices_.push_back(EntryNotice{box.text, box.caption, box.flags});
        return;
    }
    ShowBox(context_, box.text, box.caption, box.flags);
}

void CommandReporter::ShowEntryNotices() {
    if (notices_.size() == 1) {
        ShowBox(context_, notices_[0].text, notices_[0].caption, notices_[0].flags);
    } else if (notices_.size() > 1) {
        std::string text = std::to_string(notices_.size()) + " entries were not done:";
        for (size_t i = 0; i < notices_.size() && i < kListedNotices; ++i) text += "\n" + NoticeLine(notices_[i]);
        if (notices_.size() > kListedNotices)
            text += "\n... and " + std::to_string(notices_.size() - kListedNotices) + " more.";
        ShowBox(context_, text, "Warning", kIconWarning);
    }
    notices_.clear();
}

bool CommandReporter::stop_requested() {
    if (open_ && context_.ui.PumpAndCheckStop()) context_.stop_requested = true;
    return context_.stop_requested;
}

void CommandReporter::OpenWindow(const std::string& archive_path, uint64_t total) {
    context_.ui.OpenProgress(ProgressWindowSpec{});
    open_ = true;
    bar_total_ = total;
    bar_finished_ = 0;
    last_name_.clear();
    last_draw_ms_ = context_.ui.ClockMs();
    Line(text::kArchiveLabelX, text::kArchiveY, text::kArchiveLabel);
    Line(text::kArchivePathX, text::kArchiveY, archive_path);
    context_.ui.SetProgressBar(0, bar_total_);
}

void CommandReporter::CloseWindow() {
    if (!open_) return;
    context_.ui.CloseProgress();
    open_ = false;
}

void CommandReporter::Line(int x, int y, const std::string& text) {
    if (!open_) return;
    context_.ui.DrawProgressLine(x, y, text);
    if (context_.ui.PumpAndCheckStop()) context_.stop_requested = true;
}

// processed and second are the numbers of the PROCESSED line and of the last one.
void CommandReporter::DrawLines(const std::string& name, uint64_t processed, uint64_t second,
                                uint32_t files) {
    using namespace text;
    Line(kLabelX, kFileY, kFileLabel);
    Line(kNameX, kFileY, name);
    last_name_ = name;
    Line(kLabelX, kTimeY, Formatted("TIME: %1.3f sec. ", ElapsedSeconds(context_)));
    Line(kLabelX, kFilesY, Formatted("FILES PROCESSED : %d ", static_cast<int>(files)));
    Line(kLabelX, kProcessedY, Formatted("PROCESSED : %" PRIu64 " ", processed));
    Line(kLabelX, kCompressedY,
         Formatted(extracting_ ? "DECOMPRESSED: %" PRIu64 " " : "COMPRESSED: %" PRIu64 " ", second));
    last_draw_ms_ = context_.ui.ClockMs();
}

// Extracting, the line labelled PROCESSED shows the archive bytes read and the
// last line the bytes written out.
void CommandReporter::DrawLines(const std::string& name, const CommandTotals& totals) {
    DrawLines(name, extracting_ ? totals.compressed_total : totals.processed_total,
              extracting_ ? totals.processed_total : totals.compressed_total, totals.files_processed);
}

void CommandReporter::progress(const ProgressEvent& event) {
    if (!open_) return;
    switch (event.kind) {
        case ProgressKind::file_compressed:
        case ProgressKind::entry_extracted:
            bar_finished_ += event.entry_size;
            context_.ui.SetProgressBar(bar_finished_, bar_total_);
            DrawLines(event.name, event.totals);
            context_.ui.RepaintMain();
            break;
        case ProgressKind::block_extracted:
            Line(text::kLabelX, text::kProcessedY,
                 Formatted("PROCESSED : %" PRIu64 " ", event.totals.compressed_total + event.entry_packed));
            break;
        case ProgressKind::working: {
            context_.ui.SetProgressBar(bar_finished_ + event.entry_done, bar_total_);
            // The file in work counts in the counters as far as it has got, so they
            // move with the bar; its name shows as soon as its work begins.
            const CommandTotals& t = event.totals;
            const uint64_t read = extracting_ ? t.compressed_total + event.entry_packed
                                              : t.processed_total + event.entry_done;
            const uint64_t made = extracting_ ? t.processed_total + event.entry_done
                                              : t.compressed_total + event.entry_packed;
            if (event.name != last_name_ || context_.ui.ClockMs() - last_draw_ms_ >= kRedrawMs)
                DrawLines(event.name, read, made, t.files_processed);
            else if (context_.ui.PumpAndCheckStop())
                context_.stop_requested = true;
            break;
        }
    }
}

}  // namespace app
}  // namespace vellum
