#include "archive/command.h"

#include <new>

#include "archive/messages.h"

namespace vellum {

bool prepare_buffers(Command& command) {
    const uint64_t size = block_size_for_setting(command.buffer_setting);
    command.block.reset();
    command.block_size = 0;
    if (size == 0 || size > SIZE_MAX) {
        report(command.reporter, msg::kOutOfMemory, std::to_string(size));
        return false;
    }
    command.block.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (!command.block) {
        report(command.reporter, msg::kOutOfMemory, std::to_string(size) + " bytes");
        return false;
    }
    command.block_size = static_cast<size_t>(size);
    if (!command.codec.begin_operation()) {
        command.block.reset();
        command.block_size = 0;
        report(command.reporter, msg::kOutOfMemory, "codec tables");
        return false;
    }
    command.fill = 0;
    command.totals = CommandTotals{};
    return true;
}

void end_command(Command& command) {
    command.close_archive();
    command.codec.end_operation();
    command.block.reset();
    command.block_size = 0;
    command.fill = 0;
}

}  // namespace vellum
