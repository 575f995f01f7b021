# The detection rule of the Stalver browser signing plug-in for deployment engines (Intune,
# Configuration Manager), made by scripts/release.sh for one release; detect.vbs holds the
# same logic. It runs in 32-bit and 64-bit PowerShell alike. It writes one line
# ("{ProductCode} version") and ends with 0 when a product of the release's UpgradeCode is
# installed at the release's version or later, as Windows Installer reports them; it writes
# nothing and ends with 0 when none is. Any error (no Windows Installer automation object, a
# version it cannot read) ends it with 1 and nothing written to standard output: the engine
# reports "unknown" or "not detected", never "installed".
$UpgradeCode = '@UPGRADE_CODE@'
$ReleaseVersion = '@RELEASE_VERSION@'
$ErrorActionPreference = 'Stop'

# The version as 20 digits that compare as its four numbers do (missing ones are 0); anything
# but one to four numbers of up to five digits is an error.
function VersionKey([string]$version) {
  if ($version -notmatch '\A[0-9]{1,5}(\.[0-9]{1,5}){0,3}\z') {
    throw "unreadable version '$version'"
  }
  -join ("$version.0.0.0".Split('.')[0..3] | ForEach-Object { $_.PadLeft(5, '0') })
}

try {
  $release = VersionKey $ReleaseVersion
  $installer = New-Object -ComObject WindowsInstaller.Installer
  # Its members are parameterised properties: InvokeMember reaches them in every PowerShell.
  $type = $installer.GetType()
  $related = $type.InvokeMember('RelatedProducts', 'GetProperty', $null, $installer,
                                @($UpgradeCode))
  $found = ''
  foreach ($product in $related) {
    $version = $type.InvokeMember('ProductInfo', 'GetProperty', $null, $installer,
                                  @($product, 'VersionString'))
    if ((VersionKey $version) -ge $release) { $found = "$product $version"; break }
  }
} catch {
  [Console]::Error.WriteLine("detect.ps1: $_")
  exit 1
}
if ($found) { Write-Output $found }
exit 0
