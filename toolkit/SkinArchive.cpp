#include "toolkit/SkinArchive.h"

#include <lzma/7z.h>
#include <lzma/7zAlloc.h>
#include <lzma/7zCrc.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/LogPrint.h"

namespace toolkit {
namespace {

const ISzAlloc kAlloc = {SzAlloc, SzFree};
const ISzAlloc kAllocTemp = {SzAllocTemp, SzFreeTemp};
constexpr size_t kLookBufferSize = size_t(1) << 16;

// The SDK's seekable input over a buffer the caller keeps alive. `vt` comes first so the SDK's
// interface pointer is also a pointer to the whole stream.
struct MemoryInStream {
    ISeekInStream vt;
    const Byte* data;
    size_t size;
    size_t pos;

    static MemoryInStream* from(ISeekInStreamPtr p) {
        return const_cast<MemoryInStream*>(reinterpret_cast<const MemoryInStream*>(p));
    }

    static SRes read(ISeekInStreamPtr p, void* buffer, size_t* length) {
        MemoryInStream* self = from(p);
        const size_t count = std::min(*length, self->size - self->pos);
        std::memcpy(buffer, self->data + self->pos, count);
        self->pos += count;
        *length = count;
        return SZ_OK;
    }

    static SRes seek(ISeekInStreamPtr p, Int64* pos, ESzSeek origin) {
        MemoryInStream* self = from(p);
        const Int64 base = origin == SZ_SEEK_SET ? 0 : origin == SZ_SEEK_CUR ? Int64(self->pos) : Int64(self->size);
        const Int64 target = base + *pos;
        if (target < 0 || target > Int64(self->size)) return SZ_ERROR_READ;
        self->pos = size_t(target);
        *pos = target;
        return SZ_OK;
    }
};

// One opened archive with the SDK's buffers, released on every path out.
class OpenArchive {
public:
    OpenArchive(const void* data, size_t size)
        : memory_{{MemoryInStream::read, MemoryInStream::seek}, static_cast<const Byte*>(data), size, 0},
          lookBuffer_(kLookBufferSize) {
        LookToRead2_CreateVTable(&look_, False);
        look_.realStream = &memory_.vt;
        look_.buf = lookBuffer_.data();
        look_.bufSize = lookBuffer_.size();
        LookToRead2_INIT(&look_);
        SzArEx_Init(&db_);
    }
    ~OpenArchive() {
        ISzAlloc_Free(&kAlloc, outBuffer_);
        SzArEx_Free(&db_, &kAlloc);
    }
    OpenArchive(const OpenArchive&) = delete;
    OpenArchive& operator=(const OpenArchive&) = delete;

    SRes open() { return SzArEx_Open(&db_, &look_.vt, &kAlloc, &kAllocTemp); }
    UInt32 count() const { return db_.NumFiles; }
    bool isFolder(UInt32 index) const { return SzArEx_IsDir(&db_, index); }

    std::wstring name(UInt32 index) const {
        std::vector<UInt16> utf16(SzArEx_GetFileNameUtf16(&db_, index, nullptr));
        SzArEx_GetFileNameUtf16(&db_, index, utf16.data());
        return std::wstring(utf16.begin(), utf16.end() - (utf16.empty() ? 0 : 1));
    }

    // The entry's bytes; a solid block is decoded once and kept for the entries that follow in it.
    SRes extract(UInt32 index, std::string& bytes) {
        size_t offset = 0, length = 0;
        const SRes result = SzArEx_Extract(&db_, &look_.vt, index, &blockIndex_, &outBuffer_, &outBufferSize_,
                                           &offset, &length, &kAlloc, &kAllocTemp);
        if (result == SZ_OK) bytes.assign(reinterpret_cast<const char*>(outBuffer_) + offset, length);
        return result;
    }

private:
    MemoryInStream memory_;
    std::vector<Byte> lookBuffer_;
    CLookToRead2 look_{};
    CSzArEx db_{};
    UInt32 blockIndex_ = 0xFFFFFFFF;
    Byte* outBuffer_ = nullptr;
    size_t outBufferSize_ = 0;
};

void prepareCrcTable() {
    static const bool ready = (CrcGenerateTable(), true);
    (void)ready;
}

}  // namespace

SkinEntries unpackSkinArchive(const void* data, size_t size) {
    prepareCrcTable();
    OpenArchive archive(data, size);
    SRes result = archive.open();
    if (result != SZ_OK) {
        PEL_LOG(L"cannot open the skin archive (%u bytes): error %d", unsigned(size), int(result));
        return {};
    }
    SkinEntries entries;
    for (UInt32 i = 0; i < archive.count(); ++i) {
        if (archive.isFolder(i)) continue;
        const std::wstring name = archive.name(i);
        result = archive.extract(i, entries[name]);
        if (result != SZ_OK) {
            PEL_LOG(L"cannot unpack skin entry %s: error %d", name.c_str(), int(result));
            return {};
        }
    }
    return entries;
}

}  // namespace toolkit
