// Image facts as text and JSON.
#include "ImageFacts.h"

#include <cstdio>

namespace {

std::optional<std::uint32_t> PayloadSize(const ImageFacts& facts) {
    if (!facts.size || *facts.size < kPayloadOffset)
        return std::nullopt;
    return *facts.size - kPayloadOffset;
}

} // namespace

const char* FlashKindName(std::uint8_t kind) {
    switch (kind) {
    case kEFlashKind:
        return "e-flash";
    case kSerialFlashKind:
        return "serial flash";
    case kNandFlashKind:
        return "NAND flash";
    default:
        return "unknown";
    }
}

JsonLine& AddImageFields(JsonLine& line, const ImageFacts& facts) {
    line.Add("image", facts.path);
    const auto addOptional = [&](const char* key, const std::optional<std::uint32_t>& value) {
        if (value)
            line.AddNumber(key, *value);
        else
            line.AddNull(key);
    };
    addOptional("size", facts.size);
    addOptional("payload", PayloadSize(facts));
    if (facts.haveHeader) {
        const ImageHeader& header = facts.header;
        line.AddNumber("marker", header.Marker()).AddNumber("port", header.Port());
        line.AddNumber("kind", header.FlashKind()).Add("kind_name", FlashKindName(header.FlashKind()));
        line.Add("date", ImageDate(header));
    } else {
        line.AddNull("marker").AddNull("port").AddNull("kind").AddNull("kind_name").AddNull("date");
    }
    line.Add("sha256", facts.sha256);
    line.Add("checksum", facts.checksum).Add("signature", facts.signature).Add("signer", facts.signer);
    // Only when there is one, so that the lines of the other cases stay as they were.
    if (facts.signerProblem)
        line.Add("signer_problem", *facts.signerProblem);
    if (facts.policy)
        line.Add("policy", *facts.policy);
    if (facts.imageVersion)
        line.Add("image_version", *facts.imageVersion);
    return line;
}

std::string InfoText(const ImageFacts& facts) {
    const ImageHeader& header = facts.header;
    char marker[32];
    const std::uint8_t byte = header.Marker();
    if (byte >= 0x20 && byte < 0x7F)
        std::snprintf(marker, sizeof marker, "0x%02x (\"%c\")", byte, byte);
    else
        std::snprintf(marker, sizeof marker, "0x%02x", byte);
    std::string text = "image    " + facts.path + "\n";
    text += std::string("marker   ") + marker + (HasImageMarker(header) ? "" : ", not an Ostrel image") + "\n";
    text += "port     " + std::to_string(header.Port()) + (IsUsbImage(header) ? " (USB)" : " (UART)") + "\n";
    text += "kind     " + std::to_string(header.FlashKind()) + " (" + FlashKindName(header.FlashKind()) + ")\n";
    text += "date     " + ImageDate(header).value_or("none") + "\n";
    if (facts.size)
        text += "size     " + std::to_string(*facts.size) + " bytes\n";
    if (const auto payload = PayloadSize(facts))
        text += "payload  " + std::to_string(*payload) + " bytes\n";
    if (facts.sha256)
        text += "sha256   " + *facts.sha256 + "\n";
    if (facts.policy)
        text += "policy   " + *facts.policy + " (signature required)\n";
    if (facts.imageVersion)
        text += "version  " + *facts.imageVersion + " (catalog)\n";
    if (facts.checksum) {
        text += "checksum: ";
        if (*facts.checksum == "match")
            text += "matches " + facts.checksumFiles;
        else if (*facts.checksum == "mismatch")
            text += "does not match " + facts.checksumFiles;
        else
            text += *facts.checksum;
        text += "\n";
    }
    if (facts.signature) {
        text += "signature: ";
        if (*facts.signature == "valid")
            text += std::string(facts.signedByCatalog ? "valid (catalog)" : "valid") + ", signed by " +
                    facts.signer.value_or("?");
        else if (*facts.signature == "untrusted")
            text += "not trusted" + (facts.signerProblem ? " (" + *facts.signerProblem + ")" : std::string()) +
                    ", signed by " + facts.signer.value_or("?");
        else
            text += *facts.signature;
        text += "\n";
    }
    return text;
}
