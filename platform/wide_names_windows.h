#pragma once
// Windows: UTF-8 names as the wide-character API takes them.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace pctlfit {

inline std::wstring widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

}  // namespace pctlfit
