// Where the catalog is, which channel is offered and where the mirror is: the flasher's options, else the machine
// policy, else what the vendor's build says.
#pragma once

#include <optional>
#include <string>

struct CatalogSettings {
    // The policy Catalog is empty text: no catalog, and no network at all.
    bool off = false;
    // The folder or URL that holds catalog.json, ending in its separator; empty when none is configured.
    std::wstring location;
    std::string channel;
    // The mirror folder, ending in '\'.
    std::wstring mirror;
    // The policy FirmwareFolder names the mirror.
    bool mirrorFromPolicy = false;
};

// What a front end's user chose; nothing where they left it to the policy and the build.
struct CatalogChoices {
    std::optional<std::wstring> location;
    std::optional<std::string> channel;
    std::optional<std::wstring> mirror;
};

CatalogSettings ReadCatalogSettings(const CatalogChoices& chosen = {});
