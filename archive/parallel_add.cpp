#include "archive/parallel_add.h"

#include <cerrno>

#include "archive/held_output.h"
#include "archive/messages.h"
#include "platform/platform.h"

namespace vellum {
namespace {

class AddJob : public PoolJob {
public:
    AddJob(Command& main, OrderedPool& pool, const std::string& source_path,
           const std::string& folder_path, const std::string& file_name, ParallelAdd::Done done)
        : main_(main), source_path_(source_path), done_(std::move(done)) {
        held_.count_in(&pool, this);
        name = file_name;
        head_.folder_path = folder_path;
        head_.file_name = file_name;
    }

    void run(Command& worker) override {
        FILE* source = open_source(*reporter, source_path_, head_.folder_path, head_.file_name, &head_);
        if (!source) {
            skipped_ = true;
            return;
        }
        if (reporter->stop_requested()) {
            std::fclose(source);
            coded_.stopped = true;
            return;
        }
        Sink sink(*this);
        FileInput input(source);
        coded_ = code_record(worker, input, head_, sink);
        std::fclose(source);
    }

    // The oldest record goes to the archive while it is still being coded.
    void tend() override { write_out(); }

    bool settle() override {
        reporter->replay(main_.reporter, main_.totals, [] {});
        AddedFile added;
        if (!skipped_) {
            write_out();
            if (!started_ && !start_record()) {
                report(main_.reporter, msg::kArchiveNotCreated, main_.archive_path, errno);
                added.result = AddResult::failed;
            } else {
                added = settle_record(main_, main_.archive, entry_start_, coded_, write_error_, source_path_, head_);
            }
        }
        done_(added);
        return added.result == AddResult::added || added.result == AddResult::skipped;
    }

    // What the oldest record already wrote is cut off again.
    void abandon() override {
        CodedRecord stopped;
        stopped.stopped = true;
        if (started_) settle_record(main_, main_.archive, entry_start_, stopped, 0, source_path_, head_);
        AddedFile added;
        added.result = AddResult::interrupted;
        done_(added);
    }

private:
    // The worker's output: kept in memory until the command's thread writes it.
    // A record started again (it would have grown) is cut back on that thread
    // before its new bytes are written, as one thread cuts it back at once.
    class Sink : public RecordSink {
    public:
        explicit Sink(AddJob& job) : job_(job) {}
        bool write(const uint8_t* data, size_t size) override {
            job_.held_.keep(data, size);
            return true;
        }
        bool restart() override {
            job_.held_.restart();
            return true;
        }

    private:
        AddJob& job_;
    };

    bool start_record() {
        started_ = true;
        return platform::seek_to_end(main_.archive) && platform::tell(main_.archive, &entry_start_);
    }

    // Writes the bytes coded so far at the archive's end, on the command's thread;
    // a record started again is first cut back to its start. Its length field
    // stays the provisional 0 throughout, so a kill leaves an unfinished last
    // record whatever the moment.
    void write_out() {
        held_.drain(
            [this](const uint8_t* data, size_t size) {
                if (write_error_ == 0 && !started_ && !start_record()) write_error_ = errno ? errno : EIO;
                if (write_error_ == 0 && std::fwrite(data, 1, size, main_.archive) != size)
                    write_error_ = errno ? errno : EIO;
                return true;
            },
            [this] {
                if (write_error_ != 0 || !started_) return;
                if (!platform::truncate_file(main_.archive, entry_start_) ||
                    !platform::seek_to(main_.archive, entry_start_))
                    write_error_ = errno ? errno : EIO;
            });
    }

    Command& main_;
    const std::string source_path_;
    ParallelAdd::Done done_;
    RecordHead head_;
    CodedRecord coded_;
    bool skipped_ = false;

    HeldOutput held_;                           // coded, not yet written

    // The command's thread only.
    bool started_ = false;                      // entry_start_ taken
    uint64_t entry_start_ = 0;
    int write_error_ = 0;                       // the reason the archive could not take the record
};

// A message of the walk (a name refused, the archive itself met): it waits for
// its turn, so it stands between the same files as with one thread.
class NoticeJob : public PoolJob {
public:
    NoticeJob(Command& main, Message message) : main_(main), message_(std::move(message)) {
        name = message_.subject;
    }
    void run(Command&) override {}
    bool settle() override {
        main_.reporter.message(message_);
        return true;
    }

private:
    Command& main_;
    const Message message_;
};

}  // namespace

ParallelAdd::ParallelAdd(Command& command) : command_(command) {
    const unsigned threads = thread_count(command.settings.threads);
    if (threads <= 1 || command.settings.solid || !command.archive || !command.run.block) return;
    pool_ = std::make_unique<OrderedPool>(command, threads);
    command.parallel_add = this;
}

ParallelAdd::~ParallelAdd() {
    finish();
    pool_.reset();
    if (command_.parallel_add == this) command_.parallel_add = nullptr;
}

void ParallelAdd::add(const std::string& source_path, const std::string& folder_path,
                      const std::string& file_name, Done done) {
    pool_->submit(std::make_unique<AddJob>(command_, *pool_, source_path, folder_path, file_name,
                                           std::move(done)));
}

void ParallelAdd::notice(const Message& message) { pool_->submit(std::make_unique<NoticeJob>(command_, message)); }

void ParallelAdd::finish() {
    if (pool_) pool_->finish();
}

void report_in_turn(Command& command, const MessageText& text, const std::string& path, int error) {
    const Message message{text.id, path, error};
    if (command.parallel_add)
        command.parallel_add->notice(message);
    else
        command.reporter.message(message);
}

}  // namespace vellum
