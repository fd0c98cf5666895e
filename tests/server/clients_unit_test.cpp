// What the server makes of a client without HTTP: address groups, X-Forwarded-For from
// trusted proxies only, the operators' address lists, log text, who may read /metrics,
// and the web player's files answered from the bytes loaded at start-up.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>

#include "server/app.h"
#include "server/clients.h"

using namespace tolvane::server;
namespace fs = std::filesystem;

namespace {

AddressList listOf(const char* text) {
    std::string why;
    auto list = AddressList::parse(text, &why);
    EXPECT_TRUE(list) << text << ": " << why;
    return list ? *list : AddressList{};
}

// An App on a SQLite file of its own, asked one request at a time.
class AppFixture {
  public:
    explicit AppFixture(Settings settings) {
        char tmpl[] = "/tmp/tolvane-clients-XXXXXX";
        dir_ = mkdtemp(tmpl);
        settings.workers = 1;
        app_ = std::make_unique<App>(std::make_unique<Store>(openDatabase((dir_ / "runs.sqlite").string())),
                                     settings);
    }
    ~AppFixture() {
        app_.reset();
        fs::remove_all(dir_);
    }
    Response get(const std::string& path, const std::string& peer, bool forwarded = false) {
        Request req;
        req.method = "GET";
        req.path = path;
        req.peer = req.address = req.addressGroup = peer;
        req.forwarded = forwarded;
        std::promise<Response> answer;
        app_->handle(req, [&](Response r) { answer.set_value(std::move(r)); });
        return answer.get_future().get();
    }

  private:
    fs::path dir_;
    std::unique_ptr<App> app_;
};

} // namespace

TEST(AddressGroups, Ipv4ItselfIpv6ItsSlash64MappedAsIpv4) {
    struct Case {
        const char *address, *group;
    };
    // clang-format off
    const Case cases[] = {
        {"203.0.113.7",                      "203.0.113.7"},
        {"127.0.0.1",                        "127.0.0.1"},
        {"2001:db8:1:2:3:4:5:6",             "2001:db8:1:2::/64"},
        {"2001:DB8:1:2::ffff",               "2001:db8:1:2::/64"},     // any spelling, one group
        {"2001:0db8:0001:0002:0000:0000:0:1", "2001:db8:1:2::/64"},
        {"2001:db8:1:3::1",                  "2001:db8:1:3::/64"},     // the next /64 is another
        {"::1",                              "::/64"},
        {"fe80::1234:5678",                  "fe80::/64"},
        {"::ffff:198.51.100.9",              "198.51.100.9"},          // IPv4-mapped: the IPv4 address
        {"::ffff:c633:6409",                 "198.51.100.9"},
        {"-",                                "-"},                     // no address known: as it is
    };
    // clang-format on
    for (const Case& c : cases) EXPECT_EQ(addressGroup(c.address), c.group) << c.address;
}

TEST(ForwardedFor, ReadOnlyFromTrustedProxiesRightMostOtherAddressWins) {
    const AddressList trusted = listOf("127.0.0.1, 10.0.0.2,2001:db8::53");
    struct Case {
        const char *peer, *header, *client;
    };
    // clang-format off
    const Case cases[] = {
        {"198.51.100.1", "203.0.113.7",                 "198.51.100.1"}, // not a trusted proxy: ignored
        {"::ffff:198.51.100.1", "203.0.113.7",          "::ffff:198.51.100.1"},
        {"127.0.0.1",    "",                            "127.0.0.1"},    // the proxy's own request
        {"127.0.0.1",    "203.0.113.7",                 "203.0.113.7"},
        {"::ffff:127.0.0.1", "203.0.113.7",             "203.0.113.7"},  // the proxy, IPv4-mapped
        {"127.0.0.1",    "1.1.1.1, 203.0.113.7",        "203.0.113.7"},  // the client's own entry is not read
        {"127.0.0.1",    "203.0.113.7, 10.0.0.2",       "203.0.113.7"},  // a chain of trusted proxies
        {"127.0.0.1",    "203.0.113.7,10.0.0.2 ,\t127.0.0.1", "203.0.113.7"},
        {"2001:db8::53", "2001:DB8:0:0:0:0:0:AB",       "2001:db8::ab"}, // canonical, as logged
        {"127.0.0.1",    "::ffff:203.0.113.7",          "203.0.113.7"},
        {"127.0.0.1",    "garbage, 203.0.113.7",        "203.0.113.7"},  // garbage further left: never read
        {"127.0.0.1",    "203.0.113.7, garbage",        "127.0.0.1"},    // malformed where trusted: the proxy's
        {"127.0.0.1",    "203.0.113.7:4711",            "127.0.0.1"},    // a port is not an address
        {"127.0.0.1",    "[2001:db8::1]",               "127.0.0.1"},
        {"127.0.0.1",    "203.0.113.7,",                "127.0.0.1"},    // an empty entry
        {"127.0.0.1",    "203.0.113.7, 10.0.0.2, ",     "127.0.0.1"},
        {"127.0.0.1",    "fe80::1%eth0",                "127.0.0.1"},
        {"127.0.0.1",    "203.0.113.07",                "127.0.0.1"},
        {"127.0.0.1",    "203.0.113.7\r\nX: y",         "127.0.0.1"},
        {"127.0.0.1",    "10.0.0.2, 127.0.0.1",         "10.0.0.2"},     // all trusted: the left-most
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(clientAddress(c.peer, c.header, trusted), c.client) << c.peer << " / " << c.header;
    EXPECT_EQ(clientAddress("127.0.0.1", "203.0.113.7", AddressList{}), "127.0.0.1") << "no proxy trusted";
}

TEST(AddressLists, EveryEntryAnAddressOrTheListIsRefused) {
    struct Case {
        const char* text;
        bool ok;
        const char* inside; // the address in the list, or the reason
    };
    // clang-format off
    const Case cases[] = {
        {"127.0.0.1",                 true,  "127.0.0.1"},
        {" 10.0.0.1 ,::1",            true,  "::1"},
        {"::ffff:10.0.0.3",           true,  "10.0.0.3"},
        {"",                          false, "an empty entry"},
        {"10.0.0.1,",                 false, "an empty entry"},
        {"10.0.0.0/8",                false, "not an IP address: \"10.0.0.0/8\""},
        {"localhost",                 false, "not an IP address"},
        {"10.0.0.1,\x1b[31m",         false, "\"\\x1b[31m\""},
    };
    // clang-format on
    for (const Case& c : cases) {
        std::string why;
        const auto list = AddressList::parse(c.text, &why);
        ASSERT_EQ(bool(list), c.ok) << c.text;
        if (c.ok)
            EXPECT_TRUE(list->contains(c.inside)) << c.text;
        else
            EXPECT_NE(why.find(c.inside), std::string::npos) << c.text << ": " << why;
    }
    EXPECT_FALSE(listOf("10.0.0.1").contains("10.0.0.2"));
    EXPECT_FALSE(listOf("10.0.0.1").contains("garbage"));
}

TEST(LogText, ControlCharactersQuotesAndBackslashesEscaped) {
    EXPECT_EQ(printable("/api/v1/table?x=ü"), "/api/v1/table?x=ü");
    EXPECT_EQ(printable("/a\r\n1.2.3.4 \"GET /\" 200"), "/a\\x0d\\x0a1.2.3.4 \\x22GET /\\x22 200");
    EXPECT_EQ(printable(std::string("\\\x7f\0", 3)), "\\x5c\\x7f\\x00");
}

TEST(Metrics, OnlyLoopbackAndMetricsFromByTheConnectionsOwnAddress) {
    Settings settings;
    settings.metricsFrom = listOf("192.0.2.10,2001:db8::10");
    AppFixture app(settings);
    struct Case {
        const char* peer;
        bool forwarded;
        int status;
    };
    // clang-format off
    const Case cases[] = {
        {"127.0.0.1",            false, 200},
        {"127.0.0.53",           false, 200},
        {"::1",                  false, 200},
        {"::ffff:127.0.0.1",     false, 200},
        {"192.0.2.10",           false, 200},
        {"::ffff:192.0.2.10",    false, 200},
        {"2001:db8::10",         false, 200},
        {"192.0.2.11",           false, 404},
        {"2001:db8::11",         false, 404},
        {"-",                    false, 404},
        {"127.0.0.1",            true,  404}, // a client behind a proxy on this machine
        {"192.0.2.10",           true,  404},
    };
    // clang-format on
    for (const Case& c : cases) {
        const Response r = app.get("/metrics", c.peer, c.forwarded);
        EXPECT_EQ(r.status, c.status) << c.peer << (c.forwarded ? " forwarded" : "");
        EXPECT_EQ(r.body.find("tolvane_") != std::string::npos, c.status == 200) << c.peer;
    }
}

TEST(PlayerFiles, AnsweredFromTheLoadedBytesWithoutACopy) {
    auto files = std::make_shared<std::map<std::string, std::string>>();
    (*files)["tolvane-web.wasm"] = std::string(1 << 20, 'w');
    (*files)["boss.opus"] = "song";
    const std::string* wasm = &files->at("tolvane-web.wasm");
    Settings settings;
    settings.player = files;
    Response r;
    {
        AppFixture app(settings);
        settings.player.reset();
        r = app.get("/player/tolvane-web.wasm", "203.0.113.7");
        EXPECT_EQ(app.get("/player/other.txt", "203.0.113.7").status, 404);
    }
    files.reset();
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.contentType, "application/wasm");
    EXPECT_TRUE(r.body.empty());
    ASSERT_TRUE(r.sharedBody);
    EXPECT_EQ(r.sharedBody.get(), wasm) << "the bytes loaded, not a copy";
    EXPECT_EQ(*r.sharedBody, std::string(1 << 20, 'w')) << "kept alive by the answer alone";
}
