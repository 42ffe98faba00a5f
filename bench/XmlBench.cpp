// Throughput of the XML reader on a language file of about 10 MB: index and tree, as the language
// loader uses it.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/Benchmarks.h"
#include "common/XmlDocument.h"

namespace {

constexpr size_t kTargetUtf8Bytes = 10 * 1000 * 1000;
constexpr int kLoads = 5;

// Bytes the text would take as UTF-8, the form language files are stored in.
size_t utf8Size(const std::wstring& text) {
    size_t bytes = 0;
    for (wchar_t c : text) {
        if (c < 0x80) {
            bytes += 1;
        } else if (c < 0x800) {
            bytes += 2;
        } else if (c >= 0xD800 && c <= 0xDBFF) {
            bytes += 4;  // a surrogate pair; its low half adds nothing
        } else if (c < 0xDC00 || c > 0xDFFF) {
            bytes += 3;
        }
    }
    return bytes;
}

// Strings like those of a real language file: plain ones, some with entities, some Chinese.
std::wstring languageFile() {
    static const wchar_t* const kTexts[] = {
        L"Install the emulator and start playing right away",
        L"I accept the &quot;Licence Agreement&quot; &amp; the Privacy Policy",
        L"\u4e0b\u8f7d\u5b8c\u6210\uff0c\u6b63\u5728\u5b89\u88c5\u6a21\u62df\u5668",
        L"%s/s &lt;%d%%&gt; &#x2014; please wait",
    };
    std::wstring text = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- generated -->\r\n"
                        L"<Language name=\"English\" code=\"en\">\r\n";
    size_t bytes = utf8Size(text);
    for (int i = 0; bytes < kTargetUtf8Bytes; ++i) {
        const std::wstring line = L"\t<String id=\"string_" + std::to_wstring(i) + L"\">" + kTexts[i % 4] + L"</String>\r\n";
        bytes += utf8Size(line);
        text += line;
    }
    return text + L"</Language>\r\n";
}

}  // namespace

void benchXmlReader() {
    const std::wstring text = languageFile();
    const double megabytes = static_cast<double>(utf8Size(text)) / 1e6;
    std::vector<double> seconds;
    size_t strings = 0;
    for (int i = 0; i < kLoads; ++i) {
        common::XmlDocument document;
        const auto begin = std::chrono::steady_clock::now();
        const bool loaded = document.load(text);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
        if (!loaded) {
            std::printf("xml reader: the generated document was rejected\n");
            return;
        }
        strings = document.root()->children().size();
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("xml reader load (index and tree, %zu strings, %.1f MB counted as UTF-8, %zu UTF-16 units): "
                "%d loads, median %.1f MB/s, best %.1f MB/s (target: >= 50 MB/s)\n",
                strings, megabytes, text.size(), kLoads, megabytes / seconds[kLoads / 2], megabytes / seconds[0]);
}
