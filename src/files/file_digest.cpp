#include "files/file_digest.h"

#include "log/decimal_text.h"

namespace boot {
namespace {

constexpr wchar_t kSha256Algorithm[] = L"SHA256";     // BCRYPT_SHA256_ALGORITHM
constexpr wchar_t kObjectLength[] = L"ObjectLength";  // BCRYPT_OBJECT_LENGTH
constexpr Dword kFirstMajorVersionWithCng = 6;
constexpr Dword kDigestBytes = 32;
constexpr Dword kChunkBytes = 64 * 1024;

constexpr wchar_t kNoSha256[] =
    L"this Windows has no SHA-256 (Windows 2000, XP before SP3, Server 2003 before SP2)";

// A Windows error in decimal, an NTSTATUS or HRESULT in hexadecimal.
std::wstring WithError(const wchar_t* what, Dword error) {
  const std::uint8_t code[] = {
      static_cast<std::uint8_t>(error >> 24), static_cast<std::uint8_t>(error >> 16),
      static_cast<std::uint8_t>(error >> 8), static_cast<std::uint8_t>(error)};
  return what + (L" (error " +
                 (error > 0xFFFF ? L"0x" + HexText(code, sizeof code) : DecimalText(error)) + L")");
}

}  // namespace

std::wstring Nothing(const wchar_t* why, Dword error) {
  return L"nothing: " + WithError(why, error);
}

FileDigester::FileDigester(RunContext& context) : os_(context.os) {
  Dword major = 0;
  os_.RtlGetNtVersionNumbers(&major, nullptr, nullptr);
  cng_ = major >= kFirstMajorVersionWithCng;
  if (!cng_) {
    // XP SP2's AES provider is there, without SHA-256: only a hash made tells.
    KernelHandle trial = 0;
    ready_ = CryptDone(os_.CryptAcquireContext(&provider_, kProvRsaAes, kCryptVerifyContext)) &&
             Begin(&trial);
    if (ready_) End(trial);
    return;
  }
  Dword length = 0;
  Dword written = 0;
  ready_ = CngDone(os_.BCryptOpenAlgorithmProvider(&provider_, kSha256Algorithm, 0)) &&
           CngDone(os_.BCryptGetProperty(provider_, kObjectLength,
                                         reinterpret_cast<std::uint8_t*>(&length), sizeof length,
                                         &written));
  hashObject_.resize(length);
}

FileDigester::~FileDigester() {
  if (provider_ == 0) return;
  if (cng_) {
    os_.BCryptCloseAlgorithmProvider(provider_);
  } else {
    os_.CryptReleaseContext(provider_);
  }
}

bool FileDigester::Sha256Available(std::wstring* why) const {
  if (!ready_) *why = WithError(kNoSha256, error_);
  return ready_;
}

std::wstring FileDigester::Digest(KernelHandle file, KernelHandle copy) {
  KernelHandle hash = 0;
  if (!ready_ || !Begin(&hash)) return Nothing(kNoSha256, error_);
  std::wstring problem;
  std::vector<std::uint8_t> chunk(kChunkBytes);
  for (;;) {
    Dword read = 0;
    if (!os_.ReadFile(file, chunk.data(), kChunkBytes, &read)) {
      problem = Nothing(L"the file cannot be read", os_.GetLastError());
      break;
    }
    if (read == 0) break;
    if (!Add(hash, chunk.data(), read)) {
      problem = Nothing(L"the file cannot be hashed", error_);
      break;
    }
    Dword written = 0;
    if (copy != 0 && (!os_.WriteFile(copy, chunk.data(), read, &written) || written != read)) {
      problem = Nothing(L"the copy cannot be written", os_.GetLastError());
      break;
    }
  }
  std::uint8_t digest[kDigestBytes] = {};
  if (problem.empty() && !Finish(hash, digest)) {
    problem = Nothing(L"the file cannot be hashed", error_);
  }
  End(hash);
  return problem.empty() ? HexText(digest, kDigestBytes) : problem;
}

bool FileDigester::CngDone(Long status) {
  error_ = static_cast<Dword>(status);
  return status == 0;
}

bool FileDigester::CryptDone(bool done) {
  error_ = done ? kErrorSuccess : os_.GetLastError();
  return done;
}

bool FileDigester::Begin(KernelHandle* hash) {
  if (cng_) {
    return CngDone(os_.BCryptCreateHash(provider_, hash, hashObject_.data(),
                                        static_cast<Dword>(hashObject_.size())));
  }
  return CryptDone(os_.CryptCreateHash(provider_, kCalgSha256, hash));
}

bool FileDigester::Add(KernelHandle hash, const std::uint8_t* data, Dword size) {
  return cng_ ? CngDone(os_.BCryptHashData(hash, data, size))
              : CryptDone(os_.CryptHashData(hash, data, size));
}

bool FileDigester::Finish(KernelHandle hash, std::uint8_t* digest) {
  if (cng_) return CngDone(os_.BCryptFinishHash(hash, digest, kDigestBytes));
  Dword size = kDigestBytes;
  return CryptDone(os_.CryptGetHashParam(hash, kHpHashVal, digest, &size)) && size == kDigestBytes;
}

void FileDigester::End(KernelHandle hash) {
  if (cng_) {
    os_.BCryptDestroyHash(hash);
  } else {
    os_.CryptDestroyHash(hash);
  }
}

std::wstring HexText(const std::uint8_t* bytes, std::size_t count) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  for (std::size_t index = 0; index < count; ++index) {
    text += kDigits[bytes[index] >> 4];
    text += kDigits[bytes[index] & 0xF];
  }
  return text;
}

}  // namespace boot
