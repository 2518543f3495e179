#include "archive/command.h"

#include "archive/messages.h"

namespace vellum {

bool prepare_buffers(Command& command) {
    const uint64_t size = block_size_for_setting(command.settings.buffer_setting);
    end_run(command.run);
    if (size == 0 || size > SIZE_MAX) {
        report(command.reporter, msg::kOutOfMemory, std::to_string(size));
        return false;
    }
    const RunMode mode = command.settings.solid ? RunMode::solid : RunMode::normal;
    if (!start_run(command.run, mode, static_cast<size_t>(size))) {
        report(command.reporter, msg::kOutOfMemory, std::to_string(size) + " bytes");
        return false;
    }
    if (!command.codec.begin_operation()) {
        end_run(command.run);
        report(command.reporter, msg::kOutOfMemory, "codec tables");
        return false;
    }
    command.totals = CommandTotals{};
    return true;
}

void end_command(Command& command) {
    command.close_archive();
    command.codec.end_operation();
    end_run(command.run);
}

}  // namespace vellum
