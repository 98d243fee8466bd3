// The console flasher's events as text or JSON lines.
#include "FlashReporter.h"

namespace {

constexpr char kProgramPrefix[] = "ostrel-flash: ";
constexpr char kPartialImageWarning[] = "the device now holds an incomplete image: flash it again before it is used";
// Seconds and rates carry milliseconds: enough for a benchmark to compare runs.
constexpr int kSecondsDecimals = 3;

JsonLine& AddFigures(JsonLine& line, const TransferFigures& figures) {
    return line.AddNumber("bytes", figures.bytes)
        .AddNumber("total", figures.total)
        .AddFixed("seconds", figures.seconds, kSecondsDecimals)
        .AddNumber("rate", figures.Rate());
}

} // namespace

FlashReporter::FlashReporter(OutputSink& sink, Style style) : m_sink(sink), m_style(style) {}

JsonLine FlashReporter::Event(const char* name) const {
    JsonLine line;
    line.Add("event", name);
    return AddIdentity(line, m_identity);
}

void FlashReporter::Image(const ImageFacts& facts, bool detailed) {
    if (m_style.json) {
        JsonLine line = Event("image");
        m_sink.Out(AddImageFields(line, facts).Line());
    } else if (detailed) {
        m_sink.Out(InfoText(facts));
    } else if (!m_style.quiet) {
        std::string text = "image " + facts.path + ": " + FlashKindName(facts.header.FlashKind());
        if (const auto date = ImageDate(facts.header))
            text += " dated " + *date;
        if (facts.size)
            text += ", " + std::to_string(*facts.size) + " bytes";
        if (facts.sha256)
            text += ", sha256 " + *facts.sha256;
        m_sink.Out(text + "\n");
    }
}

void FlashReporter::Waiting(std::optional<std::uint32_t> limitSeconds) {
    if (m_style.json) {
        JsonLine line = Event("waiting");
        if (limitSeconds)
            line.AddNumber("limit", *limitSeconds);
        else
            line.AddNull("limit");
        m_sink.Out(line.Line());
    } else if (!m_style.quiet) {
        m_sink.Out(limitSeconds ? "waiting up to " + std::to_string(*limitSeconds) + " s for a device...\n"
                                : std::string("waiting for a device...\n"));
    }
}

void FlashReporter::Device(std::uint32_t device) {
    m_pacer.emplace(m_style.json      ? ProgressPacer::Style::Percent
                    : m_style.console ? ProgressPacer::Style::Console
                                      : ProgressPacer::Style::Steps);
    m_progressWidth = 0;
    if (m_style.json) {
        JsonLine line = Event("device");
        if (device > 0)
            line.AddNumber("device", device);
        m_sink.Out(line.Line());
    } else if (!m_style.quiet) {
        m_sink.Out(Numbered(device, "device attached, downloading\n"));
    }
}

void FlashReporter::Progress(const TransferFigures& figures) {
    if (m_style.quiet || !m_pacer || !m_pacer->Due(figures))
        return;
    if (m_style.json) {
        JsonLine line = Event("progress");
        line.AddNumber("percent", figures.Percent());
        m_sink.Out(AddFigures(line, figures).Line());
    } else if (m_style.console) {
        std::string text = ProgressText(figures);
        const std::size_t width = text.size();
        // Blanks over what a longer earlier line left.
        if (width < m_progressWidth)
            text += std::string(m_progressWidth - width, ' ');
        m_progressWidth = width;
        m_sink.Out("\r" + text);
    } else {
        m_sink.Out(ProgressText(figures) + "\n");
    }
}

void FlashReporter::Result(std::uint32_t device, RunEnd end, const TransferFigures& figures) {
    const bool ok = end == RunEnd::Written;
    if (m_style.json) {
        JsonLine line = Event("result");
        if (device > 0)
            line.AddNumber("device", device);
        line.AddBool("ok", ok).Add("result", LogResultOf(end));
        if (ok)
            line.AddNull("reason");
        else
            line.Add("reason", ReasonOf(end));
        m_sink.Out(AddFigures(line, figures).Line());
    } else {
        EndProgressLine();
        // A refused start sent nothing: its error line says all.
        if (ok || figures.bytes > 0 || LeavesPartialImage(end))
            m_sink.Out(Numbered(device, ResultText(ok, figures) + "\n"));
    }
    if (!ok)
        Error(ReasonOf(end));
    // Nothing sent, nothing lost: a stop before the first write leaves the device as it was.
    if (LeavesPartialImage(end) && figures.bytes > 0)
        Error(kPartialImageWarning);
}

void FlashReporter::Unplug() {
    if (m_style.json)
        m_sink.Out(Event("unplug").Line());
    else if (!m_style.quiet)
        m_sink.Out("unplug the device to go on with the next one\n");
}

void FlashReporter::ScanPrompt() {
    if (m_style.json) {
        m_sink.Out(Event("scan").Line());
    } else {
        EndProgressLine();
        m_sink.Out("scan or type the serial of the next board, Enter on an empty line to stop\n");
    }
}

void FlashReporter::Summary(const SessionTally& tally) {
    if (m_style.json) {
        JsonLine line = Event("summary");
        m_sink.Out(line.AddNumber("ok", tally.ok)
                       .AddNumber("failed", tally.failed)
                       .AddNumber("refused", tally.refused)
                       .Line());
    } else {
        EndProgressLine();
        // Refusals only come with serials; a session without them reads as it always did.
        const std::string refused = tally.refused ? ", " + std::to_string(tally.refused) + " refused" : "";
        m_sink.Out("summary: " + std::to_string(tally.ok) + " ok, " + std::to_string(tally.failed) + " failed" +
                   refused + "\n");
    }
}

void FlashReporter::Error(const std::string& text) {
    EndProgressLine();
    m_sink.Err(kProgramPrefix + text + "\n");
}

std::string FlashReporter::Numbered(std::uint32_t device, const std::string& text) const {
    return device > 0 ? "device " + std::to_string(device) + ": " + text : text;
}

void FlashReporter::EndProgressLine() {
    if (m_progressWidth > 0 && !m_style.json)
        m_sink.Out("\n");
    m_progressWidth = 0;
}
