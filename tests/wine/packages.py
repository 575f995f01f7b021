"""Builds plug-in packages for the scenarios with wixl: small real MSI files whose product
code, upgrade code, version, the NPQUORL feature and the installation's outcome are chosen
per scenario. Packages are built during the test run into the build tree, never kept in
the repository."""

from __future__ import annotations

import dataclasses
import hashlib
import html
import os
import shutil
import subprocess
import tempfile
from pathlib import Path

UPGRADE_CODE = "{6E2F4F0A-3C1B-4D7E-9A55-0B1D2C3E4F50}"
PRODUCT_CODE = "{1A2B3C4D-5E6F-4A1B-8C2D-3E4F5A6B7C8D}"
OTHER_PRODUCT_CODE = "{9F8E7D6C-5B4A-4F3E-8D2C-1B0A9F8E7D6C}"
CUSTOM_ACTION_DLL = "ca_result.dll"
# Outcomes that a package can be made to give, by how it fails.
FAILURES = {
    "launch-condition": None,  # 1603 unless the property MUSTBESET is given
    "install-failure": "ReturnInstallFailure",  # 1603 from a custom action
    "user-exit": "ReturnUserExit",  # 1602 from a custom action
}


@dataclasses.dataclass(frozen=True)
class PluginPackage:
    """One test package. `product_name` must be ASCII (wixl drops Cyrillic names)."""

    file_name: str = "quorlcom-x64.msi"
    product_name: str = "Stalver Browser plug-in"
    version: str = "1.0.0.0"
    product_code: str = PRODUCT_CODE
    upgrade_code: str = UPGRADE_CODE
    plugin_feature_absent: bool = False  # NPQUORL at level 2: installed packages lack it
    asks_for_restart: bool = False  # ScheduleReboot: msiexec ends with 3010
    failure: str | None = None  # a key of FAILURES
    major_upgrade: bool = False  # removes older products of the UpgradeCode, refuses newer
    payload_size: int = 0  # bytes of random data in one more file (timing large packages)
    platform: str = "x64"  # "x86": a 32-bit package, installed under Program Files (x86)
    # A custom action broadcasts WM_SETTINGCHANGE "Environment" and waits for every window.
    broadcasts: bool = False

    def __post_init__(self) -> None:
        if not self.product_name.isascii():
            raise ValueError("wixl writes an empty ProductName for non-ASCII names")
        if self.failure is not None and self.failure not in FAILURES:
            raise ValueError(f"unknown failure {self.failure!r}")
        if self.broadcasts and self.failure is not None:
            raise ValueError("one custom action per package: a failure or a broadcast")
        if self.platform not in ("x64", "x86"):
            raise ValueError(f"unknown platform {self.platform!r}")


def _component_guid(product_code: str, index: int) -> str:
    """A component GUID of its own per product, derived from the product code."""
    return product_code[:-3] + f"{index:02X}" + "}"


def custom_action_entry(package: PluginPackage) -> str | None:
    """The entry of CUSTOM_ACTION_DLL that the package runs, if any."""
    if package.broadcasts:
        return "BroadcastEnvironmentChange"
    return FAILURES.get(package.failure or "")


def package_source(package: PluginPackage) -> str:
    """The WiX source of the package."""
    attribute = html.escape
    win64 = "yes" if package.platform == "x64" else "no"
    program_files = "ProgramFiles64Folder" if package.platform == "x64" else "ProgramFilesFolder"
    feature_level = 2 if package.plugin_feature_absent else 1
    condition = ('    <Condition Message="MUSTBESET is not set">MUSTBESET</Condition>\n'
                 if package.failure == "launch-condition" else "")
    entry = custom_action_entry(package)
    custom_action = ""
    sequence = []
    if entry:
        custom_action = (
            f'    <Binary Id="CaResult" SourceFile="{CUSTOM_ACTION_DLL}"/>\n'
            f'    <CustomAction Id="EndWithResult" BinaryKey="CaResult" DllEntry="{entry}"'
            ' Execute="immediate" Return="check"/>\n')
        sequence.append('      <Custom Action="EndWithResult" Before="InstallFinalize"/>')
    if package.asks_for_restart:
        sequence.append('      <ScheduleReboot After="InstallFinalize"/>')
    sequence_block = ("    <InstallExecuteSequence>\n" + "\n".join(sequence) +
                      "\n    </InstallExecuteSequence>\n") if sequence else ""
    upgrade = ('    <MajorUpgrade DowngradeErrorMessage="A newer version is installed"/>\n'
               if package.major_upgrade else "")
    payload_component = payload_reference = ""
    if package.payload_size:
        payload_component = (
            f'          <Component Id="Payload" Guid="{_component_guid(package.product_code, 3)}"'
            f' Win64="{win64}">\n'
            '            <File Id="PayloadFile" Source="payload.bin" KeyPath="yes"/>\n'
            '          </Component>\n')
        payload_reference = '<ComponentRef Id="Payload"/>'
    return f"""<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{package.product_code}" Name="{attribute(package.product_name)}"
           Version="{package.version}" Manufacturer="Stalver test" Language="1033"
           UpgradeCode="{package.upgrade_code}">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="payload.cab" EmbedCab="yes"/>
{upgrade}{condition}{custom_action}    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="{program_files}">
        <Directory Id="INSTALLDIR" Name="StalverPluginTest">
          <Component Id="Base" Guid="{_component_guid(package.product_code, 1)}" Win64="{win64}">
            <File Id="BaseFile" Source="base.txt" KeyPath="yes"/>
          </Component>
          <Component Id="Plugin" Guid="{_component_guid(package.product_code, 2)}" Win64="{win64}">
            <File Id="PluginFile" Source="plugin.txt" KeyPath="yes"/>
          </Component>
{payload_component}        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Base" Level="1"><ComponentRef Id="Base"/>{payload_reference}</Feature>
    <Feature Id="NPQUORL" Level="{feature_level}"><ComponentRef Id="Plugin"/></Feature>
{sequence_block}  </Product>
</Wix>
"""


def build_package(package: PluginPackage, work_dir: Path, tools_dir: Path) -> Path:
    """Builds the package in `work_dir` (made if missing). Returns the MSI file's path."""
    source_dir = work_dir / (package.file_name + ".src")
    shutil.rmtree(source_dir, ignore_errors=True)
    source_dir.mkdir(parents=True)
    (source_dir / "base.txt").write_text(f"{package.product_name} {package.version} base\n")
    (source_dir / "plugin.txt").write_text(f"{package.product_name} {package.version}\n")
    if package.payload_size:
        (source_dir / "payload.bin").write_bytes(os.urandom(package.payload_size))
    if custom_action_entry(package):
        shutil.copy2(tools_dir / CUSTOM_ACTION_DLL, source_dir / CUSTOM_ACTION_DLL)
    (source_dir / "package.wxs").write_text(package_source(package), encoding="utf-8")
    output = work_dir / package.file_name
    result = subprocess.run(["wixl", "-a", package.platform, "-o", str(output), "package.wxs"],
                            cwd=source_dir, capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"wixl failed for {package.file_name}:\n{result.stderr}")
    return output


def cached_package(package: PluginPackage, cache_dir: Path, tools_dir: Path) -> Path:
    """The package built once per content: a build whose WiX source (and custom-action DLL)
    matches is reused from `cache_dir`, whatever file name the package gets where it is
    laid out. Safe when several scenarios ask for the same package at once."""
    digest = hashlib.sha256(package_source(package).encode("utf-8"))
    if custom_action_entry(package):
        digest.update((tools_dir / CUSTOM_ACTION_DLL).read_bytes())
    entry = cache_dir / digest.hexdigest()[:24]
    built = entry / "package.msi"
    if built.exists():
        return built
    cache_dir.mkdir(parents=True, exist_ok=True)
    work_dir = Path(tempfile.mkdtemp(prefix="build-", dir=cache_dir))
    build_package(dataclasses.replace(package, file_name="package.msi"), work_dir, tools_dir)
    try:
        os.rename(work_dir, entry)  # atomic; fails when another build got there first
    except OSError:
        shutil.rmtree(work_dir, ignore_errors=True)
    return built
