// The console flasher's command line: GNU-style long options (--name=value or --name value) and short ones
// (-n 3, -n3, bundled flags as in -rq).
#include "FlashOptions.h"

#include "BoardSerial.h"
#include "CatalogFile.h"
#include "FlashOutcome.h"
#include "JsonLine.h"

namespace {

const char kFlashUsage[] = R"(Usage:
  ostrel-flash [options] IMAGE.hdr
  ostrel-flash --info [--json] [--require-signature] IMAGE.hdr
  ostrel-flash --history [--log=FILE] [--serial=TEXT] [--json]
  ostrel-flash [options] --latest | --image-version=V
  ostrel-flash --list [--json] | --sync[=FOLDER]   [--catalog=URL|FOLDER] [--channel=NAME]
  ostrel-flash --help | --version

Writes a firmware image into a Corvane Ostrel device attached by USB.

  -w, --wait[=SECONDS]  wait for the device to be attached (no SECONDS: no limit); without --wait an absent
                        device fails at once
  -r, --repeat          production mode: wait (no limit) for a device, download, wait for it to be unplugged,
                        then for the next one
  -n, --count=N         with --repeat: stop after N successful downloads (N >= 1)
  -l, --log=FILE        append one JSON line per download attempt to FILE (without it: the folder that
                        the machine policy LogFolder names, if any)
      --json            JSON Lines events on standard output instead of text
  -q, --quiet           no progress output; the result line and errors only
      --require-signature  refuse an image without a valid signature from a trusted signer (IMAGE.hdr.p7s)
      --info            print the image's header fields, SHA-256, checksum and signature; the device is not
                        touched; exits as a download would be refused
      --station=NAME    the bench's name in the log and events (default: the computer's name)
      --operator=NAME   who runs the bench (default: the signed-in user's name)
      --serial=TEXT     the serial of the board of this one download (1 to 64 printable characters)
      --scan            before each download, read the board's serial from standard input (a barcode
                        scanner types it); an empty line or the end of input ends the session
      --allow-repeat-serial
                        flash a board again that the log shows flashed with this image already
      --history         summarize the log (--log, else this computer's default log) per image and per day;
                        with --serial, every attempt for that board, newest first
      --latest          in place of IMAGE.hdr: the newest image of the catalog's channel, from the firmware
                        mirror, fetched and verified first if it is not there
      --image-version=V the catalog's image of version V (older ones too) in place of IMAGE.hdr
      --list            the catalog's images: version, channel, released, size, in the mirror or not
      --sync[=FOLDER]   refresh the mirror (or FOLDER) with the catalog and its channel's newest image; no
                        device is touched
      --catalog=URL|FOLDER  where catalog.json is (else the machine policy Catalog, else the vendor's)
      --channel=NAME    the catalog's channel (else the machine policy Channel, else stable)
  -h, --help            show this text
      --version         show the version
)";

} // namespace

std::string FlashUsage() {
    return kFlashUsage + std::string("\n") + ExitStatusText();
}

namespace {

std::string Narrow(const std::u16string& text) {
    std::string narrow;
    for (const char16_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

// A decimal number that fits 32 bits; no sign, no blanks.
bool ParseNumber(const std::u16string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 10)
        return false;
    std::uint64_t number = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9')
            return false;
        number = number * 10 + static_cast<std::uint64_t>(c - u'0');
    }
    if (number > 0xFFFFFFFFu)
        return false;
    value = static_cast<std::uint32_t>(number);
    return true;
}

class Parser {
public:
    explicit Parser(const std::vector<std::u16string>& args) : m_args(args) {}

    ParsedFlashOptions Run();

private:
    bool Long(const std::u16string& arg);
    bool Short(const std::u16string& arg);
    // The value of an option that needs one: `attached` when there is one, else the next argument.
    bool TakeValue(const std::string& name, const std::optional<std::u16string>& attached, std::u16string& value);
    bool SetWait(const std::optional<std::u16string>& value);
    bool SetCount(const std::u16string& value);
    bool SetImage(const std::u16string& path);
    bool SetName(const std::string& name, const std::u16string& value, std::optional<std::string>& field);
    bool SetSerial(const std::u16string& value);
    bool SetCatalogOption(const std::u16string& name, const std::optional<std::u16string>& value);
    // What each mode allows besides its own options; false with the error when the options do not fit together.
    bool CheckCombination();
    bool Fail(const std::string& error) {
        m_parsed.error = error;
        return false;
    }

    const std::vector<std::u16string>& m_args;
    std::size_t m_next = 0;
    // Where the word after a --wait without a limit stands; none when there was none.
    std::size_t m_bareWaitAt = static_cast<std::size_t>(-1);
    bool m_haveImage = false;
    ParsedFlashOptions m_parsed;
};

ParsedFlashOptions Parser::Run() {
    FlashOptions& options = m_parsed.options;
    bool onlyOperands = false;
    while (m_next < m_args.size()) {
        const std::u16string& arg = m_args[m_next++];
        std::uint32_t seconds = 0;
        // "--wait 30 fw.hdr": the limit is only ever attached, and an image named by a number is no image.
        if (!onlyOperands && m_bareWaitAt == m_next - 1 && ParseNumber(arg, seconds)) {
            Fail("--wait takes its seconds attached: write --wait=" + Narrow(arg) + " or -w" + Narrow(arg));
            return m_parsed;
        }
        bool ok;
        if (onlyOperands || arg.size() < 2 || arg[0] != u'-')
            ok = SetImage(arg);
        else if (arg == u"--")
            ok = onlyOperands = true;
        else if (arg[1] == u'-')
            ok = Long(arg);
        else
            ok = Short(arg);
        if (!ok)
            return m_parsed;
        if (options.mode == FlashMode::Help || options.mode == FlashMode::Version)
            return m_parsed;
    }

    CheckCombination();
    return m_parsed;
}

bool Parser::CheckCombination() {
    const FlashOptions& options = m_parsed.options;
    const bool flashes = options.wait || options.repeat || options.scan || options.allowRepeatSerial ||
                         options.station || options.operatorName;
    const bool catalogImage = options.latest || options.imageVersion;
    if (options.mode == FlashMode::List || options.mode == FlashMode::Sync) {
        if (m_haveImage || catalogImage || flashes || !options.logPath.empty() || options.serial)
            return Fail("--list and --sync take only --catalog, --channel, --json and --quiet");
        return true;
    }
    if ((options.catalog || options.channel) && !catalogImage)
        return Fail("--catalog and --channel need --latest, --image-version, --list or --sync");
    if (options.mode == FlashMode::History) {
        if (m_haveImage)
            return Fail("--history takes no image");
        if (flashes)
            return Fail("--history takes only --log, --serial and --json");
        return true;
    }
    if (options.latest && options.imageVersion)
        return Fail("--latest and --image-version exclude each other");
    if (m_haveImage && catalogImage)
        return Fail("an image file and --latest or --image-version exclude each other");
    if (!m_haveImage && !catalogImage)
        return Fail("no image file given");
    if (options.mode == FlashMode::Info && (flashes || !options.logPath.empty() || options.serial))
        return Fail("--info takes only --json and --require-signature besides the image");
    if (options.count && !options.repeat)
        return Fail("--count needs --repeat");
    if (options.serial && options.scan)
        return Fail("--serial and --scan exclude each other");
    if (options.serial && options.repeat)
        return Fail("--serial names the board of one download: with --repeat use --scan");
    return true;
}

bool Parser::Long(const std::u16string& arg) {
    const std::size_t equals = arg.find(u'=');
    const std::u16string name = arg.substr(0, equals);
    std::optional<std::u16string> value;
    if (equals != std::u16string::npos)
        value = arg.substr(equals + 1);
    FlashOptions& options = m_parsed.options;

    const bool takesNoValue = name == u"--repeat" || name == u"--json" || name == u"--quiet" || name == u"--info" ||
                              name == u"--help" || name == u"--version" || name == u"--scan" ||
                              name == u"--allow-repeat-serial" || name == u"--history" ||
                              name == u"--require-signature" || name == u"--latest" || name == u"--list";
    if (takesNoValue && value)
        return Fail(Narrow(name) + " takes no value");
    std::u16string text;
    if (name == u"--wait")
        return SetWait(value);
    if (name == u"--count")
        return TakeValue("--count", value, text) && SetCount(text);
    if (name == u"--log") {
        if (!TakeValue("--log", value, options.logPath))
            return false;
        return !options.logPath.empty() || Fail("--log needs a file name");
    }
    if (name == u"--station")
        return TakeValue("--station", value, text) && SetName("--station", text, options.station);
    if (name == u"--operator")
        return TakeValue("--operator", value, text) && SetName("--operator", text, options.operatorName);
    if (name == u"--serial")
        return TakeValue("--serial", value, text) && SetSerial(text);
    if (name == u"--catalog" || name == u"--channel" || name == u"--image-version" || name == u"--sync")
        return SetCatalogOption(name, value);
    if (name == u"--repeat")
        options.repeat = true;
    else if (name == u"--latest")
        options.latest = true;
    else if (name == u"--list")
        options.mode = FlashMode::List;
    else if (name == u"--scan")
        options.scan = true;
    else if (name == u"--allow-repeat-serial")
        options.allowRepeatSerial = true;
    else if (name == u"--history")
        options.mode = FlashMode::History;
    else if (name == u"--json")
        options.json = true;
    else if (name == u"--quiet")
        options.quiet = true;
    else if (name == u"--info")
        options.mode = FlashMode::Info;
    else if (name == u"--require-signature")
        options.requireSignature = true;
    else if (name == u"--help")
        options.mode = FlashMode::Help;
    else if (name == u"--version")
        options.mode = FlashMode::Version;
    else
        return Fail("unknown option " + Narrow(name));
    return true;
}

bool Parser::Short(const std::u16string& arg) {
    FlashOptions& options = m_parsed.options;
    for (std::size_t i = 1; i < arg.size(); ++i) {
        const char16_t letter = arg[i];
        std::optional<std::u16string> rest;
        if (i + 1 < arg.size())
            rest = arg.substr(i + 1);
        std::u16string text;
        switch (letter) {
        case u'r':
            options.repeat = true;
            break;
        case u'q':
            options.quiet = true;
            break;
        case u'h':
            options.mode = FlashMode::Help;
            return true;
        case u'w':
            return SetWait(rest);
        case u'n':
            return TakeValue("-n", rest, text) && SetCount(text);
        case u'l':
            return TakeValue("-l", rest, options.logPath) && (!options.logPath.empty() || Fail("-l needs a file name"));
        default:
            return Fail("unknown option -" + Narrow(std::u16string(1, letter)));
        }
    }
    return true;
}

bool Parser::TakeValue(const std::string& name, const std::optional<std::u16string>& attached, std::u16string& value) {
    if (attached) {
        value = *attached;
        return true;
    }
    if (m_next == m_args.size())
        return Fail(name + " needs a value");
    value = m_args[m_next++];
    return true;
}

// The limit is optional, so it is only ever attached (--wait=5, -w5): a separate word is the image.
bool Parser::SetWait(const std::optional<std::u16string>& value) {
    FlashOptions& options = m_parsed.options;
    options.wait = true;
    if (!value) {
        m_bareWaitAt = m_next;
        return true;
    }
    std::uint32_t seconds = 0;
    if (!ParseNumber(*value, seconds))
        return Fail("--wait: \"" + Narrow(*value) + "\" is not a number of seconds");
    options.waitSeconds = seconds;
    return true;
}

bool Parser::SetCount(const std::u16string& value) {
    std::uint32_t count = 0;
    if (!ParseNumber(value, count) || count == 0)
        return Fail("--count: \"" + Narrow(value) + "\" is not a number of at least 1");
    m_parsed.options.count = count;
    return true;
}

bool Parser::SetName(const std::string& name, const std::u16string& value, std::optional<std::string>& field) {
    const std::string text = Utf16ToUtf8(value);
    if (TrimSerialLine(text).empty())
        return Fail(name + " needs a name");
    field = text;
    return true;
}

bool Parser::SetSerial(const std::u16string& value) {
    const std::string serial = Utf16ToUtf8(value);
    const std::string problem = SerialProblem(serial);
    if (!problem.empty())
        return Fail("--serial: \"" + Narrow(value) + "\" is not a serial: " + problem);
    m_parsed.options.serial = serial;
    return true;
}

bool Parser::SetCatalogOption(const std::u16string& name, const std::optional<std::u16string>& value) {
    FlashOptions& options = m_parsed.options;
    // The folder is optional, so it is only ever attached (--sync=FOLDER): a separate word would be an image.
    if (name == u"--sync") {
        options.mode = FlashMode::Sync;
        if (value && value->empty())
            return Fail("--sync= needs a folder");
        options.mirror = value;
        return true;
    }
    std::u16string text;
    if (!TakeValue(Narrow(name), value, text))
        return false;
    if (text.empty())
        return Fail(Narrow(name) + " needs a value");
    if (name == u"--catalog")
        options.catalog = text;
    else if (name == u"--channel")
        options.channel = Utf16ToUtf8(text);
    else if (IsDottedVersion(Utf16ToUtf8(text)))
        options.imageVersion = Utf16ToUtf8(text);
    else
        return Fail("--image-version: \"" + Narrow(text) + "\" is not a version of dotted numbers");
    return true;
}

bool Parser::SetImage(const std::u16string& path) {
    if (m_haveImage)
        return Fail("more than one image file given");
    m_haveImage = true;
    m_parsed.options.image = path;
    return true;
}

} // namespace

ParsedFlashOptions ParseFlashOptions(const std::vector<std::u16string>& args) {
    return Parser(args).Run();
}
