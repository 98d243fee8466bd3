// ostrel-flash.exe: the console flasher's entry point, with the command line in UTF-16.
#include <string>
#include <vector>

#include <windows.h>

#include "CatalogCommands.h"
#include "ConsoleInterrupt.h"
#include "ConsoleOutput.h"
#include "FlashSession.h"
#include "SystemLibrary.h"
#include "version.h"

int wmain(int argc, wchar_t** argv) {
    // Of what lies beside the program, only the driver library is ever loaded; and a script must never wait on a
    // system dialog.
    LoadLibrariesFromSystemFolderOnly();
    SetErrorMode(SetErrorMode(0) | SEM_NOOPENFILEERRORBOX);

    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    ConsoleOutput output;
    const ParsedFlashOptions parsed = ParseFlashOptions(args);
    if (!parsed.error.empty()) {
        output.Err("ostrel-flash: " + parsed.error + " (see ostrel-flash --help)\n");
        return ExitCode::kUsage;
    }
    FlashOptions options = parsed.options;
    if (options.mode == FlashMode::Help) {
        output.Out(FlashUsage());
        return ExitCode::kOk;
    }
    if (options.mode == FlashMode::Version) {
        output.Out("ostrel-flash " OSTREL_VERSION_TEXT "\n");
        return ExitCode::kOk;
    }

    FlashReporter reporter(output, {options.json, options.quiet, output.OutIsConsole()});
    // Before Ctrl+C is taken over: until a device is written, it simply ends the program.
    if (options.UsesCatalog()) {
        if (const std::optional<int> code = CatalogCommands(options, reporter).Run(options))
            return *code;
    }
    ConsoleInterrupt interrupt;
    interrupt.Install();
    SessionEndWindow sessionEnd;
    if (options.mode == FlashMode::Flash)
        sessionEnd.Start();
    FlashSession session(options, reporter, interrupt, sessionEnd);
    const int code = options.mode == FlashMode::Info      ? session.Info()
                     : options.mode == FlashMode::History ? session.History()
                                                          : session.Run();
    interrupt.Done(code);
    return code;
}
