#!/usr/bin/env python3
"""Builds the MSI package from the files staged for the setup program, with wixl (Debian's msitools): a per-machine
install into Program Files\\Corvane\\Ostrel update, a Start-menu shortcut, an empty folder trusted, and lang.ini
written from the table that the property LANG names (English without it). wixl cannot write conditions, so the
package is finished with msibuild: the Component table's conditions choose the table, a launch condition refuses an
unknown LANG, and the major upgrade also replaces an installed package whose version differs in the fourth field
only (Windows Installer compares three).
Usage: make-msi.py STAGED-DIR OUT.msi VERSION ARCH PRODUCT EXE ICON WORK-DIR   (ARCH win32 or win64)"""
import os
import pathlib
import shutil
import subprocess
import sys
import uuid
from xml.sax.saxutils import quoteattr

# The one identity of every version of the package: a newer one finds and replaces an older one by it.
UPGRADE_CODE = "6C1E4F0B-8A73-4C2D-9B1E-3F0D5A7E2C41"
TABLES = ("en", "ko", "ja", "zh-CN", "ru", "de", "fr", "es")


def guid(arch, name):
    """A component's GUID: the same for the same file in every version of one architecture's package."""
    return str(uuid.uuid5(uuid.UUID(UPGRADE_CODE), f"{arch}/{name}")).upper()


def ident(prefix, name):
    return prefix + "_" + "".join(c if c.isalnum() else "_" for c in name)


def wxs(staged, version, arch, product, exe, icon, work):
    win64 = arch == "win64"
    bits = ' Win64="yes"' if win64 else ""
    display = f"{product} (64-bit)" if win64 else product
    components = []

    def source(path):
        return quoteattr(os.path.relpath(path, work))

    def component(cid, name, body):
        components.append(cid)
        return f'<Component Id="{cid}" Guid="{guid(arch, name)}"{bits}>{body}</Component>'

    def folder(path):
        xml = []
        for entry in sorted(path.iterdir()):
            rel = entry.relative_to(staged).as_posix()
            if entry.is_dir():
                xml.append(f'<Directory Id="{ident("D", rel)}" Name={quoteattr(entry.name)}>')
                xml += [folder(entry), "</Directory>"]
                continue
            xml.append(component(ident("C", rel), rel, f'<File Id="{ident("F", rel)}" Name={quoteattr(entry.name)} '
                                 f'Source={source(entry)} KeyPath="yes" />'))
        return "".join(xml)

    files = folder(staged)
    # lang.ini, one component per table; msibuild gives each its condition.
    tables = "".join(component(f"LangIni_{ident('T', code)}", f"lang.ini/{code}",
                               f'<File Id="LangIni_{ident("T", code)}" Name="lang.ini" '
                               f'Source={source(staged / "lang" / (code + ".ini"))} KeyPath="yes" />')
                     for code in TABLES)
    # Empty: administrators put the certificates of the signers they trust in it; it stays while it holds any.
    trusted = "" if (staged / "trusted").is_dir() else \
        f'<Directory Id="TRUSTED" Name="trusted">{component("Trusted", "trusted/", "<CreateFolder />")}</Directory>'
    # Not advertised (wixl cannot write that under a file): its key path is the Start-menu folder itself.
    shortcut = component("StartMenu", "shortcut", f'<Shortcut Id="StartMenu" Name={quoteattr(display)} '
                         f'Target="[#{ident("F", exe)}]" WorkingDirectory="INSTALLFOLDER" />')
    program_files = "ProgramFiles64Folder" if win64 else "ProgramFilesFolder"
    platform = ' Platform="x64"' if win64 else ""
    refs = "".join(f'<ComponentRef Id="{c}" />' for c in components)
    return f"""<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name={quoteattr(display)} Language="1033" Version="{version}" Manufacturer="Corvane"
           UpgradeCode="{UPGRADE_CODE}">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"{platform}
             Description={quoteattr(display + " " + version)} Comments="Firmware download tool" />
    <MajorUpgrade DowngradeErrorMessage="A newer version of {display} is already installed." />
    <Media Id="1" Cabinet="ostrel.cab" EmbedCab="yes" />
    <Icon Id="ostrel.ico" SourceFile={source(icon)} />
    <Property Id="ARPPRODUCTICON" Value="ostrel.ico" />
    <Property Id="ARPNOMODIFY" Value="1" />
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="{program_files}">
        <Directory Id="VendorFolder" Name="Corvane">
          <Directory Id="INSTALLFOLDER" Name="Ostrel update">{files}{tables}{trusted}</Directory>
        </Directory>
      </Directory>
      <Directory Id="ProgramMenuFolder">{shortcut}</Directory>
    </Directory>
    <Feature Id="Tool" Level="1">{refs}</Feature>
  </Product>
</Wix>
"""


def table(msi, name, work):
    """The table's three header lines and its rows, as msiinfo exports it."""
    lines = subprocess.run(["msiinfo", "export", str(msi), name], check=True, capture_output=True,
                           encoding="utf-8").stdout.splitlines()
    return lines[:3], [line.split("\t") for line in lines[3:] if line]


def put_table(msi, name, header, rows, work):
    (work / f"{name}.idt").write_text("\r\n".join(header + ["\t".join(r) for r in rows]) + "\r\n", encoding="utf-8")
    subprocess.run(["msibuild", str(msi), "-i", str(work / f"{name}.idt")], check=True)


def finish(msi, work):
    header, rows = table(msi, "Component", work)
    for row in rows:
        if row[0].startswith("LangIni_T_"):
            code = next(c for c in TABLES if ident("T", c) == row[0][len("LangIni_"):])
            row[4] = 'NOT LANG OR LANG~="en"' if code == "en" else f'LANG~="{code}"'
    put_table(msi, "Component", header, rows, work)

    header, rows = table(msi, "LaunchCondition", work)
    known = " OR ".join(f'LANG~="{c}"' for c in TABLES)
    rows.append([f"Installed OR NOT LANG OR {known}",
                 "Unknown LANG=[LANG]. Use one of " + ", ".join(TABLES) + "."])
    put_table(msi, "LaunchCondition", header, rows, work)

    # msidbUpgradeAttributesVersionMaxInclusive on the row that finds older versions: the same first three fields
    # count as older too, so that a rebuild replaces the package rather than installing beside it.
    header, rows = table(msi, "Upgrade", work)
    for row in rows:
        if row[6] == "WIX_UPGRADE_DETECTED":
            row[4] = str(int(row[4]) | 0x200)
    put_table(msi, "Upgrade", header, rows, work)

    # LANG reaches the installation's server side also when a user without administrator rights starts it.
    header, rows = table(msi, "Property", work)
    for row in rows:
        if row[0] == "SecureCustomProperties":
            row[1] += ";LANG"
    put_table(msi, "Property", header, rows, work)


def main(staged, out, version, arch, product, exe, icon, work):
    staged, out, work = pathlib.Path(staged), pathlib.Path(out), pathlib.Path(work)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    source = work / "ostrel.wxs"
    # wixl finds sources only by paths relative to the folder it runs in.
    source.write_text(wxs(staged, version, arch, product, exe, icon, work), encoding="utf-8")
    built = work / out.name
    subprocess.run(["wixl", "--arch", "x64" if arch == "win64" else "x86", "-o", built.name, source.name], check=True,
                   cwd=work)
    finish(built, work)
    shutil.move(built, out)


if __name__ == "__main__":
    if len(sys.argv) != 9:
        sys.exit(__doc__)
    main(*sys.argv[1:])
