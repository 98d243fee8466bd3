#!/usr/bin/env python3
"""Writes the winget manifests of Corvane.OstrelUpdate for one architecture's setup program and MSI package: the
version, installer and default-locale manifests (schema 1.6.0), with the installers' SHA-256 and their addresses
under the vendor's download URL. Strings are written as JSON strings, which YAML reads as they are.
Usage: make-winget.py SETUP.exe PACKAGE.msi VERSION ARCH URL OUT-DIR   (ARCH win32 or win64)"""
import hashlib
import json
import pathlib
import subprocess
import sys
import urllib.parse

ID = "Corvane.OstrelUpdate"
SCHEMA = "1.6.0"


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as file:
        for block in iter(lambda: file.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest().upper()


def msi_property(msi, name):
    rows = subprocess.run(["msiinfo", "export", str(msi), "Property"], check=True, capture_output=True,
                          encoding="utf-8").stdout.splitlines()
    return next(row.split("\t", 1)[1] for row in rows if row.startswith(name + "\t"))


def write(path, kind, lines):
    head = [f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}.{SCHEMA}.schema.json", ""]
    tail = [f"ManifestType: {kind}", f"ManifestVersion: {SCHEMA}"]
    path.write_text("\n".join(head + lines + tail) + "\n", encoding="utf-8")


def main(setup, msi, version, arch, url, out):
    setup, msi, out = pathlib.Path(setup), pathlib.Path(msi), pathlib.Path(out)
    out.mkdir(parents=True, exist_ok=True)
    q = json.dumps
    common = [f"PackageIdentifier: {ID}", f"PackageVersion: {q(version)}"]
    machine = "x64" if arch == "win64" else "x86"
    display = "Corvane Ostrel update" + (" (64-bit)" if arch == "win64" else "")
    base = url.rstrip("/")
    nullsoft = [f"  InstallerUrl: {q(base + '/' + setup.name)}", f"  InstallerSha256: {sha256(setup)}"]
    installers = [
        f"- Architecture: {machine}", "  InstallerType: nullsoft", "  Scope: user", *nullsoft,
        "  InstallerSwitches:", "    Custom: /CurrentUser",
        f"- Architecture: {machine}", "  InstallerType: nullsoft", "  Scope: machine", *nullsoft,
        "  ElevationRequirement: elevatesSelf", "  InstallerSwitches:", "    Custom: /AllUsers",
        f"- Architecture: {machine}", "  InstallerType: msi", "  Scope: machine",
        f"  InstallerUrl: {q(base + '/' + msi.name)}", f"  InstallerSha256: {sha256(msi)}",
        f"  ProductCode: {q(msi_property(msi, 'ProductCode'))}",
        "  AppsAndFeaturesEntries:", f"  - DisplayName: {q(display)}", "    Publisher: Corvane",
        f"    UpgradeCode: {q(msi_property(msi, 'UpgradeCode'))}",
    ]
    write(out / f"{ID}.installer.yaml", "installer", common + [
        "MinimumOSVersion: 10.0.0.0",
        # The setup program replaces an installed copy itself; exit code 2 is a refusal, mostly the tool running.
        "UpgradeBehavior: install",
        "ExpectedReturnCodes:", "- InstallerReturnCode: 2", "  ReturnResponse: packageInUse",
        "Installers:", *installers])
    write(out / f"{ID}.locale.en-US.yaml", "defaultLocale", common + [
        "PackageLocale: en-US", "Publisher: Corvane", f"PackageName: {q('Corvane Ostrel update')}",
        f"PublisherUrl: {q(urllib.parse.urlsplit(base)._replace(path='', query='', fragment='').geturl())}",
        "License: Proprietary", "Moniker: ostrel-update",
        f"ShortDescription: {q('Writes firmware images into Corvane Ostrel devices over USB.')}",
        "Description: " + q("A window and a console flasher (ostrel-flash) that check a firmware image against its "
                            "checksum files and signature and write it into a USB-attached Corvane Ostrel device. "
                            "Needs the Ostrel USB driver's TarselUSB.dll."),
        "Tags:", "- firmware", "- usb", "- flasher"])
    write(out / f"{ID}.yaml", "version", common + ["DefaultLocale: en-US"])


if __name__ == "__main__":
    if len(sys.argv) != 7:
        sys.exit(__doc__)
    main(*sys.argv[1:])
