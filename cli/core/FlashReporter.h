// What the console flasher tells its user: events as plain text or as JSON lines, errors in plain English.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "FlashOutcome.h"
#include "ImageFacts.h"
#include "ProgressLine.h"
#include "RunRecord.h"

// Where the text goes: standard output and standard error, in UTF-8.
class OutputSink {
public:
    virtual void Out(const std::string& utf8) = 0;
    virtual void Err(const std::string& utf8) = 0;

protected:
    ~OutputSink() = default;
};

class FlashReporter {
public:
    struct Style {
        bool json = false;
        bool quiet = false;
        // Standard output is a console: the progress line is rewritten in place.
        bool console = false;
    };
    FlashReporter(OutputSink& sink, Style style);

    // Station, operator and serial, which every JSON event carries from now on.
    void SetIdentity(const RunIdentity& identity) { m_identity = identity; }
    void SetSerial(const std::optional<std::string>& serial) { m_identity.serial = serial; }

    // `detailed`: every field, one per line (--info); else one line before a download.
    void Image(const ImageFacts& facts, bool detailed);
    void Waiting(std::optional<std::uint32_t> limitSeconds);
    // `device` counts the devices of a --repeat session from 1; 0 outside one.
    void Device(std::uint32_t device);
    void Progress(const TransferFigures& figures);
    void Result(std::uint32_t device, RunEnd end, const TransferFigures& figures);
    void Unplug();
    // Asks for the next board's serial.
    void ScanPrompt();
    void Summary(const SessionTally& tally);
    void Error(const std::string& text);
    // Text of its own, such as a look back over the log, as it is.
    void Print(const std::string& text) { m_sink.Out(text); }

private:
    JsonLine Event(const char* name) const;
    std::string Numbered(std::uint32_t device, const std::string& text) const;
    // Ends a progress line that a console shows, so that the next text starts on a line of its own.
    void EndProgressLine();

    OutputSink& m_sink;
    Style m_style;
    RunIdentity m_identity;
    std::optional<ProgressPacer> m_pacer;
    std::size_t m_progressWidth = 0;
};
