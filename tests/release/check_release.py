#!/usr/bin/python3
"""The release command (scripts/release.sh) end to end, with throwaway certificates.

1. Without a certificate: a test-signed distribution of the i686 program, two plug-in
   packages built by wixl and a csp folder; the zip and its checksums verify, the signature
   verifies against the certificate it carries, the program carries the release's manifest
   (the SHA-256 of each package and csp file, as SHA256SUMS has them) and is otherwise the
   suite's own build: the same code and data, the same other resources; unsigned it takes at
   most 128 KiB. detect.vbs and detect.ps1 are the tree's, with the packages' UpgradeCode and
   version filled in.
2. With a releaser's PKCS#12 file, its password read from a file: signed by that
   certificate, named without "TEST", and the password never appears in the output; with its
   signature removed the program is the test-signed one's byte for byte (the same packages
   give the same program).
3. Each kind of bad input (packages of different versions or UpgradeCodes among them) fails
   with one line and leaves the output folder as it was.

The test-signed distribution stays in <build>/release-test/out for the Wine scenario that
unpacks and runs it."""

from __future__ import annotations

import argparse
import dataclasses
import os
import re
import shutil
import struct
import subprocess
import sys
import zipfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
REPOSITORY = HERE.parent.parent
sys.dont_write_bytecode = True
sys.path[:0] = [str(REPOSITORY / "tests" / "wine"), str(REPOSITORY / "tests" / "pe")]

from check_resources import read_resources  # noqa: E402
from packages import build_package  # noqa: E402
from test_wow64 import RELEASE_1, WIN32_RELEASE_FILE, X64_PACKAGE  # noqa: E402

RELEASE = REPOSITORY / "scripts" / "release.sh"
DEPLOY_SCRIPT = REPOSITORY / "deploy" / "deploy.cmd"
DETECTION_RULES = ("detect.ps1", "detect.vbs")
PASSWORD = "correct horse battery staple"
RT_RCDATA, RELEASE_MANIFEST_ID, RUSSIAN = 10, 300, 1049
# Files beside the program that it never uses, so its manifest does not list them.
NOT_USED = ("bootstrapper.exe", "deploy.cmd", *DETECTION_RULES, "PACKAGES.txt", "SHA256SUMS")


def run(*command: str | Path, env: dict[str, str] | None = None,
        check: bool = True) -> subprocess.CompletedProcess:
    environment = {key: value for key, value in os.environ.items()
                   if not key.startswith("RELEASE_PKCS12")}
    environment.update(env or {})
    result = subprocess.run([str(part) for part in command], capture_output=True, text=True,
                            env=environment)
    if check and result.returncode != 0:
        raise AssertionError(f"{command[0]} failed ({result.returncode}):\n{result.stdout}\n"
                             f"{result.stderr}")
    return result


def expect(condition: bool, what: str) -> None:
    if not condition:
        raise AssertionError(what)
    print(f"ok: {what}")


def make_certificate(folder: Path, name: str, usage: str) -> Path:
    """A self-signed certificate with extendedKeyUsage `usage`, as PKCS#12 under PASSWORD."""
    key, certificate, pkcs12 = (folder / f"{name}{suffix}" for suffix in (".key", ".pem", ".p12"))
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-sha256", "-days", "7", "-nodes",
        "-subj", f"/CN={name}", "-addext", f"extendedKeyUsage={usage}",
        "-keyout", key, "-out", certificate)
    run("openssl", "pkcs12", "-export", "-inkey", key, "-in", certificate, "-out", pkcs12,
        "-passout", f"pass:{PASSWORD}")
    return pkcs12


def fingerprint(pem: bytes) -> str:
    return subprocess.run(["openssl", "x509", "-noout", "-fingerprint", "-sha256"], input=pem,
                          capture_output=True, check=True).stdout.decode().strip()


def embedded_certificates(program: Path, work: Path) -> Path:
    """The certificates that the program's signature carries, as a PEM file."""
    signature, certificates = work / "signature.pem", work / "embedded.pem"
    signature.unlink(missing_ok=True)  # osslsigncode overwrites nothing
    run("osslsigncode", "extract-signature", "-pem", "-in", program, "-out", signature)
    run("openssl", "pkcs7", "-in", signature, "-print_certs", "-out", certificates)
    return certificates


def signer_fingerprints(program: Path, work: Path) -> list[str]:
    end = "-----END CERTIFICATE-----"
    blocks = embedded_certificates(program, work).read_text().split(end)[:-1]
    return [fingerprint((block + end + "\n").encode()) for block in blocks]


def unpack(zip_path: Path, into: Path) -> Path:
    shutil.rmtree(into, ignore_errors=True)
    with zipfile.ZipFile(zip_path) as archive:
        archive.extractall(into)
    (folder,) = into.iterdir()
    return folder


def sections(program: Path) -> dict[str, bytes]:
    """The PE file's sections by name."""
    image = program.read_bytes()
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    found = {}
    for index in range(count):
        name, size, _, raw_size, raw = struct.unpack_from(
            "<8sIIII", image, pe + 24 + optional_size + 40 * index)
        found[name.rstrip(b"\0").decode()] = image[raw:raw + min(size, raw_size)]
    return found


def check_manifest(program: Path, folder: Path, unsigned: Path) -> None:
    """The release's manifest in the program lists each file it uses with the SHA-256 that
    SHA256SUMS gives, paths with backslashes; apart from it, the program is the suite's."""
    resources = read_resources(program)
    manifest = resources.pop((RT_RCDATA, RELEASE_MANIFEST_ID, RUSSIAN), b"").decode()
    sums = [line.split("  ", 1) for line in (folder / "SHA256SUMS").read_text().splitlines()]
    expected = "".join(f"{digest}  {name.replace('/', chr(92))}\n" for digest, name in sums
                       if name not in NOT_USED)
    expect(manifest == expected, f"the program's manifest lists the packages and the csp files "
                                 f"with their SHA-256:\n{manifest}")
    built, shipped = sections(unsigned), sections(program)
    expect(all(shipped[name] == built[name] for name in built if name != ".rsrc")
           and resources == read_resources(unsigned),
           "apart from the manifest, the program is the suite's build: the same sections, the "
           "same other resources")


def check_distribution(zip_path: Path, work: Path, unsigned: Path) -> Path:
    """The zip's own checksum, its files, SHA256SUMS, the signature, and the program's
    manifest and sections against the suite's reproducible build."""
    checked = subprocess.run(["sha256sum", "-c", zip_path.name + ".sha256"], cwd=zip_path.parent,
                             capture_output=True, text=True)
    expect(checked.returncode == 0, f"{zip_path.name}.sha256 verifies")
    folder = unpack(zip_path, work / "unpacked")
    files = sorted(str(path.relative_to(folder)) for path in folder.rglob("*") if path.is_file())
    expect(files == ["PACKAGES.txt", "SHA256SUMS", "bootstrapper.exe", "csp/Setup.exe",
                     "deploy.cmd", *DETECTION_RULES, "quorlcom-win32.msi", "quorlcom-x64.msi"],
           f"the distribution holds the program, both packages, csp, deploy.cmd, the detection "
           f"rules, PACKAGES.txt and SHA256SUMS ({files})")
    expect((folder / "deploy.cmd").read_bytes() == DEPLOY_SCRIPT.read_bytes()
           and b"\r\n" in DEPLOY_SCRIPT.read_bytes(), "deploy.cmd as in the tree, with CR LF")
    for script in DETECTION_RULES:
        template = (DEPLOY_SCRIPT.parent / script).read_bytes()
        filled = template.replace(b"@UPGRADE_CODE@", RELEASE_1.upgrade_code.encode()).replace(
            b"@RELEASE_VERSION@", RELEASE_1.version.encode())
        expect((folder / script).read_bytes() == filled and b"\r\n" in template
               and filled.count(RELEASE_1.upgrade_code.encode()) == 1
               and re.search(rb"@[A-Z_]+@", filled) is None,
               f"{script} as in the tree with CR LF, UpgradeCode {RELEASE_1.upgrade_code} and "
               f"version {RELEASE_1.version} filled in once each")
    sums = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=folder, capture_output=True,
                          text=True)
    listed = sorted(line.split("  ", 1)[1] for line in
                    (folder / "SHA256SUMS").read_text().splitlines())
    expect(sums.returncode == 0 and listed == [f for f in files if f != "SHA256SUMS"],
           "SHA256SUMS lists every other file and verifies")
    packages = (folder / "PACKAGES.txt").read_text()
    expect(all(code in packages for code in (RELEASE_1.product_code, RELEASE_1.upgrade_code,
                                             WIN32_RELEASE_FILE.product_code)),
           "PACKAGES.txt names the packages' product and upgrade codes")
    program = folder / "bootstrapper.exe"
    anchors = embedded_certificates(program, work)
    verified = run("osslsigncode", "verify", "-in", program, "-CAfile", anchors, check=False)
    expect(verified.returncode == 0 and "SHA256" in verified.stdout,
           "osslsigncode verify: a SHA-256 signature that checks against its certificate")
    check_manifest(program, folder, unsigned)
    return program


def without_signature(program: Path, work: Path, name: str) -> bytes:
    stripped = work / name
    stripped.unlink(missing_ok=True)
    run("osslsigncode", "remove-signature", "-in", program, "-out", stripped)
    return stripped.read_bytes()


def leftovers(out: Path) -> list[tuple[str, int]]:
    """The output folder's files with their times, and the release's work folders in /tmp."""
    return sorted([(str(p), p.stat().st_mtime_ns) for p in out.rglob("*")] +
                  [(str(p), 0) for p in Path("/tmp").glob("bootstrapper-release.*")])


def expect_refused(name: str, arguments: list[str | Path], env: dict[str, str], out: Path,
                   reason: str) -> None:
    before = leftovers(out)
    result = run("bash", RELEASE, *arguments, "--out", out, env=env, check=False)
    lines = result.stderr.strip().splitlines()
    expect(result.returncode == 1 and len(lines) == 1 and lines[0].startswith("release: ")
           and reason in lines[0] and leftovers(out) == before,
           f"{name}: one line ({lines}), exit {result.returncode}, nothing left half-written")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", type=Path, required=True)
    parser.add_argument("--win32-dir", type=Path, required=True)
    parser.add_argument("--win64-dir", type=Path, required=True)
    options = parser.parse_args()
    work = options.build_dir / "release-test"
    shutil.rmtree(work, ignore_errors=True)
    (work / "inputs" / "csp").mkdir(parents=True)
    inputs = work / "inputs"
    x64 = build_package(dataclasses.replace(RELEASE_1, file_name=X64_PACKAGE), inputs,
                        options.win64_dir / "wine-tools")
    win32 = build_package(WIN32_RELEASE_FILE, inputs, options.win64_dir / "wine-tools")
    shutil.copy2(options.win64_dir / "wine-tools" / "fake_setup.exe", inputs / "csp" / "Setup.exe")
    given = ["--package", x64, "--package", win32, "--csp", inputs / "csp"]
    out = work / "out"
    unsigned = options.win32_dir / "bootstrapper.exe"

    print("--- test-signed release")
    result = run("bash", RELEASE, *given, "--out", out)
    print(result.stdout, end="")
    expect("TEST" in result.stdout and (out / "stalver-plugin-bootstrapper-1.0.0.0-TEST-SIGNED.zip"
                                        ).exists(),
           "the output and the zip's name say TEST-SIGNED")
    test_signed = check_distribution(out / "stalver-plugin-bootstrapper-1.0.0.0-TEST-SIGNED.zip",
                                     work, unsigned)
    test_signed_build = without_signature(test_signed, work, "test-signed-stripped.exe")
    expect(len(test_signed_build) <= 128 * 1024,
           f"unsigned, the release's program takes {len(test_signed_build)} bytes, at most 128 KiB")

    print("--- the releaser's certificate, password from a file")
    signer = make_certificate(work, "Releaser", "codeSigning")
    password_file = work / "password.txt"
    password_file.write_text(PASSWORD + "\n")
    own_out = work / "own"
    result = run("bash", RELEASE, *given, "--pkcs12", signer, "--out", own_out,
                 env={"RELEASE_PKCS12_PASSWORD_FILE": str(password_file)})
    expect(PASSWORD not in result.stdout + result.stderr, "the password is not in the output")
    zip_path = own_out / "stalver-plugin-bootstrapper-1.0.0.0.zip"
    expect(zip_path.exists() and "TEST" not in result.stdout, "named without TEST")
    program = check_distribution(zip_path, work, unsigned)
    releaser = fingerprint(signer.with_suffix(".pem").read_bytes())
    expect(signer_fingerprints(program, work)[0] == releaser, "signed by the releaser's certificate")
    expect(without_signature(program, work, "stripped.exe") == test_signed_build,
           "without their signatures the two releases' programs are the same bytes")

    print("--- bad inputs")
    not_msi = inputs / "bad" / X64_PACKAGE
    not_msi.parent.mkdir()
    not_msi.write_bytes(b"not a package\r\n" * 100)
    newer_x64 = build_package(dataclasses.replace(RELEASE_1, file_name=X64_PACKAGE,
                                                  version="1.0.1.0"),
                              inputs / "newer", options.win64_dir / "wine-tools")
    other_family = build_package(dataclasses.replace(
        WIN32_RELEASE_FILE, upgrade_code="{0F1E2D3C-4B5A-4978-8695-A4B3C2D1E0F9}"),
        inputs / "other-family", options.win64_dir / "wine-tools")
    five_parts = build_package(dataclasses.replace(RELEASE_1, file_name=X64_PACKAGE,
                                                   version="1.0.0.0.1"),
                               inputs / "five-parts", options.win64_dir / "wine-tools")
    server = make_certificate(work, "Server", "serverAuth")
    password = {"RELEASE_PKCS12_PASSWORD": PASSWORD}
    expect_refused("a missing package", ["--package", inputs / "none" / X64_PACKAGE], {}, out,
                   "missing package")
    expect_refused("a package that is no MSI file", ["--package", not_msi], {}, out,
                   "is not a Windows Installer (MSI) package")
    expect_refused("packages of one release with different versions",
                   ["--package", newer_x64, "--package", win32], {}, out,
                   "quorlcom-win32.msi has ProductVersion 1.0.0.0 but quorlcom-x64.msi has 1.0.1.0")
    expect_refused("packages of one release with different UpgradeCodes",
                   ["--package", x64, "--package", other_family], {}, out,
                   f"quorlcom-win32.msi has UpgradeCode {{0F1E2D3C-4B5A-4978-8695-A4B3C2D1E0F9}} "
                   f"but quorlcom-x64.msi has {RELEASE_1.upgrade_code}")
    expect_refused("a version that the detection rules cannot read", ["--package", five_parts],
                   {}, out, "ProductVersion '1.0.0.0.1' is not one to four numbers")
    expect_refused("a wrong password", [*given, "--pkcs12", signer],
                   {"RELEASE_PKCS12_PASSWORD": "wrong"}, out, "wrong password")
    expect_refused("a certificate without code-signing usage", [*given, "--pkcs12", server],
                   password, out, "no code-signing usage")
    shutil.rmtree(own_out)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except AssertionError as failure:
        print(f"FAIL: {failure}")
        sys.exit(1)
