// What the substitute service answers to each kind of signal, and to malformed ones.
#include <gtest/gtest.h>

#include "Service.h"

namespace QvMT4Connector::SubstituteService {
namespace {

// E-mail "trader" (dHJhZGVy), password "secret", system id 12345.
constexpr char kCommon[] = "dHJhZGVy,WXpKV2FtTnRWakE9,12345";

struct Case {
  std::string signal;
  std::string key;   // expected routing key
  std::string text;  // expected reply
};

TEST(SubstituteService, AnswersEveryKindAndRejectsMalformedSignals) {
  const std::string c = kCommon;
  const Case cases[] = {
      {"Login," + c + ",,", "tsqv.response.human.ok.12345", "OK Login from trader: welcome, system 12345"},
      {"Open," + c + ",bXkgb3JkZXI=,,1001,EURUSD,0,0.1,1.30512,1.3,0,2013.06.14 10:30:00",
       "tsqv.response.human.ok.12345", "OK Open from trader: order 1001 EURUSD type 0 volume 0.1 at 1.30512"},
      {"Close," + c + ",,,1001,EURUSD,0,0.1,1.3075", "tsqv.response.human.ok.12345",
       "OK Close from trader: order 1001 EURUSD volume 0.1 closed at 1.3075"},
      {"Cancel," + c + ",,,1002", "tsqv.response.human.ok.12345", "OK Cancel from trader: order 1002 cancelled"},
      {"Replace," + c + ",,,1003,2,1.2999,1.29,1.32,1.3,1.295,0", "tsqv.response.human.ok.12345",
       "OK Replace from trader: order 1003 now at 1.3 SL 1.295 TP 0"},
      {"Params," + c + ",,,1.0,2.1,1.5,True,False,False,2,False,True,False,False", "tsqv.response.human.ok.12345",
       "OK Params from trader: EA version 2.1, lot multiplier 1.5"},
      {"CancelAllPendingSignals," + c + ",,", "tsqv.response.human.ok.12345",
       "OK CancelAllPendingSignals from trader: pending signals cancelled"},
      // A comment containing MT4002 ("stop MT4002" in Base64) asks for the closing reply.
      {"Cancel," + c + ",c3RvcCBNVDQwMDI=,,1004", "tsqv.response.human.stop.12345",
       "MT4002 Session ended by the service for trader (order 1004)"},
      {"Cancel," + c + ",,,1002,extra", "tsqv.response.human.error.12345", "ERROR Cancel needs 7 fields, got 8"},
      {"Hello," + c + ",,", "tsqv.response.human.error.12345", "ERROR unknown signal \"Hello\""},
      {"Login,not*base64,x,12345,,", "tsqv.response.human.error.12345",
       "ERROR Login: the e-mail or the comment is not Base64"},
      // A dotted system id stays whole at the end of the key, as the receiver's binding expects.
      {"Login,dHJhZGVy,x,sys.1,,", "tsqv.response.human.ok.sys.1", "OK Login from trader: welcome, system sys.1"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.signal);
    const auto reply = Answer(k.signal);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->routingKey, k.key);
    EXPECT_EQ(reply->text, k.text);
  }
}

TEST(SubstituteService, SignalWithoutSystemIdIsNotAnswered) {
  EXPECT_FALSE(Answer("Login,dHJhZGVy").has_value());
  EXPECT_FALSE(Answer("").has_value());
}

}  // namespace
}  // namespace QvMT4Connector::SubstituteService
