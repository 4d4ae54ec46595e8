// Reporting library calls and usage errors, shared by the commands.
#include "command_context.h"

#include <chrono>

#include "console_seam.h"
#include "exit_codes.h"

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int Called(CommandContext& context, const std::string& call, int status, const unsigned char* data, size_t size) {
    if (context.trace) {
        context.trace->Line(status == 0 && data ? '<' : '=', call + " -> " + std::to_string(status), data, size);
    }
    return ExitCodeForStatus(status);
}

int CallFailed(CommandContext& context, const std::string& call, int status) {
    return context.out.Finish(
        ExitCodeForStatus(status), JsonObject().Add("status", status),
        call + " failed with status " + std::to_string(status) +
            (status == BRG40_ERROR_ACCESS_DENIED ? std::string(" (no permission): ") + DeniedAdvice() : ""));
}

int UsageError(CommandContext& context, const std::string& what) {
    return context.out.Finish(kExitUsage, JsonObject(), what + " (brg40 --help)");
}
