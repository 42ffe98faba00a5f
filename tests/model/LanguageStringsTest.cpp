// The model's language table, filled from real language documents.

#include <gtest/gtest.h>

#include "model/DownloaderModel.h"
#include "tests/model/LoggedLine.h"
#include "tests/support/ProcessLog.h"

namespace {

TEST(LanguageStrings, StoresStringElementsWithIdAndText) {
    DownloaderModel model;
    ASSERT_TRUE(model.loadLanguage(LR"(<?xml version="1.0" encoding="utf-8"?>
<StringBundle>
  <!-- the setup page -->
  <String id="install">Install &amp; run</String>
  <String id="title">&#xD55C;&#xAD6D;&#xC5B4;</String>
  <String id="noText"></String>
  <String>no id</String>
  <Other id="other">not a string</Other>
  <String id="install">Install now</String>
</StringBundle>)"));
    EXPECT_EQ(model.getString(L"install"), L"Install now");
    EXPECT_EQ(model.getString(L"title"), L"\ud55c\uad6d\uc5b4");
    EXPECT_EQ(model.getString(L"noText"), L"noText");
    EXPECT_EQ(model.getString(L"other"), L"other");
    EXPECT_EQ(model.getString(L"unknown"), L"unknown");
}

TEST(LanguageStrings, KeepsEarlierEntriesAcrossLoadsAndRejectsBrokenDocuments) {
    testsupport::processLogPath();
    DownloaderModel model;
    ASSERT_TRUE(model.loadLanguage(L"<StringBundle><String id=\"a\">A</String></StringBundle>"));
    EXPECT_FALSE(model.loadLanguage(L"<StringBundle><String id=\"a\">B</StringBundle>"));
    EXPECT_FALSE(model.loadLanguage(L""));
    EXPECT_FALSE(model.loadLanguage(L"<a/><b/>"));
    EXPECT_TRUE(loggedLine("DownloaderModel::loadLanguage", "language load from string error. length:"));
    ASSERT_TRUE(model.loadLanguage(L"<StringBundle><String id=\"b\">B</String></StringBundle>"));
    EXPECT_EQ(model.getString(L"a"), L"A");
    EXPECT_EQ(model.getString(L"b"), L"B");
}

}  // namespace
