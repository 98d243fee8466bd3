#!/usr/bin/env python3
"""Checks the Group Policy templates against win/MachinePolicy.h: the template writes exactly the values the
programs read, under their key and with the type they read; every text and presentation it refers to is in each
language's .adml. Usage: check_policy_templates.py SOURCE-DIR"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
# A DWORD switch, plain text, or text with %variables% (REG_EXPAND_SZ).
TYPES = {"RequireSignedImages": "decimal", "LogFolder": "expandable", "Catalog": "text", "Channel": "text",
         "FirmwareFolder": "expandable"}


def check(source):
    faults = []
    names = dict(re.findall(r'^inline constexpr wchar_t (k\w+)\[\] = L"([^"]*)";$',
                            (source / "win" / "MachinePolicy.h").read_text(), re.M))
    key = names.pop("kKey", "").replace("\\\\", "\\")
    admx = ET.parse(source / "policies" / "corvane-ostrel.admx").getroot()
    policies = admx.findall("p:policies/p:policy", NS)
    written, elements = {}, {}
    for policy in policies:
        if (policy.get("key"), policy.get("class")) != (key, "Machine"):
            faults.append(f"policy {policy.get('name')} is not a machine policy under {key}")
        values = [(policy.get("valueName"), policy.find("p:enabledValue/*", NS))] if policy.get("valueName") else []
        values += [(e.get("valueName"), e) for e in policy.findall("p:elements/*", NS)]
        for name, element in values:
            kind = element.tag.split("}")[1] if element is not None else None
            written[name] = "expandable" if kind == "text" and element.get("expandable") == "true" else kind
        elements[policy.get("presentation", "")] = {e.get("id") for e in policy.findall("p:elements/*", NS)}
    if set(written) != set(names.values()):
        faults.append(f"the templates write {sorted(written)}, the programs read {sorted(names.values())}")
    faults += [f"value {n} is written as {t}, read as {TYPES.get(n)}" for n, t in written.items() if TYPES.get(n) != t]
    defined = {c.get("name") for c in admx.iterfind("p:categories/p:category", NS)} | \
              {d.get("name") for d in admx.iterfind("p:supportedOn/p:definitions/p:definition", NS)}
    refs = admx.findall(".//p:parentCategory", NS) + admx.findall(".//p:policy/p:supportedOn", NS)
    faults += [f"{r.get('ref')} is not defined" for r in refs if r.get("ref") not in defined]

    strings = set(re.findall(r"\$\(string\.(\w+)\)", ET.tostring(admx, encoding="unicode")))
    admls = sorted((source / "policies").glob("*/corvane-ostrel.adml"))
    if "en-US" not in {adml.parent.name for adml in admls}:
        faults.append("no en-US/corvane-ostrel.adml")
    for adml in admls:
        resources = ET.parse(adml).getroot()
        have = {s.get("id") for s in resources.iterfind(".//p:stringTable/p:string", NS)}
        faults += [f"{adml.parent.name}: no string {s}" for s in sorted(strings - have)]
        shown = {f"$(presentation.{p.get('id')})": {c.get("refId") for c in p}
                 for p in resources.iterfind(".//p:presentationTable/p:presentation", NS)}
        faults += [f"{adml.parent.name}: {ref} shows {sorted(shown.get(ref, []))}, the policy has {sorted(ids)}"
                   for ref, ids in elements.items() if ref and shown.get(ref) != ids]
    return faults


if __name__ == "__main__":
    faults = check(pathlib.Path(sys.argv[1]))
    for fault in faults:
        print(f"check_policy_templates: {fault}", file=sys.stderr)
    sys.exit(1 if faults else 0)
