#include "driver/release_files.h"

#include <vector>

#include "cache/csp_copy.h"
#include "csp/install_csp.h"
#include "files/file_digest.h"
#include "files/file_search.h"
#include "files/program_folder.h"
#include "package/install_plugin.h"
#include "resources/release_manifest.h"
#include "resources/resource_ids.h"
#include "run/box_styles.h"
#include "run/exit_codes.h"
#include "run/message_box.h"
#include "run/messages.h"

namespace boot {
namespace {

constexpr Word kLanguageNeutral = 0;

void AddOnce(std::vector<std::wstring>* paths, const std::wstring& path) {
  for (const auto& known : *paths) {
    if (SameFileName(known, path)) return;
  }
  paths->push_back(path);
}

// Which release this is: a digest of its manifest, as eight hexadecimal digits (FNV-1a).
std::wstring ReleaseId(const std::vector<std::uint8_t>& manifest) {
  std::uint32_t hash = 2166136261u;
  for (std::uint8_t byte : manifest) hash = (hash ^ byte) * 16777619u;
  const std::uint8_t bytes[] = {
      static_cast<std::uint8_t>(hash >> 24), static_cast<std::uint8_t>(hash >> 16),
      static_cast<std::uint8_t>(hash >> 8), static_cast<std::uint8_t>(hash)};
  return HexText(bytes, sizeof bytes);
}

bool IsCspFile(const std::wstring& path) {
  const std::wstring cspFolder = std::wstring(kCspFolder) + L"\\";
  return SameFileName(path.substr(0, cspFolder.size()), cspFolder);
}

// The files of the run, relative to the program's folder.
std::vector<std::wstring> FilesOfTheRun(RunContext& context,
                                        const std::vector<ManifestEntry>& manifest,
                                        const std::wstring& folder, bool csp) {
  std::vector<std::wstring> files;
  for (const auto& path : FindPluginFiles(context)) {
    if (!path.empty()) AddOnce(&files, path.substr(folder.size()));
  }
  if (!csp) return files;
  AddOnce(&files, std::wstring(kCspFolder) + L"\\Setup.exe");
  for (const auto& entry : manifest) {
    if (IsCspFile(entry.path)) AddOnce(&files, entry.path);
  }
  std::vector<std::wstring> found;
  ListFilesBelow(context, folder, kCspFolder, &found);
  for (const auto& path : found) AddOnce(&files, path);
  return files;
}

// The file's SHA-256 where it lies, held open for reading only until the process ends, so
// that nobody can write, rename or delete it while the run goes on.
std::wstring DigestInPlace(RunContext& context, FileDigester& digester, const std::wstring& path) {
  KernelHandle file = context.os.CreateFile(path, kGenericRead, kFileShareRead, kOpenExisting, 0);
  if (file == 0) return Nothing(L"the file cannot be opened", context.os.GetLastError());
  context.releaseFiles.push_back(file);
  return digester.Digest(file);
}

bool CheckFile(RunContext& context, FileDigester& digester,
               const std::vector<ManifestEntry>& manifest, const std::wstring& folder,
               const std::wstring& path) {
  const ManifestEntry* entry = FindManifestEntry(manifest, path);
  if (entry == nullptr) {
    context.log.ReleaseFile(path, L"", L"");
    return false;
  }
  const std::wstring found = IsCspFile(path) && !context.cspCopy.folder.empty()
                                 ? CopyIntoCspCopy(context, digester, folder, path, entry->digest)
                                 : DigestInPlace(context, digester, folder + path);
  context.log.ReleaseFile(path, entry->digest, found);
  return found == entry->digest;
}

Dword Refuse(RunContext& context, bool silent, Word messageId,
             const std::vector<std::wstring>& values) {
  ShowBox(context, silent, context.ownerWindow, messageId,
          FillPlaceholders(LoadMessage(context, messageId), values),
          LoadMessage(context, msg::kErrorCaption), kErrorBox);
  return kExitReleaseFileMismatch;
}

}  // namespace

Dword CheckReleaseFiles(RunContext& context, bool silent, bool csp) {
  const auto resource =
      context.os.FindOwnResource(kRtRcdata, IDR_RELEASE_MANIFEST, kLanguageNeutral);
  std::vector<ManifestEntry> manifest;
  // A manifest that cannot be read lists nothing, so that every file is refused.
  ReadReleaseManifest(resource, &manifest);
  context.log.ReleaseManifest(!resource.empty(), manifest.size());
  if (resource.empty()) return kExitSuccess;
  context.pinSearches = true;
  FileDigester digester(context);
  std::wstring noSha256;
  if (!digester.Sha256Available(&noSha256)) {
    context.log.Decision("end the run, no file checked", noSha256);
    return Refuse(context, silent, msg::kReleaseFilesUncheckable, {});
  }
  std::wstring folder;
  if (Dword error = ProgramFolder(context, &folder)) return error;
  if (csp) {
    if (Dword error = OpenCspCopy(context, ReleaseId(resource))) {
      ReportCspFailure(context, silent, error, L"");
      return error;
    }
  }
  std::wstring refused;
  for (const auto& path : FilesOfTheRun(context, manifest, folder, csp)) {
    if (!CheckFile(context, digester, manifest, folder, path) && refused.empty()) {
      refused = folder + path;
    }
  }
  if (refused.empty()) return kExitSuccess;
  context.log.Decision("end the run", "a file of the run is not the release's");
  return Refuse(context, silent, msg::kReleaseFileMismatch, {refused});
}

}  // namespace boot
