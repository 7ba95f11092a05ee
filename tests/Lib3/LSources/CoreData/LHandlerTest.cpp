#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/LHandler.h"

namespace {

L_MESSAGE_ID(Test_Ping);
L_MESSAGE_ID(Test_Pong);

// Records every message it sees; can consume one id or answer one id with another.
class Recorder : public LHandler {
public:
    Recorder(const char* name, LHandler* upper, std::vector<std::string>* log)
        : LHandler(upper), fName(name), fLog(log) {}

    LMessage Handle(const LMessage& msg) override {
        fLog->push_back(fName + ":" + msg.id.Text());
        if (fConsume.Text()[0] && msg.Is(fConsume)) return LMessage();
        if (fAnswer.Text()[0] && msg.Is(fAnswer)) return LMessage(Test_Pong, this, Upper());
        return LHandler::Handle(msg);
    }

    std::string fName;
    std::vector<std::string>* fLog;
    LMsgId fConsume;
    LMsgId fAnswer;
};

struct Chain : ::testing::Test {
    std::vector<std::string> log;
    Recorder c{"C", nullptr, &log};
    Recorder b{"B", &c, &log};
    Recorder a{"A", &b, &log};
};

TEST_F(Chain, UnhandledMessageVisitsEachHandlerOnceAndReturnsToSender) {
    a.Send(Test_Ping);
    EXPECT_EQ(log, (std::vector<std::string>{"B:Test_Ping", "C:Test_Ping", "A:Test_Ping"}));
}

TEST_F(Chain, ConsumingHandlerEndsTheWalk) {
    b.fConsume = Test_Ping;
    a.Send(Test_Ping);
    EXPECT_EQ(log, (std::vector<std::string>{"B:Test_Ping"}));
}

TEST_F(Chain, AnswerStartsANewWalkThatReturnsToItsSender) {
    b.fAnswer = Test_Ping;
    a.Send(Test_Ping);
    EXPECT_EQ(log, (std::vector<std::string>{"B:Test_Ping", "C:Test_Pong", "B:Test_Pong"}));
}

TEST_F(Chain, MessagesWithoutSenderOrTargetGoNowhere) {
    LHandler::Dispatch(LMessage(Test_Ping, nullptr, &b));
    LHandler::Dispatch(LMessage(Test_Ping, nullptr, nullptr));
    c.Send(Test_Ping);  // top of the chain: no upper handler, so no target
    EXPECT_TRUE(log.empty());
}

TEST_F(Chain, IdComparedByTextNotAddress) {
    // A different copy of the text, as another module would hold it.
    std::string text = "Test_Ping";
    b.fConsume = LMsgId(text.c_str());
    a.Send(Test_Ping);
    EXPECT_EQ(log.size(), 1u);
}

TEST(LMsgIdTest, Equality) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {
        {nullptr, nullptr, true}, {nullptr, "", true},   {"", nullptr, true},    {"X_Y", "X_Y", true},
        {"X_Y", nullptr, false},  {"X_Y", "X_Z", false}, {"X_Y", "X_YZ", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LMsgId(c.a) == LMsgId(c.b), c.equal)
            << (c.a ? c.a : "null") << " vs " << (c.b ? c.b : "null");
    }
    EXPECT_TRUE(LMessage().IsEmpty());
    EXPECT_FALSE(LMessage(Test_Ping, nullptr, nullptr).IsEmpty());
}

TEST(LHandlerTest, IsBetween) {
    LHandler top;
    LHandler mid(&top);
    LHandler low(&mid);
    LHandler other;
    EXPECT_TRUE(LHandler::IsBetween(&low, low.Upper(), &low));  // the object itself
    EXPECT_TRUE(LHandler::IsBetween(&low, low.Upper(), &top));
    EXPECT_TRUE(LHandler::IsBetween(&top, &low, &mid));
    EXPECT_FALSE(LHandler::IsBetween(&mid, &low, &top));  // the walk stops at the top
    EXPECT_FALSE(LHandler::IsBetween(&low, low.Upper(), &other));
    EXPECT_FALSE(LHandler::IsBetween(&low, low.Upper(), nullptr));
}

// Keeps pointers to its clients and drops each one as it is destroyed.
class Registry : public LHandler {
public:
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LHandler_Destructing)) {
            fClients.erase(std::remove(fClients.begin(), fClients.end(), msg.sender), fClients.end());
            ++fNotices;
        }
        return LHandler::Handle(msg);
    }
    std::vector<LHandler*> fClients;
    int fNotices = 0;
};

class Client : public LHandler {
public:
    Client(Registry* registry, int* derivedCalls) : LHandler(registry), fDerivedCalls(derivedCalls) {
        registry->fClients.push_back(this);
    }
    LMessage Handle(const LMessage& msg) override {
        ++*fDerivedCalls;
        return LHandler::Handle(msg);
    }
    int* fDerivedCalls;
};

TEST(LHandlerTest, DestroyedHandlerLeavesItsOwnersList) {
    Registry registry;
    int derivedCalls = 0;
    auto* first = new Client(&registry, &derivedCalls);
    Client second(&registry, &derivedCalls);
    delete first;
    EXPECT_EQ(registry.fClients, std::vector<LHandler*>{&second});
    EXPECT_EQ(registry.fNotices, 1);
    // The notice comes back to the dying handler as a plain LHandler, never to its override.
    EXPECT_EQ(derivedCalls, 0);
}

}  // namespace
