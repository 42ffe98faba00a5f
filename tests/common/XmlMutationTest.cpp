// Damaged variants of real documents, made deterministically: cut at many offsets, single characters
// replaced by markup characters or NUL, brackets and quotes doubled or dropped. Every load must end
// with true or false, never a crash; an accepted document must give a tree that reads back the same
// once written out, and the index of any document must be safe to walk.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/XmlDocument.h"
#include "common/XmlMarkup.h"

using common::XmlDocument;
using common::XmlMarkup;
using common::XmlNode;

namespace {

const wchar_t kLanguageFile[] =
    L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    L"<Language name=\"Deutsch\" code='de'>\r\n"
    L"\t<String id=\"title\">Pelora Downloader</String>\r\n"
    L"\t<String id=\"license\">Ich akzeptiere die &quot;Lizenz&quot; &amp; den Datenschutz</String>\r\n"
    L"\t<String id=\"speed\">%s/s &lt;%d%%&gt;</String>\r\n"
    L"\t<String id=\"space\">Mindestens 1&#160;GB auf &apos;%s&apos; &#x2014; bitte</String>\r\n"
    L"\t<String id=\"empty\"></String>\r\n"
    L"\t<String id=\"chinese\">\u4e0b\u8f7d\u5b8c\u6210</String>\r\n"
    L"</Language>\r\n";

const wchar_t kMarkupKinds[] =
    L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    L"<!DOCTYPE Language [\n"
    L"  <!ENTITY product \"Pelora\">\n"
    L"  <!-- the subset's comment -->\n"
    L"]>\n"
    L"<!-- interface texts -->\n"
    L"<Language code=\"zh\">\n"
    L"  <?editor keep-order?>\n"
    L"  <String id=\"path\"><![CDATA[C:\\Pelora\\<edition>\\ & more]]></String>\n"
    L"  <String id=\"mixed\">before <![CDATA[<b>bold</b>]]> after<!-- note --> end</String>\n"
    L"  <String id=\"blank\"><![CDATA[]]></String>\n"
    L"</Language>\n"
    L"<!-- trailing comment -->\n";

const wchar_t kNestedElements[] =
    L"<Layout version='2'>\n"
    L" <Window name=\"main\" size=\"640,400\" caption='Pelora \"4\"'>\n"
    L"  <Page id='setup' visible=\"true\">\n"
    L"   <Button id=\"install\" text='Install &amp; run' pos=\"10,20,100,40\"/>\n"
    L"   <Check id=\"license\" checked='1' text=\"I accept\" />\n"
    L"   <Group><Label text='a&lt;b'>inner text</Label><Label/></Group>\n"
    L"  </Page>\n"
    L"  <Page id=\"progress\"><Progress value=\"0\" max='100'></Progress></Page>\n"
    L" </Window>\n"
    L"</Layout>\n";

constexpr size_t kCutEvery = 2;
constexpr size_t kReplaceEvery = 3;
const std::wstring kReplacements(L"<>/\"'&=!?[]-\0", 13);
const std::wstring kBracketsAndQuotes = L"<>\"'[]";

std::vector<std::wstring> mutationsOf(const std::wstring& text) {
    std::vector<std::wstring> mutations;
    for (size_t length = 0; length < text.size(); length += kCutEvery) mutations.push_back(text.substr(0, length));
    for (size_t i = 0; i < text.size(); i += kReplaceEvery) {
        for (wchar_t c : kReplacements) {
            if (text[i] == c) continue;
            mutations.push_back(text);
            mutations.back()[i] = c;
        }
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (kBracketsAndQuotes.find(text[i]) == std::wstring::npos) continue;
        mutations.push_back(std::wstring(text).insert(i, 1, text[i]));
        mutations.push_back(std::wstring(text).erase(i, 1));
    }
    return mutations;
}

void appendEscaped(std::wstring& out, const std::wstring& text) {
    for (wchar_t c : text) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"': out += L"&quot;"; break;
        default: out += c;
        }
    }
}

// The tree as markup: double-quoted attributes, escaped text, an end tag for every element.
void write(const XmlNode& node, std::wstring& out) {
    out += L'<';
    out += node.name();
    for (const XmlNode::Attribute& attribute : node.attributes()) {
        out += L' ' + attribute.first + L"=\"";
        appendEscaped(out, attribute.second);
        out += L'"';
    }
    out += L'>';
    appendEscaped(out, node.text());
    for (const std::unique_ptr<XmlNode>& child : node.children()) write(*child, out);
    out += L"</" + node.name() + L'>';
}

int countNodes(const XmlNode& node) {
    int count = 1;
    for (const std::unique_ptr<XmlNode>& child : node.children()) count += countNodes(*child);
    return count;
}

// Reads everything the index offers about every element it holds, well formed or not; returns
// how many elements it visited.
int walkIndex(XmlMarkup& markup) {
    int visited = 0;
    int depth = 0;
    for (;;) {
        if (markup.findElement()) {
            ++visited;
            markup.getTagName();
            for (int i = 0; !markup.getAttributeName(i).empty(); ++i) markup.getAttribute(markup.getAttributeName(i));
            markup.getText();
            markup.intoElement();
            ++depth;
        } else if (depth > 0) {
            markup.outOfElement();
            --depth;
        } else {
            return visited;
        }
    }
}

// Empty when loading text ends in a consistent state, otherwise what is wrong.
std::wstring loadProblem(const std::wstring& text, bool& accepted) {
    XmlDocument document;
    accepted = document.load(text);
    XmlMarkup markup;
    if (markup.setDocument(text) != accepted || markup.getError() != document.error()) {
        return L"the markup and the document disagree";
    }
    const int indexed = walkIndex(markup);
    if (!accepted) return document.root() == nullptr && !document.error().empty() ? L"" : L"failed load left a root or no error";
    if (document.root() == nullptr || !document.error().empty()) return L"accepted without a root or with an error";
    if (indexed != countNodes(*document.root())) return L"the tree and the index hold different elements";

    std::wstring written;
    write(*document.root(), written);
    XmlDocument again;
    if (!again.load(written)) return L"the written tree is rejected: " + again.error() + L" in " + written;
    std::wstring rewritten;
    write(*again.root(), rewritten);
    if (rewritten != written) return L"the written tree reads back as " + rewritten + L" from " + written;
    return L"";
}

struct MutatedDocument {
    const char* name;
    const wchar_t* text;
};

class XmlMutation : public ::testing::TestWithParam<MutatedDocument> {};

TEST_P(XmlMutation, EveryVariantLoadsCleanly) {
    const std::wstring original = GetParam().text;
    bool accepted = false;
    ASSERT_EQ(loadProblem(original, accepted), L"");
    ASSERT_TRUE(accepted);

    int acceptedVariants = 0;
    const std::vector<std::wstring> mutations = mutationsOf(original);
    for (size_t i = 0; i < mutations.size(); ++i) {
        ASSERT_EQ(loadProblem(mutations[i], accepted), L"") << "variant " << i << ": " << mutations[i];
        acceptedVariants += accepted ? 1 : 0;
    }
    // Both outcomes must be common, or the variants test little.
    EXPECT_GT(acceptedVariants, static_cast<int>(mutations.size() / 10));
    EXPECT_LT(acceptedVariants, static_cast<int>(mutations.size() * 9 / 10));
}

INSTANTIATE_TEST_SUITE_P(XmlDocuments, XmlMutation,
                         ::testing::Values(MutatedDocument{"LanguageFile", kLanguageFile},
                                           MutatedDocument{"MarkupKinds", kMarkupKinds},
                                           MutatedDocument{"NestedElements", kNestedElements}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
