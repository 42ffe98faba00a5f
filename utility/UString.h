#pragma once
// String, path and code-page helpers. Pure functions; any thread.

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace utility::ustring {

// Name of the last path element without its last extension: "C:\\a\\b.c.exe" -> "b.c". Empty when the
// path has no "\\" or "/".
std::wstring fileStem(const std::wstring& path);
// Folder of the last element, keeping its trailing separator: "C:\\a\\b\\" -> "C:\\a\\".
std::wstring parentDir(const std::wstring& path);
// Folder of the running executable, with its trailing separator.
std::wstring exeDir();

std::wstring fromInt(int number);
std::wstring fromUnsigned(unsigned long number);

// Code-page conversions. A length of -1 reads up to the first NUL; null input or any other negative
// length gives an empty string.
std::wstring toWide(const char* bytes, int length, UINT codePage);
std::string toNarrow(const wchar_t* text, int length, UINT codePage);
std::wstring ansiToWide(const std::string& bytes);
std::string wideToAnsi(const std::wstring& text);
std::wstring utf8ToWide(const std::string& bytes);
std::string wideToUtf8(const std::wstring& text);
std::string ansiToUtf8(const std::string& bytes);

// Value of a header in a CR LF separated block: "Content-Length: 10\r\n" gives "10". The name is
// matched without regard to case. False, and out untouched, when it is absent or has no colon.
bool headerValue(const char* headers, const char* name, std::string& out);

bool isAllDigits(const std::wstring& text);
bool endsWith(const std::string& text, const std::string& suffix);
bool endsWith(const std::wstring& text, const std::wstring& suffix);
// Every occurrence of `from` replaced by `to`, left to right; what `to` brings in is not searched again.
std::wstring replaceAll(std::wstring text, const std::wstring& from, const std::wstring& to);

// Pieces between separators, each trimmed of blanks; empty pieces are kept. Empty text or separator
// gives no pieces.
std::vector<std::wstring> split(const std::wstring& text, const std::wstring& separator);

// "Key = value" texts to a map: keys lower-cased (ASCII), trailing blanks dropped from key and value.
// Texts without the separator and empty keys are skipped; a later key wins.
std::map<std::wstring, std::wstring> parseKeyValues(const std::vector<std::wstring>& texts,
                                                    const std::wstring& separator);
bool lookup(const std::map<std::wstring, std::wstring>& values, const std::wstring& key, std::wstring& out);

}  // namespace utility::ustring
