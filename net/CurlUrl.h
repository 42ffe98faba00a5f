#pragma once
// A URL split by libcurl's own parser, so that what is decided about a URL (its proxy, the host its
// certificate must name) is decided on the parts libcurl itself connects to.

#include <curl/curl.h>

#include <memory>
#include <string>

namespace utility {

class CurlUrl {
public:
    explicit CurlUrl(const std::string& url);

    // False when the text is not a URL libcurl can take.
    bool valid() const { return valid_; }
    // The part (CURLUPART_SCHEME, CURLUPART_HOST, ...); empty when there is none.
    std::wstring part(CURLUPart which) const;

private:
    struct Cleanup {
        void operator()(CURLU* url) const { curl_url_cleanup(url); }
    };
    std::unique_ptr<CURLU, Cleanup> handle_;
    bool valid_ = false;
};

}  // namespace utility
