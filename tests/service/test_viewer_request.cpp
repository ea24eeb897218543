// The viewers' requests as the service reads them: the shapes it takes and
// the reasons it gives for everything else.

#include <gtest/gtest.h>

#include <string>

#include "service/Tviewer_request.h"

TEST(ViewerRequest, PingAndSetAreReadWithTheirValues) {
  Tviewer_request r;
  ASSERT_TRUE(r.Parse("{\"request\":\"ping\",\"id\":7}")) << r.reason;
  EXPECT_EQ(r.kind, Tviewer_request::Kind::kPing);
  EXPECT_EQ(r.id, 7);

  ASSERT_TRUE(
      r.Parse(" { \"id\" : -3 , \"settings\" : { \"altitude\" : 412.5e0 , "
              "\"storm_warning\":false, \"mqtt_host\":\"caf\\u00e9 \\ud83d\\ude00\\\\\","
              "\"n\":2},\"request\":\"set\" }\r"))
      << r.reason;
  EXPECT_EQ(r.kind, Tviewer_request::Kind::kSet);
  EXPECT_EQ(r.id, -3);
  ASSERT_EQ(r.settings.size(), 4u);
  EXPECT_EQ(r.settings[0].key, "altitude");
  EXPECT_EQ(r.settings[0].value.kind, Tviewer_value::Kind::kNumber);
  EXPECT_EQ(r.settings[0].value.number, 412.5);
  EXPECT_EQ(r.settings[1].value.kind, Tviewer_value::Kind::kBool);
  EXPECT_FALSE(r.settings[1].value.flag);
  EXPECT_EQ(r.settings[2].value.text, "caf\xC3\xA9 \xF0\x9F\x98\x80\\");
  EXPECT_EQ(r.settings[3].value.number, 2);

  ASSERT_TRUE(r.Parse("{\"request\":\"set\",\"id\":1,\"settings\":{}}")) << r.reason;
  EXPECT_TRUE(r.settings.empty());
  // Raw UTF-8 passes as it is.
  ASSERT_TRUE(
      r.Parse("{\"request\":\"set\",\"id\":1,\"settings\":{\"mqtt_user\":\"J\xC3\xBCrg\"}}"));
  EXPECT_EQ(r.settings[0].value.text, "J\xC3\xBCrg");
}

TEST(ViewerRequest, EverythingElseIsRefusedWithAReason) {
  struct Case {
    std::string line;
    const char* reason;
  };
  const Case cases[] = {
      {"", "a request is one JSON object"},
      {"[1]", "a request is one JSON object"},
      {"{\"request\":\"ping\",\"id\":1", "a ',' or '}' was expected"},
      {"{\"request\":\"ping\",\"id\":1}x", "something follows the request"},
      {"{\"request\":\"ping\",\"id\":1}{}", "something follows the request"},
      {"{\"request\":\"ping\"}", "the key id is missing"},
      {"{\"id\":1}", "the key request is missing"},
      {"{\"request\":\"set\",\"id\":1}", "the key settings is missing"},
      {"{\"request\":\"ping\",\"id\":1,\"settings\":{}}", "a ping takes no settings"},
      {"{\"request\":\"halt\",\"id\":1}", "no such request"},
      {"{\"request\":\"ping\",\"request\":\"ping\",\"id\":1}", "the key request is given twice"},
      {"{\"request\":\"ping\",\"id\":1,\"id\":2}", "the key id is given twice"},
      {"{\"request\":\"ping\",\"id\":1.5}", "the id is a whole number"},
      {"{\"request\":\"ping\",\"id\":1e3}", "the id is a whole number"},
      {"{\"request\":\"ping\",\"id\":99999999999999999999}", "the id is a whole number"},
      {"{\"request\":\"ping\",\"id\":01}", "a ',' or '}' was expected"},
      {"{\"request\":\"ping\",\"id\":-}", "a number was expected"},
      {"{\"request\":\"ping\",\"id\":1.}", "a number has no digits after its point"},
      {"{\"request\":\"ping\",\"id\":1,\"extra\":0}", "no such key in a request"},
      {"{\"request\":\"ping\",\"id\":1,}", "a string was expected"},
      {"{'request':'ping','id':1}", "a string was expected"},
      {"{\"request\":\"pi\\ng\",\"id\":1}", "a string holds a control character"},
      {"{\"request\":\"pi\tng\",\"id\":1}", "a string holds a control character"},
      {"{\"request\":\"pi\x7fng\",\"id\":1}", "a string holds a control character"},
      {"{\"request\":\"p\\u0000\",\"id\":1}", "a string holds a control character"},
      {"{\"request\":\"\\ud800\",\"id\":1}", "a string holds a lone surrogate"},
      {"{\"request\":\"\\udc00x\",\"id\":1}", "a string holds a lone surrogate"},
      {"{\"request\":\"\\u12G4\",\"id\":1}", "a \\u escape needs four hexadecimal digits"},
      {"{\"request\":\"\\x\",\"id\":1}", "a string holds an unknown escape"},
      {"{\"request\":\"\xC0\xAF\",\"id\":1}", "a string is not UTF-8"},
      {"{\"request\":\"\xED\xA0\x80\",\"id\":1}", "a string is not UTF-8"},
      {"{\"request\":\"\xF4\x90\x80\x80\",\"id\":1}", "a string is not UTF-8"},
      {"{\"request\":\"\xE2\x82\",\"id\":1}", "a string is not UTF-8"},
      {"{\"request\":\"ping", "a string is not closed"},
      {"{\"request\":\"" + std::string(2000, 'a') + "\",\"id\":1}", "a string is too long"},
      {"{\"request\":\"ping\",\"id\":1}" + std::string(70000, ' '),
       "the line is longer than 64 KiB"},
  };
  for (const Case& c : cases) {
    Tviewer_request r;
    EXPECT_FALSE(r.Parse(c.line)) << c.line;
    EXPECT_EQ(r.reason, c.reason) << c.line.substr(0, 80);
    EXPECT_EQ(r.kind, Tviewer_request::Kind::kNone);
    EXPECT_TRUE(r.key.empty());
  }
}

TEST(ViewerRequest, ASettingThatIsRefusedIsNamedAndTheIdKeptForTheReply) {
  struct Case {
    std::string settings;
    const char* key;
    const char* reason;
  };
  const Case cases[] = {
      {"{\"colour\":1}", "colour", "no such setting"},
      {"{\"mqtt_ca_file\":\"/etc/x\"}", "mqtt_ca_file", "no such setting"},
      {"{\"altitude\":\"412\"}", "altitude", "the value is to be a number"},
      {"{\"altitude\":null}", "altitude", "the value is to be a number"},
      {"{\"altitude\":[1]}", "altitude", "the value is to be a number"},
      {"{\"altitude\":1e999}", "altitude", "a number is out of range"},
      {"{\"storm_warning\":1}", "storm_warning", "the value is to be true or false"},
      {"{\"storm_warning\":tru}", "storm_warning", "a value was expected"},
      {"{\"mqtt_host\":{\"a\":1}}", "mqtt_host", "the value is to be a string"},
      {"{\"mqtt_host\":\"a\\nb\"}", "mqtt_host", "a string holds a control character"},
      {"{\"n\":1,\"n\":2}", "n", "the setting is given twice"},
  };
  for (const Case& c : cases) {
    Tviewer_request r;
    EXPECT_FALSE(r.Parse("{\"request\":\"set\",\"id\":42,\"settings\":" + c.settings + "}"));
    EXPECT_EQ(r.key, c.key) << c.settings;
    EXPECT_EQ(r.reason, c.reason) << c.settings;
    EXPECT_EQ(r.id, 42);
    EXPECT_TRUE(r.settings.empty());
  }
}
