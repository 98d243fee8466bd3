#!/usr/bin/env python3
"""Checks the Group Policy templates against the values the programs read: the value names in policies/*.admx are
exactly those of win/MachinePolicy.h, under its key, each written with the type the programs read; and every text
and presentation the template refers to is in each language's .adml.
Usage: check_policy_templates.py SOURCE-DIR"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
# How each value is written, as the programs read it: a DWORD switch, plain text, or text with %variables%.
TYPES = {"RequireSignedImages": "dword", "LogFolder": "expandable", "Catalog": "text", "Channel": "text",
         "FirmwareFolder": "expandable"}


def code_policy(header):
    """The key and the value names the programs read."""
    names = dict(re.findall(r'^inline constexpr wchar_t (k\w+)\[\] = L"([^"]*)";$', header.read_text(), re.M))
    key = names.pop("kKey", None)
    return (key or "").replace("\\\\", "\\"), set(names.values())


def value_type(policy, element):
    if element is None:
        decimals = policy.findall("p:enabledValue/p:decimal", NS) + policy.findall("p:disabledValue/p:decimal", NS)
        return "dword" if decimals else "other"
    if element.tag.endswith("}text"):
        return "expandable" if element.get("expandable") == "true" else "text"
    return element.tag.split("}")[1]


def check(source):
    faults = []
    key, names = code_policy(source / "win" / "MachinePolicy.h")
    if not names:
        return ["win/MachinePolicy.h names no policy value"]
    admx = ET.parse(source / "policies" / "corvane-ostrel.admx").getroot()
    written = {}
    for policy in admx.iterfind("p:policies/p:policy", NS):
        if policy.get("key") != key:
            faults.append(f"policy {policy.get('name')}: key {policy.get('key')!r} is not {key!r}")
        if policy.get("class") != "Machine":
            faults.append(f"policy {policy.get('name')} is not a machine policy")
        values = [(policy.get("valueName"), None)] if policy.get("valueName") else []
        values += [(e.get("valueName"), e) for e in policy.iterfind("p:elements/*", NS)]
        for name, element in values:
            if name in written:
                faults.append(f"value {name} is written by two policies")
            written[name] = value_type(policy, element)
    if set(written) != names:
        faults.append(f"the templates write {sorted(written)}, the programs read {sorted(names)}")
    faults += [f"value {n} is written as {t}, read as {TYPES.get(n)}" for n, t in written.items()
               if n in names and TYPES.get(n) != t]

    text = ET.tostring(admx, encoding="unicode")
    strings = set(re.findall(r"\$\(string\.(\w+)\)", text))
    presentations = {m.group(2): m.group(1) for policy in admx.iterfind("p:policies/p:policy", NS)
                     for m in [re.fullmatch(r"\$\((presentation)\.(\w+)\)", policy.get("presentation", ""))] if m}
    elements = {policy.get("presentation", "")[len("$(presentation."):-1]:
                {e.get("id") for e in policy.iterfind("p:elements/*", NS)}
                for policy in admx.iterfind("p:policies/p:policy", NS)}
    categories = {c.get("name") for c in admx.iterfind("p:categories/p:category", NS)}
    supported = {d.get("name") for d in admx.iterfind("p:supportedOn/p:definitions/p:definition", NS)}
    for ref in admx.iterfind(".//p:parentCategory", NS):
        if ref.get("ref") not in categories:
            faults.append(f"category {ref.get('ref')} is not defined")
    for ref in admx.iterfind("p:policies/p:policy/p:supportedOn", NS):
        if ref.get("ref") not in supported:
            faults.append(f"supportedOn {ref.get('ref')} is not defined")

    adml_files = sorted((source / "policies").glob("*/corvane-ostrel.adml"))
    if not any(f.parent.name == "en-US" for f in adml_files):
        faults.append("no en-US/corvane-ostrel.adml")
    for adml in adml_files:
        resources = ET.parse(adml).getroot()
        have = {s.get("id") for s in resources.iterfind("p:resources/p:stringTable/p:string", NS)}
        faults += [f"{adml.parent.name}: no string {s}" for s in sorted(strings - have)]
        shown = {p.get("id"): p for p in resources.iterfind("p:resources/p:presentationTable/p:presentation", NS)}
        for name in presentations:
            if name not in shown:
                faults.append(f"{adml.parent.name}: no presentation {name}")
                continue
            refs = {c.get("refId") for c in shown[name]}
            if refs != elements[name]:
                faults.append(f"{adml.parent.name}: presentation {name} shows {sorted(refs)}, "
                              f"the policy has {sorted(elements[name])}")
    return faults


if __name__ == "__main__":
    faults = check(pathlib.Path(sys.argv[1]))
    for fault in faults:
        print(f"check_policy_templates: {fault}", file=sys.stderr)
    sys.exit(1 if faults else 0)
