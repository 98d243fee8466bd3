// The log record: one JSON line per download attempt, written and read back.
#include "RunRecord.h"

#include "LogLines.h"

namespace {

// Seconds carry milliseconds: enough for a benchmark to compare runs.
constexpr int kSecondsDecimals = 3;
// Every line we write begins so: the id is its first member.
constexpr std::string_view kRecordStart = "{\"id\":";

} // namespace

JsonLine& AddIdentity(JsonLine& line, const RunIdentity& identity) {
    return line.Add("station", identity.station).Add("operator", identity.operatorName).Add("serial", identity.serial);
}

std::string RunRecordLine(const RunRecord& record) {
    JsonLine line;
    line.Add("id", record.id).Add("time", record.time).Add("front", record.front).Add("version", record.version);
    line.Add("host", record.host);
    AddIdentity(line, record.identity);
    AddImageFields(line, record.image);
    if (record.device > 0)
        line.AddNumber("device", record.device);
    line.Add("result", record.result);
    if (record.reason.empty())
        line.AddNull("reason");
    else
        line.Add("reason", record.reason);
    line.AddNumber("bytes", record.bytes).AddFixed("seconds", record.seconds, kSecondsDecimals);
    line.AddNumber("rate", record.rate);
    return line.Line();
}

std::optional<RunRecord> ParseRunRecord(std::string_view line) {
    JsonValue object = ParseJsonLine(line);
    // A line appended to one cut short, by a version that did not end the cut line first: the last record start
    // in it is whole.
    if (!object.is_object()) {
        const std::size_t last = line.rfind(kRecordStart);
        if (last == 0 || last == std::string_view::npos)
            return std::nullopt;
        object = ParseJsonLine(line.substr(last));
        if (!object.is_object())
            return std::nullopt;
    }
    const auto textOf = [&](const char* key) { return JsonStringMember(object, key).value_or(""); };
    RunRecord record;
    record.id = textOf("id");
    record.time = textOf("time");
    record.front = textOf("front");
    record.version = textOf("version");
    record.host = textOf("host");
    record.identity = {textOf("station"), textOf("operator"), JsonStringMember(object, "serial")};
    record.image.path = textOf("image");
    if (const auto size = JsonNumberMember(object, "size"); size && *size <= 0xFFFFFFFFu)
        record.image.size = static_cast<std::uint32_t>(*size);
    record.image.sha256 = JsonStringMember(object, "sha256");
    record.image.imageVersion = JsonStringMember(object, "image_version");
    record.device = static_cast<std::uint32_t>(JsonNumberMember(object, "device").value_or(0));
    record.result = textOf("result");
    record.reason = textOf("reason");
    record.bytes = JsonNumberMember(object, "bytes").value_or(0);
    const auto seconds = object.find("seconds");
    if (seconds != object.end() && seconds->is_number())
        record.seconds = seconds->get<double>();
    record.rate = JsonNumberMember(object, "rate").value_or(0);
    return record;
}

std::vector<RunRecord> ReadRunRecords(std::string_view text) {
    std::vector<RunRecord> records;
    LogLines lines([&](std::string_view line) {
        if (std::optional<RunRecord> record = ParseRunRecord(line))
            records.push_back(std::move(*record));
    });
    lines.Feed(text);
    lines.End();
    return records;
}
