// ostrel-flash.exe: the console flasher's entry point, with the command line in UTF-16.
#include <string>
#include <vector>

#include <windows.h>

#include "ConsoleInterrupt.h"
#include "ConsoleOutput.h"
#include "FlashSession.h"
#include "version.h"

int wmain(int argc, wchar_t** argv) {
    // A script must never wait on a system dialog; and the driver library is looked for beside the program and
    // in the system's folders, never in the current folder.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    SetDllDirectoryW(L"");

    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    ConsoleOutput output;
    const ParsedFlashOptions parsed = ParseFlashOptions(args);
    if (!parsed.error.empty()) {
        output.Err("ostrel-flash: " + parsed.error + " (see ostrel-flash --help)\n");
        return ExitCode::kUsage;
    }
    const FlashOptions& options = parsed.options;
    if (options.mode == FlashMode::Help) {
        output.Out(kFlashUsage);
        return ExitCode::kOk;
    }
    if (options.mode == FlashMode::Version) {
        output.Out("ostrel-flash " OSTREL_VERSION_TEXT "\n");
        return ExitCode::kOk;
    }

    ConsoleInterrupt interrupt;
    interrupt.Install();
    FlashReporter reporter(output, {options.json, options.quiet, output.OutIsConsole()});
    FlashSession session(options, reporter, interrupt);
    const int code = options.mode == FlashMode::Info      ? session.Info()
                     : options.mode == FlashMode::History ? session.History()
                                                          : session.Run();
    interrupt.Done();
    return code;
}
