// The emulator's command line: "--name value" pairs and flags, numbers in decimal.
#include "DevSimOptions.h"

#include <cerrno>
#include <cstdlib>

#include "DevSimNames.h"

namespace DevSim {

const char kHelpText[] =
    R"(ostrel-devsim: emulator of a Corvane Ostrel device, for developing and testing Ostrel update.

While it runs, the device is attached: the stand-in TarselUSB.dll built with it reports the device
present (open_dev) and opens the device's pipe PIPE00 for writing (open_file). Every write of the tool
arrives as one message on that named pipe; the emulator records its size and its bytes and never
answers. It is a development tool; nothing of it ships with Ostrel update.

Usage: ostrel-devsim [options]

  --instance NAME    Which device this is, so that several emulators (tests in parallel) do not meet.
                     Letters, digits, '.', '-' and '_', at most 64. Default: the environment variable
                     OSTREL_DEVSIM_INSTANCE, else "default". TarselUSB.dll reads the same variable.
  --capture FILE     Write every byte received to FILE, in order.
  --log FILE         Write one line per received write to FILE: its size in bytes, in decimal.
  --unplug-after N   Once N bytes have been received in all (0: once a client has connected), unplug
                     the device: close the pipe, so that the tool's next write fails, let open_dev
                     report the device absent, and exit.
  --stall-after N    Once N bytes have been received in all (0: once a client has connected), stop
                     reading: the tool's writes block once the pipe's buffer (2048 bytes, one chunk)
                     is full. Stays so, device present, until stopped.
  --throttle RATE    Read at most RATE bytes per second (USB full speed: about 1200000; high speed:
                     40000000 to 53000000). Default: as fast as the tool writes.
  --replug MS        After every download, unplug the device (as --unplug-after does), wait MS
                     milliseconds, then attach it again: the next device of a production run.
  --once             Exit after one download: a client connected, wrote at least one byte and closed.
  --stop             Stop the running emulator of this instance, and exit.
  --help             Show this text.

Without --once the emulator serves download after download until it is stopped: Ctrl-C, closing
its console, or "ostrel-devsim --stop" with the same instance.

Written bytes are counted when the emulator reads them; a write of the tool that succeeded has only
reached the pipe's buffer, which holds one 2048-byte chunk.

Standard output, one line each, flushed at once:
  ostrel-devsim: ready instance=NAME pipe=\\.\pipe\ostrel-devsim-NAME-PIPE00
  ostrel-devsim: download writes=W bytes=B      (when a client that wrote has closed the pipe)
  ostrel-devsim: stalled bytes=B
  ostrel-devsim: unplugged bytes=B
  ostrel-devsim: replugged
  ostrel-devsim: summary downloads=D writes=W bytes=B      (on exit)

Exit status: 0 done; 1 failure (the instance runs already, a file cannot be written, nothing to
stop); 2 bad command line.
)";

namespace {

bool ParseCount(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0;
}

} // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    Options& options = parsed.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--once") {
            options.once = true;
            continue;
        }
        if (name == "--stop") {
            options.stop = true;
            continue;
        }
        if (name == "--help" || name == "-h" || name == "/?") {
            options.help = true;
            continue;
        }

        const bool takesValue = name == "--instance" || name == "--capture" || name == "--log" ||
                                name == "--unplug-after" || name == "--stall-after" || name == "--throttle" ||
                                name == "--replug";
        if (!takesValue) {
            parsed.error = "unknown option " + name;
            return parsed;
        }
        if (i + 1 == args.size()) {
            parsed.error = name + " needs a value";
            return parsed;
        }
        const std::string& value = args[++i];

        if (name == "--instance") {
            if (!IsValidInstance(value)) {
                parsed.error = "--instance: \"" + value + "\" is not a valid name";
                return parsed;
            }
            options.instance = value;
        } else if (name == "--capture") {
            options.capturePath = value;
        } else if (name == "--log") {
            options.logPath = value;
        } else {
            std::uint64_t count = 0;
            if (!ParseCount(value, count) || (name == "--throttle" && count == 0)) {
                parsed.error = name + ": \"" + value + "\" is not a " + (name == "--throttle" ? "positive " : "") +
                               "decimal number";
                return parsed;
            }
            if (name == "--unplug-after")
                options.unplugAfter = count;
            else if (name == "--stall-after")
                options.stallAfter = count;
            else if (name == "--replug")
                options.replugMs = count;
            else
                options.throttle = count;
        }
    }
    return parsed;
}

} // namespace DevSim
