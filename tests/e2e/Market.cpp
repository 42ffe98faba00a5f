#include "tests/e2e/Market.h"

#include <rapidjson/document.h>

#include <cstdlib>

#include "net/HttpClientWrapper.h"
#include "tests/support/TestFiles.h"
#include "utility/UString.h"

namespace e2e {

const Market& Market::get() {
    static const Market market = [] {
        Market m;
        const char* json = std::getenv("PELORA_TEST_MARKET");
        const char* records = std::getenv("PELORA_FAKE_RECORD_DIR");
        if (json == nullptr || records == nullptr) return m;
        const std::string text = testsupport::readFile(testsupport::fromLinuxPath(json));
        rapidjson::Document document;
        document.Parse(text.c_str(), text.size());
        if (document.HasParseError() || !document.IsObject()) return m;
        m.running = true;
        m.base = utility::ustring::utf8ToWide(document["base"].GetString());
        m.hitsLog = testsupport::fromLinuxPath(document["hits_log"].GetString());
        m.requestsLog = testsupport::fromLinuxPath(document["requests_log"].GetString());
        m.installerSize = document["installer"]["size"].GetInt64();
        m.recordsLinux = utility::ustring::utf8ToWide(records);
        m.records = testsupport::fromLinuxPath(records) + L"\\";
        return m;
    }();
    return market;
}

bool Market::setSwitches(const std::wstring& query) const {
    utility::CHttpClientWrapper client;
    std::string answer;
    return client.download2mem(answer, base + L"/control/switches?" + query) && answer == "switched";
}

}  // namespace e2e
