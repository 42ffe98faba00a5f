#pragma once
// Unpacking the skin's 7z archive (the LZMA SDK's reader) from memory into a name-to-bytes map.

#include <cstddef>
#include <map>
#include <string>

namespace toolkit {

// Entry name with "/" separators, as stored in the archive -> the entry's bytes.
using SkinEntries = std::map<std::wstring, std::string>;

// Every file entry of the archive; folders are left out. Any fault in the archive (truncated,
// damaged, not a 7z archive) gives an empty map and a log line, never a partial one.
SkinEntries unpackSkinArchive(const void* data, size_t size);

}  // namespace toolkit
