// Opening the converter and reporting library calls, shared by the commands.
#include "command_context.h"

#include "exit_codes.h"

bool OpenConverter(CommandContext& context, Converter& converter, int& code) {
    int count = 0;
    int numbers[9] = {};
    const int found = brg40_find_device(&count, numbers);
    if (context.trace) {
        context.trace->Line('=', "brg40_find_device -> " + std::to_string(found) + " count " + std::to_string(count));
    }
    int number = 0;
    for (int i = 0; found == BRG40_OK && i < count && i < 9; ++i) {
        if (context.args.device == 0 || numbers[i] == context.args.device) {
            number = numbers[i];
            break;
        }
    }
    if (number == 0) {
        code = context.out.Finish(
            kExitNoConverter, JsonObject(),
            context.args.device ? "no converter at " + std::to_string(context.args.device) : "no converter found");
        return false;
    }
    int status = 0;
    converter.handle = brg40_open_ex(number, &status);
    Called(context, "brg40_open_ex(" + std::to_string(number) + ")", status);
    if (converter.handle == nullptr) {
        code = CallFailed(context, "brg40_open_ex", status);
        return false;
    }
    converter.number = number;
    return true;
}

int Called(CommandContext& context, const std::string& call, int status, const unsigned char* data, size_t size) {
    if (context.trace) {
        context.trace->Line(status == 0 && data ? '<' : '=', call + " -> " + std::to_string(status), data, size);
    }
    return ExitCodeForStatus(status);
}

int CallFailed(CommandContext& context, const std::string& call, int status) {
    return context.out.Finish(ExitCodeForStatus(status), JsonObject().Add("status", status),
                              call + " failed with status " + std::to_string(status));
}

int UsageError(CommandContext& context, const std::string& what) {
    return context.out.Finish(kExitUsage, JsonObject(), what + " (brg40 --help)");
}
