#!/usr/bin/env bash
# Makes a release: builds the i686 program reproducibly with the SHA-256 of every file it
# will use inside it (the release's manifest), signs it with Authenticode (SHA-256), checks
# the signature and that signing changed nothing but what it must, lays out
# the distribution folder (the program, the plug-in packages, the CSP's folder when given,
# deploy.cmd for deployment tools, their detection rules detect.vbs and detect.ps1 with the
# release's UpgradeCode and version, PACKAGES.txt with the packages' codes), writes SHA256SUMS
# and packs the folder as a zip.
#
#   scripts/release.sh --package quorlcom-x64.msi --package quorlcom-win32.msi \
#       [--csp path/to/csp] [--pkcs12 signer.p12] [--timestamp URL] [--out DIR]
#
# The PKCS#12 password comes from RELEASE_PKCS12_PASSWORD or from the file named by
# RELEASE_PKCS12_PASSWORD_FILE, never from the command line. Without --pkcs12 a throwaway
# self-signed certificate is made for this run and the result is named "-TEST-SIGNED".
# Output (default build/release): <name>/ and <name>.zip with <name>.zip.sha256. On any
# failure it says why in one line and leaves the output folder as it was.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

fail() {
  echo "release: $*" >&2
  exit 1
}

packages=()
csp_dir=""
pkcs12=""
timestamp_url=""
out_dir="$root/build/release"
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || fail "option $1 needs a value"
  case "$1" in
    --package) packages+=("$2") ;;
    --csp) csp_dir=$2 ;;
    --pkcs12) pkcs12=$2 ;;
    --timestamp) timestamp_url=$2 ;;
    --out) out_dir=$2 ;;
    *) fail "unknown option $1 (see the header of scripts/release.sh)" ;;
  esac
  shift 2
done

bash scripts/setup.sh >/dev/null 2>&1 || fail "set-up failed: run scripts/setup.sh to see why"

# --- inputs, checked before anything is made ----------------------------------------------

is_msi() {  # file: an OLE compound file whose Property table names a ProductCode
  local properties
  [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = d0cf11e0a1b11ae1 ] &&
    properties=$(msiinfo export "$1" Property 2>/dev/null) &&
    grep -q "^ProductCode"$'\t' <<<"$properties"
}

msi_property() {  # file, name: the value of that property of the package
  msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v name="$2" '$1 == name { print $2 }'
}

[ ${#packages[@]} -gt 0 ] || fail "no plug-in package given (--package quorlcom-x64.msi ...)"
installable=false
first_package=""
for package in "${packages[@]}"; do
  [ -f "$package" ] || fail "missing package $package"
  is_msi "$package" || fail "$package is not a Windows Installer (MSI) package"
  name=$(basename "$package")
  # The program decides install, upgrade or skip by the version of whichever package it
  # lists first, so every package of one release must carry the same version; the detection
  # rules look for one UpgradeCode at one version, so they must carry one UpgradeCode too.
  version_of_package=$(msi_property "$package" ProductVersion)
  upgrade_code_of_package=$(msi_property "$package" UpgradeCode)
  if [ -z "$first_package" ]; then
    release_version=$version_of_package upgrade_code=$upgrade_code_of_package first_package=$name
  elif [ "$version_of_package" != "$release_version" ]; then
    fail "$name has ProductVersion $version_of_package but $first_package has $release_version: the packages of one release must carry one version"
  elif [ "$upgrade_code_of_package" != "$upgrade_code" ]; then
    fail "$name has UpgradeCode $upgrade_code_of_package but $first_package has $upgrade_code: the packages of one release must carry one UpgradeCode"
  fi
  shopt -s nocasematch
  [[ "$name" == quorlcom*.msi ]] || fail "$name is not named quorlcom*.msi, so the program would not find it"
  [[ "$name" == quorlcom*x64* || "$name" == quorlcom*win32* ]] && installable=true
  shopt -u nocasematch
done
$installable || fail "no package named quorlcom*x64*.msi or quorlcom*win32*.msi: the program would install nothing"
# What the detection rules can read, and all that goes into them.
[[ "$release_version" =~ ^[0-9]{1,5}(\.[0-9]{1,5}){0,3}$ ]] ||
  fail "the packages' ProductVersion '$release_version' is not one to four numbers of up to five digits: the detection rules could not compare it"
[[ "$upgrade_code" =~ ^\{[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}\}$ ]] ||
  fail "the packages' UpgradeCode '$upgrade_code' is not a GUID in braces"
if [ -n "$csp_dir" ]; then
  [ -d "$csp_dir" ] || fail "missing CSP folder $csp_dir"
  [ -f "$csp_dir/Setup.exe" ] || fail "the CSP folder $csp_dir has no Setup.exe"
fi

work=$(mktemp -d /tmp/bootstrapper-release.XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 700 "$work"

# --- the certificate -----------------------------------------------------------------------

password_file=$work/password
test_signed=false
if [ -n "$pkcs12" ]; then
  [ -f "$pkcs12" ] || fail "missing certificate file $pkcs12"
  if [ -n "${RELEASE_PKCS12_PASSWORD_FILE:-}" ]; then
    [ -f "$RELEASE_PKCS12_PASSWORD_FILE" ] || fail "missing password file $RELEASE_PKCS12_PASSWORD_FILE"
    head -n 1 "$RELEASE_PKCS12_PASSWORD_FILE" | tr -d '\r\n' >"$password_file"
  elif [ -n "${RELEASE_PKCS12_PASSWORD+set}" ]; then
    printf '%s' "$RELEASE_PKCS12_PASSWORD" >"$password_file"
  else
    fail "no password for $pkcs12: set RELEASE_PKCS12_PASSWORD or RELEASE_PKCS12_PASSWORD_FILE"
  fi
  signer_p12=$pkcs12
  # Certificates made by older tools use algorithms that OpenSSL 3 keeps in its legacy set.
  read_p12() {
    openssl pkcs12 -in "$signer_p12" -passin "file:$password_file" "$@" 2>/dev/null ||
      openssl pkcs12 -legacy -in "$signer_p12" -passin "file:$password_file" "$@" 2>/dev/null
  }
  read_p12 -nokeys -clcerts -out "$work/signer.pem" ||
    fail "cannot open $pkcs12: wrong password, or not a PKCS#12 file"
  read_p12 -nokeys -out "$work/chain.pem" || true
else
  test_signed=true
  echo "release: no --pkcs12 given: signing with a throwaway self-signed TEST certificate"
  openssl rand -hex 24 >"$password_file"
  openssl req -x509 -newkey rsa:3072 -sha256 -days 30 -nodes \
    -subj "/CN=Stalver bootstrapper TEST SIGNING - not for distribution" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$work/test-key.pem" -out "$work/signer.pem" 2>/dev/null
  signer_p12=$work/test-signer.p12
  openssl pkcs12 -export -inkey "$work/test-key.pem" -in "$work/signer.pem" \
    -out "$signer_p12" -passout "file:$password_file"
  cp "$work/signer.pem" "$work/chain.pem"
fi
usages=$(openssl x509 -in "$work/signer.pem" -noout -ext extendedKeyUsage 2>/dev/null || true)
grep -q "Code Signing" <<<"$usages" ||
  fail "the certificate in ${pkcs12:-the test certificate} has no code-signing usage (extendedKeyUsage codeSigning)"

# --- the release's manifest ----------------------------------------------------------------

# The SHA-256 of each file that the program will use, named by its path below the program's
# folder with backslashes: the packages and every file of the csp folder. The program
# carries it inside its signed file and refuses a file that is missing from it or does not
# match. Sorted by name, so that the same files give the same program.
manifest=$work/release-manifest.txt
{
  for package in "${packages[@]}"; do printf '%s\t%s\n' "$(basename "$package")" "$package"; done
  [ -z "$csp_dir" ] || find -L "$csp_dir" -type f -printf 'csp/%P\t%p\n'
} | LC_ALL=C sort | while IFS=$'\t' read -r name file; do
  printf '%s  %s\n' "$(sha256sum <"$file" | cut -c1-64)" "${name//\//\\}"
done >"$manifest"

# --- build, sign, verify -------------------------------------------------------------------

version=$(sed -n 's/^#define BOOT_VERSION_TEXT "\(.*\)"$/\1/p' src/resources/version.h)
name="stalver-plugin-bootstrapper-$version"
$test_signed && name+="-TEST-SIGNED"

echo "release: building the i686 program in a fresh tree"
cmake -S "$root" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" \
  -DBOOT_RELEASE_MANIFEST="$manifest" >/dev/null
cmake --build "$work/build" --target bootstrapper >/dev/null
unsigned=$work/build/bootstrapper.exe

signed=$work/signed.exe
sign_options=(-pkcs12 "$signer_p12" -readpass "$password_file" -h sha256
  -n "Сталвер ЭЦП Browser plug-in")
[ -z "$timestamp_url" ] || sign_options+=(-ts "$timestamp_url")
osslsigncode sign "${sign_options[@]}" -in "$unsigned" -out "$signed" >"$work/sign.log" 2>&1 ||
  fail "signing failed: $(grep -v '^$' "$work/sign.log" | tail -n 1)"
rm -f "$password_file"

# The trust anchors: the certificates of the PKCS#12 file, then the system's.
cat "$work/chain.pem" /etc/ssl/certs/ca-certificates.crt >"$work/anchors.pem" 2>/dev/null || true
osslsigncode verify -in "$signed" -CAfile "$work/anchors.pem" >"$work/verify.log" 2>&1 ||
  fail "the signature does not verify: $(grep -v '^$' "$work/verify.log" | tail -n 1)"
grep -q "Message digest algorithm *: SHA256" "$work/verify.log" ||
  fail "the signature's digest is not SHA-256"
osslsigncode extract-signature -pem -in "$signed" -out "$work/signature.pem" >/dev/null
fingerprint() { openssl x509 -noout -fingerprint -sha256 | cut -d= -f2; }
signer=$(fingerprint <"$work/signer.pem")
openssl pkcs7 -in "$work/signature.pem" -print_certs | awk -v dir="$work" \
  '/BEGIN CERT/{n++} {print > (dir "/embedded-" n ".pem")}'
embedded_match=false
for certificate in "$work"/embedded-*.pem; do
  [ "$(fingerprint <"$certificate")" = "$signer" ] && embedded_match=true
done
$embedded_match || fail "the signature does not carry the certificate it was made with"

osslsigncode remove-signature -in "$signed" -out "$work/stripped.exe" >/dev/null
python3 scripts/compare_signed.py "$unsigned" "$work/stripped.exe" "$signed" ||
  fail "signing changed more of the program than the signature's header fields"

# --- the distribution ----------------------------------------------------------------------

stage=$work/stage
dist=$stage/$name
mkdir -p "$dist"
cp "$signed" "$dist/bootstrapper.exe"
cp deploy/deploy.cmd "$dist/deploy.cmd"
# The detection rules, with the release's UpgradeCode and version (checked above: a GUID and
# plain numbers, which go into a sed replacement and into the scripts' quotes as they are).
for script in detect.vbs detect.ps1; do
  sed -e "s/@UPGRADE_CODE@/$upgrade_code/" -e "s/@RELEASE_VERSION@/$release_version/" \
    "deploy/$script" >"$dist/$script"
done
for package in "${packages[@]}"; do cp "$package" "$dist/"; done
[ -z "$csp_dir" ] || cp -r "$csp_dir" "$dist/csp"
{
  echo "Windows Installer packages of this distribution (its detection rules: detect.vbs, detect.ps1):"
  for package in "${packages[@]}"; do
    file=$(basename "$package")
    echo
    echo "$file"
    msiinfo export "$package" Property | tr -d '\r' |
      awk -F'\t' '$1 ~ /^(ProductName|ProductVersion|ProductCode|UpgradeCode)$/ {
        printf "  %-15s %s\n", $1, $2 }'
  done
} >"$dist/PACKAGES.txt"

# Fixed file times and order make the zip depend on its contents only.
epoch=$(git log -1 --format=%ct 2>/dev/null || echo 946684800)
(cd "$dist" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort |
  xargs -d '\n' sha256sum >SHA256SUMS)
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not verify"
assigned() {  # script, name: every value that the script gives that name (Const or $name)
  tr -d '\r' <"$1" | sed -n -e "s/^Const $2 = \"\(.*\)\"\$/\1/p" -e "s/^\\\$$2 = '\(.*\)'\$/\1/p"
}
for script in detect.vbs detect.ps1; do
  [ "$(assigned "$dist/$script" UpgradeCode)" = "$upgrade_code" ] &&
    [ "$(assigned "$dist/$script" ReleaseVersion)" = "$release_version" ] ||
    fail "$script does not hold the release's UpgradeCode $upgrade_code and version $release_version once each"
done
(cd "$dist" && tr '\\' / <"$manifest" | sha256sum --quiet -c -) ||
  fail "the program's manifest does not match the files laid out beside it"
find "$stage" -exec touch -h -d "@$epoch" {} +
(cd "$stage" && find "$name" -print | LC_ALL=C sort | TZ=UTC zip -X -q -D -@ "$name.zip")
(cd "$stage" && sha256sum "$name.zip" >"$name.zip.sha256")

mkdir -p "$out_dir"
for item in "$name" "$name.zip" "$name.zip.sha256"; do
  rm -rf "${out_dir:?}/$item"
  mv "$stage/$item" "$out_dir/$item"
done
echo "release: $out_dir/$name.zip ($(stat -c %s "$out_dir/$name.zip") bytes)"
echo "release: $(cat "$out_dir/$name.zip.sha256")"
echo "release: signed by $(openssl x509 -in "$work/signer.pem" -noout -subject), SHA-256 $signer"
$test_signed && echo "release: TEST-SIGNED with a throwaway certificate: not for distribution"
exit 0
