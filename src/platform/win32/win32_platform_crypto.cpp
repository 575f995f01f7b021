// SHA-256 through CNG (bcrypt.dll, found at run time: Windows before Vista has none) and
// through CryptoAPI (advapi32, imported: every release has it).
#include "platform/win32/win32_platform.h"

namespace boot {
namespace {

constexpr Long kStatusProcedureNotFound = static_cast<Long>(0xC000007A);

// The CNG handles are pointers; bcrypt.h is not needed for these few signatures.
using BCryptOpenAlgorithmProviderFunction = LONG(WINAPI*)(void**, LPCWSTR, LPCWSTR, ULONG);
using BCryptGetPropertyFunction = LONG(WINAPI*)(void*, LPCWSTR, PUCHAR, ULONG, ULONG*, ULONG);
using BCryptCreateHashFunction = LONG(WINAPI*)(void*, void**, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
using BCryptHashDataFunction = LONG(WINAPI*)(void*, PUCHAR, ULONG, ULONG);
using BCryptFinishHashFunction = LONG(WINAPI*)(void*, PUCHAR, ULONG, ULONG);
using BCryptHandleFunction = LONG(WINAPI*)(void*);
using BCryptCloseFunction = LONG(WINAPI*)(void*, ULONG);

void* ToCngHandle(KernelHandle handle) { return reinterpret_cast<void*>(handle); }
KernelHandle FromCngHandle(void* handle) { return reinterpret_cast<KernelHandle>(handle); }

}  // namespace

Long Win32Platform::BCryptOpenAlgorithmProvider(KernelHandle* algorithm,
                                                const std::wstring& algorithmId, Dword flags) {
  const auto open =
      bcrypt_.Find<BCryptOpenAlgorithmProviderFunction>("BCryptOpenAlgorithmProvider");
  if (open == nullptr) return kStatusProcedureNotFound;
  void* opened = nullptr;
  const LONG status = open(&opened, algorithmId.c_str(), nullptr, flags);
  *algorithm = FromCngHandle(opened);
  return status;
}

Long Win32Platform::BCryptGetProperty(KernelHandle object, const std::wstring& property,
                                      std::uint8_t* output, Dword size, Dword* result) {
  const auto get = bcrypt_.Find<BCryptGetPropertyFunction>("BCryptGetProperty");
  if (get == nullptr) return kStatusProcedureNotFound;
  ULONG written = 0;
  const LONG status = get(ToCngHandle(object), property.c_str(), output, size, &written, 0);
  *result = written;
  return status;
}

Long Win32Platform::BCryptCreateHash(KernelHandle algorithm, KernelHandle* hash,
                                     std::uint8_t* hashObject, Dword hashObjectSize) {
  const auto create = bcrypt_.Find<BCryptCreateHashFunction>("BCryptCreateHash");
  if (create == nullptr) return kStatusProcedureNotFound;
  void* created = nullptr;
  const LONG status =
      create(ToCngHandle(algorithm), &created, hashObject, hashObjectSize, nullptr, 0, 0);
  *hash = FromCngHandle(created);
  return status;
}

Long Win32Platform::BCryptHashData(KernelHandle hash, const std::uint8_t* input, Dword size) {
  const auto add = bcrypt_.Find<BCryptHashDataFunction>("BCryptHashData");
  if (add == nullptr) return kStatusProcedureNotFound;
  // CNG reads the input; its signature does not say so.
  return add(ToCngHandle(hash), const_cast<std::uint8_t*>(input), size, 0);
}

Long Win32Platform::BCryptFinishHash(KernelHandle hash, std::uint8_t* output, Dword size) {
  const auto finish = bcrypt_.Find<BCryptFinishHashFunction>("BCryptFinishHash");
  if (finish == nullptr) return kStatusProcedureNotFound;
  return finish(ToCngHandle(hash), output, size, 0);
}

Long Win32Platform::BCryptDestroyHash(KernelHandle hash) {
  const auto destroy = bcrypt_.Find<BCryptHandleFunction>("BCryptDestroyHash");
  if (destroy == nullptr) return kStatusProcedureNotFound;
  return destroy(ToCngHandle(hash));
}

Long Win32Platform::BCryptCloseAlgorithmProvider(KernelHandle algorithm) {
  const auto close = bcrypt_.Find<BCryptCloseFunction>("BCryptCloseAlgorithmProvider");
  if (close == nullptr) return kStatusProcedureNotFound;
  return close(ToCngHandle(algorithm), 0);
}

bool Win32Platform::CryptAcquireContext(KernelHandle* provider, Dword providerType, Dword flags) {
  HCRYPTPROV acquired = 0;
  const BOOL done = ::CryptAcquireContextW(&acquired, nullptr, nullptr, providerType, flags);
  *provider = static_cast<KernelHandle>(acquired);
  return done != FALSE;
}

bool Win32Platform::CryptCreateHash(KernelHandle provider, Dword algorithm, KernelHandle* hash) {
  HCRYPTHASH created = 0;
  const BOOL done = ::CryptCreateHash(provider, algorithm, 0, 0, &created);
  *hash = static_cast<KernelHandle>(created);
  return done != FALSE;
}

bool Win32Platform::CryptHashData(KernelHandle hash, const std::uint8_t* data, Dword size) {
  return ::CryptHashData(hash, data, size, 0) != FALSE;
}

bool Win32Platform::CryptGetHashParam(KernelHandle hash, Dword parameter, std::uint8_t* data,
                                      Dword* size) {
  DWORD length = *size;
  const BOOL done = ::CryptGetHashParam(hash, parameter, data, &length, 0);
  *size = length;
  return done != FALSE;
}

bool Win32Platform::CryptDestroyHash(KernelHandle hash) {
  return ::CryptDestroyHash(hash) != FALSE;
}

bool Win32Platform::CryptReleaseContext(KernelHandle provider) {
  return ::CryptReleaseContext(provider, 0) != FALSE;
}

}  // namespace boot
