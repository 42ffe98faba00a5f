#include "net/CurlUrl.h"

#include "utility/UString.h"

namespace utility {

namespace {

struct TextFree {
    void operator()(char* text) const { curl_free(text); }
};

}  // namespace

CurlUrl::CurlUrl(const std::string& url) : handle_(curl_url()) {
    valid_ = handle_ && curl_url_set(handle_.get(), CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
}

std::wstring CurlUrl::part(CURLUPart which) const {
    char* text = nullptr;
    if (!valid_ || curl_url_get(handle_.get(), which, &text, 0) != CURLUE_OK) return {};
    const std::unique_ptr<char, TextFree> owner(text);
    return ustring::ansiToWide(text);
}

}  // namespace utility
