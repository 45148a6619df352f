// URL splitting, direct and proxy requests, URL encoding and the progress texts.
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "QzWinNetUrl.h"
#include "QzWinState.h"

namespace QzWinNetUrl_test {

namespace {

struct ParseCase {
    const char* url;
    const char* host;
    const char* path;
    const char* fileName;
    int port;
    int resolvedPort;
    const char* request;
};

TEST(NetUrl, SplitsUrlsAndResolvesDirectRequests) {
    const ParseCase cases[] = {
        {"http://h/a/b.html", "h", "/a/b.html", "b.html", -1, 80, "/a/b.html"},
        {"http://h:8080", "h", "/", "index.htm", 8080, 8080, "/"},
        {"http://h:0/x", "h", "/x", "x", -1, 80, "/x"},
        {"ftp://h/d/", "h", "/d/", "index.htm", -1, 80, "/d/"},
        {"//h/q?a=1 b", "h", "/q?a=1 b", "q?a=1 b", -1, 80, "/q%3Fa%3D1+b"},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.url);
        char host[kHttpUrlTextSize], path[kHttpUrlTextSize], name[kHttpUrlTextSize];
        int port = 0;
        ASSERT_EQ(ParseHttpUrl(c.url, host, path, name, &port), 0);
        EXPECT_STREQ(host, c.host);
        EXPECT_STREQ(path, c.path);
        EXPECT_STREQ(name, c.fileName);
        EXPECT_EQ(port, c.port);
        char request[kHttpUrlTextSize];
        ASSERT_EQ(ResolveHttpUrl(c.url, 1, host, request, name, &port), 0);  // no proxy set: direct
        EXPECT_STREQ(host, c.host);
        EXPECT_STREQ(request, c.request);
        EXPECT_EQ(port, c.resolvedPort);
    }
    EXPECT_EQ(ParseHttpUrl("http:/h/x", nullptr, nullptr, nullptr, nullptr), -1);
    // A port past 65535 is refused, however its digits would wrap in 32 bits.
    for (const char* url : {"http://h:70000/x", "http://h:4294967376/x", "http://h:65536"}) {
        SCOPED_TRACE(url);
        EXPECT_EQ(ParseHttpUrl(url, nullptr, nullptr, nullptr, nullptr), -1);
        EXPECT_EQ(ResolveHttpUrl(url, 0, nullptr, nullptr, nullptr, nullptr), -1);
    }
    int top = 0;
    EXPECT_EQ(ParseHttpUrl("http://h:65535/x", nullptr, nullptr, nullptr, &top), 0);
    EXPECT_EQ(top, 65535);
    EXPECT_EQ(ResolveHttpUrl("h/x", 0, nullptr, nullptr, nullptr, nullptr), -1);
}

TEST(NetUrl, ProxyRequestCarriesTheAbsoluteUrl) {
    std::strcpy(g_httpProxy.hostName, "proxy.local");
    g_httpProxy.port = 3128;
    char host[kHttpUrlTextSize], request[kHttpUrlTextSize], name[kHttpUrlTextSize];
    int port = 0;
    ASSERT_EQ(ResolveHttpUrl("http://h:8080/a b", 1, host, request, name, &port), 0);
    EXPECT_STREQ(request, "http://h:8080/a+b");
    EXPECT_STREQ(host, "proxy.local");
    EXPECT_EQ(port, 3128);
    ASSERT_EQ(ResolveHttpUrl("http://h/a", 1, host, request, name, &port), 0);
    EXPECT_STREQ(request, "http://h/a");
    ASSERT_EQ(ResolveHttpUrl("http://h/a", 0, host, request, name, &port), 0);  // flag 0: direct
    EXPECT_STREQ(host, "h");
    EXPECT_EQ(port, 80);
}

TEST(NetUrl, PartsThatDoNotFitFailWithoutOverrun) {
    // Buffers of exactly the documented size; the sanitizer sees any write past them.
    char host[kHttpUrlTextSize], request[kHttpUrlTextSize], name[kHttpUrlTextSize];
    int port = 0;
    const std::string longHost = "http://" + std::string(kHttpUrlTextSize, 'h') + "/x";
    EXPECT_EQ(ParseHttpUrl(longHost.c_str(), host, request, name, &port), -1);
    const std::string longPath = "http://h/" + std::string(kHttpUrlTextSize, 'p');
    EXPECT_EQ(ResolveHttpUrl(longPath.c_str(), 0, host, request, name, &port), -1);
    // Fits as given (61 bytes of path) but not once each "&" becomes "%26".
    const std::string grows = "http://h/" + std::string(60, '&');
    EXPECT_EQ(ResolveHttpUrl(grows.c_str(), 0, host, request, name, &port), -1);
    const std::string fits = "http://h/" + std::string(41, '&');  // 1 + 41 * 3 = 124
    ASSERT_EQ(ResolveHttpUrl(fits.c_str(), 0, host, request, name, &port), 0);
    EXPECT_EQ(std::strlen(request), 124u);
}

struct EncodeCase {
    const char* text;
    int mode;
    int countOnly;
    const char* encoded;
    int length;
};

TEST(NetUrl, EncodesInPlace) {
    g_windowSystem.codePageMode = 1;
    const EncodeCase cases[] = {
        {"a b&c", 0, 0, "a+b%26c", 7},
        {"/x:y", 1, 0, "%2Fx%3Ay", 8},
        {"/x:y%", 0, 0, "/x:y%", 5},
        {"\x82\xA0", 0, 0, "%82%A0", 6},
        {"\x82\xA0", 1, 0, "%82%A0", 6},
        {"\x82\xA0", 0, 1, "\x82\xA0", 6},
        {"\x83\x41", 0, 1, "\x83\x41", 4},
        {"\x83\x41", 0, 0, "%83%41", 6},  // the pair is kept whole
        {"\x83\x41", 1, 0, "%83A", 4},
        {"a\x82", 0, 0, "a%82", 4},  // a lead byte before the terminator goes alone
        {"/:%\x82\xA0", 2, 0, "/:%%82%A0", 9},
        {"a b", 0, 1, "a b", 3},
    };
    for (const EncodeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.encoded << " mode " << c.mode << " count " << c.countOnly);
        char text[64];
        std::strcpy(text, c.text);
        EXPECT_EQ(EncodeUrlText(text, c.mode, c.countOnly), c.length);
        EXPECT_STREQ(text, c.encoded);
    }
}

TEST(NetUrl, FormatsByteSizes) {
    struct {
        int bytes;
        const char* text;
        int unit;
    } cases[] = {
        {1000, "1.0", 'k'}, {838861, "0.8", 'M'}, {838860, "819.2", 'k'},
        {1073741824, "1.0", 'G'}, {-10, "0.0", 'k'}, {-2000, "-2.0", 'k'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        char out[32];
        EXPECT_EQ(FormatByteSizeText(c.bytes, out), c.unit);
        EXPECT_STREQ(out, c.text);
    }
}

TEST(NetUrl, FormatsDurations) {
    struct {
        int ms;
        const char* text;
    } cases[] = {
        {999, "0秒"},
        {125000, "2分 5秒"},
        {3725000, "1時間 2分 "},
        {90061000, "1日 1時間 "},
        {86400000 + 61000, "1日 "},
        {0, "0秒"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ms);
        char out[64];
        EXPECT_EQ(FormatTimeText(c.ms, out), 0);
        EXPECT_STREQ(out, c.text);
    }
}

}  // namespace

}  // namespace QzWinNetUrl_test
