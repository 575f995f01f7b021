' The detection rule of the Stalver browser signing plug-in for deployment engines
' (Configuration Manager), made by scripts/release.sh for one release; detect.ps1 holds the
' same logic. Run it with cscript, 32-bit or 64-bit alike. It writes one line ("{ProductCode}
' version") and ends with 0 when a product of the release's UpgradeCode is installed at the
' release's version or later, as Windows Installer reports them; it writes nothing and ends
' with 0 when none is. Any error (no Windows Installer automation object, a version it cannot
' read) ends it with 1 and nothing written to standard output: the engine reports "unknown",
' never "installed".
Option Explicit
Const UpgradeCode = "@UPGRADE_CODE@"
Const ReleaseVersion = "@RELEASE_VERSION@"
Dim found
On Error Resume Next
' An error anywhere below skips the assignment, whatever its number (Wine's automation
' errors can carry 0).
found = InstalledRelease()
If IsEmpty(found) Then
  WScript.StdErr.WriteLine "detect.vbs: " & Err.Description
  WScript.Quit 1
End If
If found <> "" Then WScript.Echo found
WScript.Quit 0

' "{ProductCode} version" of the first product of UpgradeCode at ReleaseVersion or later;
' "" when there is none.
Function InstalledRelease()
  Dim release, installer, product, version
  release = VersionKey(ReleaseVersion)
  Set installer = CreateObject("WindowsInstaller.Installer")
  For Each product In installer.RelatedProducts(UpgradeCode)
    version = installer.ProductInfo(product, "VersionString")
    If VersionKey(version) >= release Then
      InstalledRelease = product & " " & version
      Exit Function
    End If
  Next
  InstalledRelease = ""
End Function

' The version as 20 digits that compare as its four numbers do (missing ones are 0); anything
' but one to four numbers of up to five digits is an error.
Function VersionKey(version)
  Dim pattern, parts, i
  Set pattern = New RegExp
  pattern.Pattern = "^[0-9]{1,5}(\.[0-9]{1,5}){0,3}$"
  If Not pattern.Test(version) Then Err.Raise 13, , "unreadable version '" & version & "'"
  parts = Split(version & ".0.0.0", ".")
  For i = 0 To 3
    VersionKey = VersionKey & Right("0000" & parts(i), 5)
  Next
End Function
