// files/: the files a run works with: searching, hashing, the program's folder, install logs.
// The SHA-256 of files, with what Windows offers: CNG from Vista on, before that the
// CryptoAPI provider of type PROV_RSA_AES, acquired by type alone since its name differs on
// XP. That provider has SHA-256 from XP SP3 and Server 2003 SP2 on; Windows 2000 has none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run/run_context.h"

namespace boot {

class FileDigester {
 public:
  explicit FileDigester(RunContext& context);
  ~FileDigester();
  FileDigester(const FileDigester&) = delete;
  FileDigester& operator=(const FileDigester&) = delete;

  // False when this Windows has no SHA-256: no file can be checked. `why` then says so,
  // with the error of the call that failed.
  bool Sha256Available(std::wstring* why) const;

  // The SHA-256 of the open file's bytes from where it stands to its end, as 64 lower-case
  // hexadecimal digits; else a text, beginning with "nothing", that says why there is none.
  // With a `copy`, each byte hashed is also written there.
  std::wstring Digest(KernelHandle file, KernelHandle copy = 0);

 private:
  bool CngDone(Long status);
  bool CryptDone(bool done);
  bool Begin(KernelHandle* hash);
  bool Add(KernelHandle hash, const std::uint8_t* data, Dword size);
  bool Finish(KernelHandle hash, std::uint8_t* digest);
  void End(KernelHandle hash);

  Platform& os_;
  bool cng_ = false;
  KernelHandle provider_ = 0;
  bool ready_ = false;
  Dword error_ = 0;
  std::vector<std::uint8_t> hashObject_;
};

// "nothing: <why> (error N)", what a file without a SHA-256 shows in its place: a Windows
// error in decimal, an NTSTATUS or HRESULT in hexadecimal.
std::wstring Nothing(const wchar_t* why, Dword error);

// The bytes as lower-case hexadecimal digits, two for each.
std::wstring HexText(const std::uint8_t* bytes, std::size_t count);

}  // namespace boot
