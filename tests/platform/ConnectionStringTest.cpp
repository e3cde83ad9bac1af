// Connection strings as users write them, and their passwords kept out of every text.

#include <gtest/gtest.h>

#include "platform/data/ConnectionString.hpp"

namespace zev::test {
namespace {

TEST(ConnectionString, ReadsBracedValuesWithTheirEscapes) {
    std::string read;
    for (const data::ConnectionAttribute& a : data::ParseConnectionString(
             "Driver={PostgreSQL Unicode}; Pwd ={a;b}}c=d};;Port=5;{x;Uid=u;Opt={unended")) {
        read += "[" + a.Key + "|" + a.Value + "]";
    }
    EXPECT_EQ(read, "[Driver|PostgreSQL Unicode][Pwd|a;b}c=d][Port|5][Uid|u][Opt|unended]");
}

TEST(ConnectionString, PasswordsAreMaskedWhereverTheyAreWritten) {
    const std::pair<const char*, const char*> cases[] = {
        {"Driver={PostgreSQL Unicode};Uid=u;Pwd={a;b}}c};Port=1",
         "Driver={PostgreSQL Unicode};Uid=u;Pwd=***;Port=1"},
        {"DSN=x;password = s3cret ;UID=y", "DSN=x;password =***;UID=y"},
        {"PWD=", "PWD=***"},
        {"Server=db;Pwd={never closed;Port=1", "Server=db;Pwd=***"},
        // Keys that only look alike, and a user named like the key.
        {"PWDX=1;UID=pwd;XPWD=2", "PWDX=1;UID=pwd;XPWD=2"},
        // A property string carrying a connection string.
        {"Provider=ODBC;Data Source={DSN=x;PWD=y};Language=en",
         "Provider=ODBC;Data Source={DSN=x;PWD=***};Language=en"},
    };
    for (const auto& [text, masked] : cases) {
        EXPECT_EQ(data::MaskPasswords(text), masked) << text;
    }
}

TEST(ConnectionString, MessagesLoseThePasswordsTheyQuote) {
    const std::string cs = "Driver={X};Uid=u;Pwd={a;b}}c};Port=1";
    EXPECT_EQ(data::RedactPasswords("bad value {a;b}}c} or a;b}c for u", cs),
              "bad value *** or *** for u");
    EXPECT_EQ(data::RedactPasswords("login failed for \"s3\"", "DSN=d;PASSWORD=s3"),
              "login failed for \"***\"");
    EXPECT_EQ(data::RedactPasswords("nothing to hide", "DSN=d;Pwd=;Uid=nothing"),
              "nothing to hide");
}

}  // namespace
}  // namespace zev::test
