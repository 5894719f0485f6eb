#include <gtest/gtest.h>

#include <string>

#include "trace/identify.h"
#include "trace/recording_ui.h"
#include "trace/session.h"

namespace zindra::trace {
namespace {

using decoders::Protocol;

struct SessionFixture : ::testing::Test {
    MemoryPane text, hex, event;
    Panes panes{text, hex, event};
    RecordingUi ui;
    TraceSession session{panes, ui};

    SessionFixture() {
        session.setPortStopp([this] { ++ui.portStops; });
    }

    void receive(const std::string& s) {
        session.receiveChunk(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    }
    void startWaiting() {
        session.clearIdentText();
        session.enterWaiting();
    }
};

TEST_F(SessionFixture, StartsWithTheDefaultDecoderAndIdle) {
    EXPECT_EQ(session.protocol(), Protocol::Default);
    EXPECT_FALSE(session.awaitingIdent());
    EXPECT_FALSE(session.running());
}

TEST_F(SessionFixture, WaitingSetsPanelAndButtons) {
    startWaiting();
    EXPECT_TRUE(session.awaitingIdent());
    EXPECT_TRUE(ui.stoppEnabled);
    EXPECT_EQ(ui.panelCaption, " Empfangsbereit ");
}

TEST_F(SessionFixture, UgmReplySelectsUgm) {
    startWaiting();
    receive("UGM\r\n");
    EXPECT_FALSE(session.awaitingIdent());
    EXPECT_EQ(session.protocol(), Protocol::Ugm);
    EXPECT_EQ(ui.panelCaption, " UGM Trace ");
    EXPECT_EQ(ui.panelColour, PanelColour::Red);
    EXPECT_EQ(ui.caption, "UGM  Trace");
    EXPECT_EQ(session.identText(), "UGM");
    EXPECT_TRUE(ui.errors.empty());
    // The chunk that completed the reply is one line of the hex pane; the
    // reply's bytes stay in the ring for the decoder.
    EXPECT_EQ(hex.lines(), std::deque<std::string>{"UGM\r\n"});
    EXPECT_FALSE(session.state().ringEmpty());
    EXPECT_EQ(ui.label5, "Label5");  // not updated while identifying
}

TEST_F(SessionFixture, WholeTextComparisonAndSubstringAlgorex) {
    startWaiting();
    receive("SIGMAPRN\r\n");
    EXPECT_EQ(session.protocol(), Protocol::SigmaPrn);
    EXPECT_EQ(ui.panelCaption, " SIGMASYS Drucker Trace ");

    session.stopp();
    startWaiting();
    receive("xALGOREXy\r\n");
    EXPECT_EQ(session.protocol(), Protocol::PlainText);
    EXPECT_EQ(ui.panelCaption, " AlgoRex PRN  Trace ");

    session.stopp();
    startWaiting();
    receive("ESSERPRN\r\n");
    EXPECT_EQ(session.protocol(), Protocol::Hsb180);
    EXPECT_EQ(ui.panelCaption, " ESSERPRN  Trace ");
}

TEST_F(SessionFixture, UnknownReplyShowsTheErrorThenStopps) {
    startWaiting();
    receive("algorex\r\n");
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0], NoConnectionText);
    EXPECT_EQ(session.identOutcome(), IdentOutcome::Unmatched);
    EXPECT_EQ(ui.caption, "Trace");
    EXPECT_EQ(ui.panelCaption, "  nicht aktiv  ");
    EXPECT_EQ(ui.panelColour, PanelColour::ButtonFace);
    EXPECT_FALSE(ui.stoppEnabled);
    EXPECT_EQ(ui.portStops, 1);
    EXPECT_EQ(session.protocol(), Protocol::Default);
    EXPECT_EQ(hex.lines().size(), 1u);  // the chunk is still added
}

TEST_F(SessionFixture, ErrorTextsAreWindows1252) {
    EXPECT_NE(std::string(NoConnectionText).find("M\xF6glicherweise unterst\xFCtzt das"), std::string::npos);
    EXPECT_NE(std::string(NoAnswerText)
                  .find("\n\n\r \xDC"
                        "berpr\xFC"
                        "fen Sie das Kabel zwischen\n\r PC und FAT. \n\n"),
              std::string::npos);
    EXPECT_EQ(std::string(NoPortText), "\nSie haben keine Schnittstelle ausgew\xE4hlt\n");
}

TEST_F(SessionFixture, UnbekanntKeepsTheDefaultDecoder) {
    startWaiting();
    receive("UNBEKANNT\r\n");
    EXPECT_EQ(session.protocol(), Protocol::Default);
    EXPECT_EQ(ui.panelCaption, " Trace aktiv ");
    EXPECT_EQ(ui.panelColour, PanelColour::Red);
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(SessionFixture, ReplyInTwoChunks) {
    startWaiting();
    receive("UG");
    EXPECT_TRUE(session.awaitingIdent());
    EXPECT_TRUE(hex.lines().empty());
    receive("M\r\n");
    EXPECT_EQ(session.protocol(), Protocol::Ugm);
    EXPECT_EQ(hex.lines(), std::deque<std::string>{"M\r\n"});
}

TEST_F(SessionFixture, TextAfterTheReplyLineIsCutOff) {
    startWaiting();
    receive("UGM\r\nXY");
    EXPECT_EQ(session.protocol(), Protocol::Ugm);
    EXPECT_EQ(session.identText(), "UGM");
}

TEST_F(SessionFixture, OnlyTheFirstLineIdentifiesEvenWithMoreLineFeeds) {
    startWaiting();
    receive(
        "UGM\r\n\x02"
        "123\n456\x03Z\n");
    EXPECT_EQ(session.protocol(), Protocol::Ugm);
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(SessionFixture, EarlyLineFeedDoesNotEndTheWait) {
    startWaiting();
    receive("AB\n");
    EXPECT_TRUE(session.awaitingIdent());
    receive("\r\nUGM\r\n");
    EXPECT_TRUE(session.awaitingIdent());  // the first line feed stays at position 3

    MemoryPane t2, h2, e2;
    Panes p2{t2, h2, e2};
    RecordingUi ui2;
    TraceSession s2(p2, ui2);
    s2.clearIdentText();
    s2.enterWaiting();
    const std::string reply = "\r\nUGM\r\n";
    s2.receiveChunk(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size());
    EXPECT_TRUE(s2.awaitingIdent());
}

TEST_F(SessionFixture, TimeoutCheckShowsTheErrorOnlyWhileAwaiting) {
    startWaiting();
    session.answerTimeoutCheck();
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0], NoAnswerText);
    EXPECT_FALSE(session.running());
    // Stopp within the interval: the later tick does nothing.
    startWaiting();
    session.stopp();
    session.answerTimeoutCheck();
    EXPECT_EQ(ui.errors.size(), 1u);
}

TEST_F(SessionFixture, DispatchUpdatesLabel5AndCapture) {
    session.clear();
    receive("AB");
    EXPECT_EQ(ui.label5, "2");
    EXPECT_EQ(text.lines(), std::deque<std::string>{"41 42 "});
    EXPECT_EQ(hex.lines(), std::deque<std::string>{" 41 42"});
    EXPECT_EQ(session.capture().count(), 2);
}

TEST_F(SessionFixture, StoppKeepsPanesRingAndFrameState) {
    session.clear();
    receive(
        "\x02"
        "ABC");
    EXPECT_TRUE(session.state().inFrame);
    session.stopp();
    EXPECT_TRUE(session.state().inFrame);
    EXPECT_EQ(session.state().frameLength, 4);
    EXPECT_EQ(session.capture().count(), 4);
}

TEST_F(SessionFixture, ClearSetsFlagsAndEmptiesPanes) {
    receive("A");
    session.clear();
    EXPECT_TRUE(text.lines().empty());
    EXPECT_TRUE(session.flags().textStartNewLine);
    EXPECT_TRUE(session.flags().hexStartNewLine);
    receive("B");
    receive("C");
    EXPECT_EQ(text.lines(), std::deque<std::string>{"42 43 "});
}

TEST_F(SessionFixture, EveryReplyRowSelectsItsDecoderAndCaption) {
    struct Row {
        const char* reply;
        Protocol protocol;
        const char* caption;
    };
    const Row rows[] = {
        {"UGM", Protocol::Ugm, " UGM Trace "},
        {"UEZ", Protocol::Uez, " UEZ Trace "},
        {"TN1060", Protocol::Tn1060, " 1060 Trace "},
        {"SDN", Protocol::Sdn, " SDN Trace "},
        {"SM88", Protocol::Sm88, " SM88 Trace "},
        {"SIGMA", Protocol::Sigma, " SIGMASYS Trace "},
        {"SIGMAPRN", Protocol::SigmaPrn, " SIGMASYS Drucker Trace "},
        {"SECURITON", Protocol::Securiton, " SECURITON Drucker Trace "},
        {"EBL", Protocol::Ebl, " EBL Trace "},
        {"ZETFAS", Protocol::Zetfas, " ZETFAS Trace "},
        {"FILNET", Protocol::Filnet, " FILNET Trace "},
        {"BMCI", Protocol::Bmci, " BMCI Trace "},
        {"HEKATRON", Protocol::Hekatron, " HEKATRON  Trace "},
        {"HSB180", Protocol::Hsb180, " HSB180  Trace "},
        {"LCA", Protocol::Lca, " USP32 Trace "},
        {"ESSER", Protocol::Esser, " ESSER Trace "},
        {"ESSERPRN", Protocol::Hsb180, " ESSERPRN  Trace "},
        {"IGIS", Protocol::Igis, " IGIS  Trace "},
        {"ALGOREX", Protocol::PlainText, " AlgoRex PRN  Trace "},
        {"UNBEKANNT", Protocol::Default, " Trace aktiv "},
        {"IGISPRN", Protocol::PlainText, " IGIS Drucker Trace "},
        {"SM88PRN", Protocol::Sm88Prn, " SM88 Drucker Trace "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reply);
        session.stopp();
        startWaiting();
        receive(std::string(row.reply) + "\r\n");
        EXPECT_TRUE(ui.errors.empty());
        EXPECT_EQ(session.protocol(), row.protocol);
        EXPECT_EQ(ui.panelCaption, row.caption);
        EXPECT_EQ(ui.caption, std::string(row.reply) + "  Trace");
    }
}

TEST_F(SessionFixture, IdentifyReplyByName) {
    session.startReplay();
    EXPECT_TRUE(session.identifyReply("SIGMAPRN"));
    EXPECT_EQ(session.protocol(), Protocol::SigmaPrn);
    EXPECT_TRUE(hex.lines().empty());
    EXPECT_FALSE(session.identifyReply("NOPE"));
}

}  // namespace
}  // namespace zindra::trace
