#include "log/decimal_text.h"
#include "log/run_log.h"

namespace boot {
namespace {

// Enough for every run started in the same second; beyond it the run goes on without a log.
constexpr int kMaxNameTries = 100;
const char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

bool NameTaken(Dword error) { return error == kErrorFileExists || error == kErrorAlreadyExists; }

std::wstring TryName(const std::wstring& pathWithoutExtension, int attempt) {
  if (attempt == 1) return pathWithoutExtension + L".log";
  return pathWithoutExtension + L"_" + DecimalText(attempt) + L".log";
}

}  // namespace

bool RunLog::Open(const std::wstring& pathWithoutExtension) {
  startTick_ = os_.GetTickCount();
  for (int attempt = 1; attempt <= kMaxNameTries; ++attempt) {
    std::wstring path = TryName(pathWithoutExtension, attempt);
    // CREATE_NEW fails on any existing name, a link included, so nothing is overwritten
    // and no link is followed. Readers may open the file while the run writes it.
    file_ = os_.CreateFile(path, kGenericWrite, kFileShareRead, kCreateNew, kFileAttributeNormal);
    if (file_ != 0) {
      path_ = path;
      Write(kUtf8ByteOrderMark);
      return IsOpen();
    }
    if (!NameTaken(os_.GetLastError())) return false;
  }
  return false;
}

// One WriteFile per line and no buffer of our own: what a killed run wrote stays written. A
// write that fails closes the log: the rest of the run goes on without it.
void RunLog::Write(const std::string& bytes) {
  Dword written = 0;
  if (!os_.WriteFile(file_, bytes.data(), static_cast<Dword>(bytes.size()), &written) ||
      written != bytes.size()) {
    Close();
  }
}

void RunLog::Line(std::initializer_list<LogPiece> pieces) {
  if (file_ == 0) return;
  std::string line;
  LogPiece(os_.GetTickCount() - startTick_).AppendTo(line);
  line += ' ';
  for (const LogPiece& piece : pieces) piece.AppendTo(line);
  Write(line + "\r\n");
}

void RunLog::Close() {
  if (file_ == 0) return;
  os_.CloseHandle(file_);
  file_ = 0;
}

namespace {

// Appends `text` as UTF-8; with `oneLine`, a line feed as "\n" and no carriage return.
void AppendUtf8(std::string& bytes, const std::wstring& text, bool oneLine) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto code = static_cast<std::uint32_t>(text[i]);
    if (oneLine && (code == L'\n' || code == L'\r')) {
      if (code == L'\n') bytes += "\\n";
      continue;
    }
    // UTF-16 surrogate pairs (wchar_t is 16 bits on Windows).
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size()) {
      auto low = static_cast<std::uint32_t>(text[i + 1]);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;  // a lone surrogate
    if (code < 0x80) {
      bytes += static_cast<char>(code);
    } else if (code < 0x800) {
      bytes += static_cast<char>(0xC0 | (code >> 6));
      bytes += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      bytes += static_cast<char>(0xE0 | (code >> 12));
      bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      bytes += static_cast<char>(0xF0 | (code >> 18));
      bytes += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
}

}  // namespace

void LogPiece::AppendTo(std::string& line) const {
  switch (kind_) {
    case kAscii:
      line += ascii_;
      return;
    case kText:
      return AppendUtf8(line, *text_, true);
    case kUnsigned:
      return AppendUtf8(line, DecimalText(unsigned_), false);
    case kSigned:
      return AppendUtf8(line, DecimalText(signed_), false);
  }
}

std::string ToUtf8(const std::wstring& text) {
  std::string bytes;
  AppendUtf8(bytes, text, false);
  return bytes;
}

}  // namespace boot
