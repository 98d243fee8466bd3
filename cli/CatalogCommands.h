// The flasher's catalog options: --list and --sync, and --latest and --image-version resolved to a verified image
// in the firmware mirror before the session starts.
#pragma once

#include <optional>

#include "CatalogRefresh.h"
#include "FlashOptions.h"
#include "FlashReporter.h"

class CatalogCommands {
public:
    CatalogCommands(const FlashOptions& options, FlashReporter& reporter);

    // For --list and --sync, the exit code. For --latest and --image-version, the exit code of a failure, or
    // nothing with `options.image` set to the image in the mirror.
    std::optional<int> Run(FlashOptions& options);

private:
    // The catalog refreshed, or the exit code of its failure; tells when the mirror serves offline.
    std::optional<int> Refresh();
    // The entry's image in the mirror, or the exit code of its failure.
    std::optional<int> Ensure(const CatalogEntry& entry, ImageFetch& fetched);
    int List();
    int Fail(int code, const std::string& text);

    const FlashOptions& m_options;
    FlashReporter& m_reporter;
    CatalogSettings m_settings;
    CatalogState m_state;
};
