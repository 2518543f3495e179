// The progress window's lines: which text at which place, and when. After each
// file (or entry) the six status lines; inside a large file the same lines again
// at least twice a second, the bar after every step, and a turn for the window
// system so the windows stay alive and Stop is seen.
#include <cinttypes>
#include <cstdio>

#include "app/app_internal.h"
#include "codec/codec_state.h"

namespace vellum {
namespace app {
namespace {

constexpr uint64_t kRedrawMs = 400;  // inside a large file: more than twice a second

template <class... Args>
std::string Formatted(const char* format, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

}  // namespace

double ElapsedSeconds(AppContext& context) {
    return static_cast<double>(context.ui.ClockMs() - context.state.start_time) / 1000.0;
}

CodecState& Codec(AppContext& context) {
    if (!context.codec) context.codec = std::make_unique<CodecState>();
    return *context.codec;
}

// Every message of the core is the box described for it.
void CommandReporter::message(const Message& message) {
    const BoxText box = box_text(message);
    context_.ui.ShowMessage(box.text, box.caption, box.flags);
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

void CommandReporter::DrawLines(const std::string& name, const CommandTotals& totals) {
    using namespace text;
    Line(kLabelX, kFileY, kFileLabel);
    Line(kNameX, kFileY, name);
    Line(kLabelX, kTimeY, Formatted("TIME: %1.3f sec. ", ElapsedSeconds(context_)));
    Line(kLabelX, kFilesY, Formatted("FILES PROCESSED : %d ", static_cast<int>(totals.files_processed)));
    // Extracting, the line labelled PROCESSED shows the archive bytes read and the
    // last line the bytes written out.
    const uint64_t processed = extracting_ ? totals.compressed_total : totals.processed_total;
    const uint64_t second = extracting_ ? totals.processed_total : totals.compressed_total;
    Line(kLabelX, kProcessedY, Formatted("PROCESSED : %" PRIu64 " ", processed));
    Line(kLabelX, kCompressedY,
         Formatted(extracting_ ? "DECOMPRESSED: %" PRIu64 " " : "COMPRESSED: %" PRIu64 " ", second));
    last_draw_ms_ = context_.ui.ClockMs();
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
                 Formatted("PROCESSED : %" PRIu64 " ", event.totals.compressed_total));
            break;
        case ProgressKind::working:
            context_.ui.SetProgressBar(bar_finished_ + event.entry_done, bar_total_);
            if (context_.ui.ClockMs() - last_draw_ms_ >= kRedrawMs) DrawLines(event.name, event.totals);
            else if (context_.ui.PumpAndCheckStop()) context_.stop_requested = true;
            break;
    }
}

}  // namespace app
}  // namespace vellum
