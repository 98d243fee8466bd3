// The log record: one JSON line per download attempt, written and read back.
#include "RunRecord.h"

namespace {

// Seconds carry milliseconds: enough for a benchmark to compare runs.
constexpr int kSecondsDecimals = 3;

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

std::vector<RunRecord> ReadRunRecords(std::string_view text) {
    std::vector<RunRecord> records;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const JsonValue object = ParseJsonLine(text.substr(start, end - start));
        start = end + 1;
        if (!object.is_object())
            continue;
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
        record.device = static_cast<std::uint32_t>(JsonNumberMember(object, "device").value_or(0));
        record.result = textOf("result");
        record.reason = textOf("reason");
        record.bytes = JsonNumberMember(object, "bytes").value_or(0);
        const auto seconds = object.find("seconds");
        if (seconds != object.end() && seconds->is_number())
            record.seconds = seconds->get<double>();
        record.rate = JsonNumberMember(object, "rate").value_or(0);
        records.push_back(std::move(record));
    }
    return records;
}
