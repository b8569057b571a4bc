// The simulated device model: what it answers, when, and what it makes of
// the bytes the host sends.

#include "devsim/devicemodel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

namespace quill::devsim {

void PrintTo(const Reply& reply, std::ostream* os) {
    *os << "+" << reply.delayMs << " ms: " << DeviceModel::describe(reply.bytes);
}

namespace {

using Replies = std::vector<Reply>;

const std::string kErase = ":01000000FF00\r\n";
const std::string kData = ":0400100012FF34FFA8\r\n";
const std::string kEnd = ":00000001FF\r\n";
const std::vector<uint8_t> kSelect{0x02, 0x03, 0x0F, 0x00, 0x21, 0xCD, 0x00};
const std::vector<uint8_t> kProgram{0x02, 0x04, 0x0F, 0x00, 0x23, 0x38, 0x92, 0x00};

Replies send(DeviceModel& device, std::string_view text, Parity parity = Parity::Mark) {
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    return device.receive(bytes, parity);
}

Replies send(DeviceModel& device, const std::vector<uint8_t>& bytes, Parity parity = Parity::Even) {
    return device.receive(bytes, parity);
}

Config withFault(Fault fault, Kind kind = Kind::Manual) {
    Config config;
    config.kind = kind;
    config.fault = fault;
    config.silentAfter = 1;
    return config;
}

// "no-erase-xoff" -> "no_erase_xoff", as test names allow.
template <typename Case> std::string paramName(const testing::TestParamInfo<Case>& info) {
    std::string name(faultName(info.param.fault));
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

const Replies kEraseAnswer{{5, {kXoff}}, {55, {kXon}}};
const Replies kRecordAnswer{{1, {kXoff}}, {2, {kXon}}};
const Replies kAcked{{5, {kAck}}};
const Replies kRebooted{{5, {kAck}}, {205, {kXon}}};

TEST(DeviceModel, ManualDownloadIsAnsweredXoffThenXonWithTheConfiguredDelays) {
    DeviceModel device{Config{}};
    EXPECT_EQ(send(device, kErase), kEraseAnswer);
    EXPECT_EQ(send(device, kData), kRecordAnswer);
    EXPECT_FALSE(device.sawEndOfFile());
    EXPECT_EQ(send(device, kEnd), kRecordAnswer);

    EXPECT_TRUE(device.sawEndOfFile());
    EXPECT_EQ(device.eraseRequests(), 1);
    EXPECT_EQ(device.badRecords(), 0);
    EXPECT_EQ(device.records(), (std::vector<std::string>{":0400100012FF34FFA8", ":00000001FF"}));
    EXPECT_EQ(
        device.image().memory(),
        (std::map<uint32_t, uint8_t>{{0x10, 0x12}, {0x11, 0xFF}, {0x12, 0x34}, {0x13, 0xFF}}));
    const auto& log = device.log();
    EXPECT_NE(std::find(log.begin(), log.end(), "host> :01000000FF00"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "dev> 13 (XOFF) +5 ms"), log.end());
}

TEST(DeviceModel, BurstSendsXoffAndXonInOneReplyWhenTheWorkIsDone) {
    Config config;
    config.burst = true;
    DeviceModel device{config};
    EXPECT_EQ(send(device, kErase), (Replies{{55, {kXoff, kXon}}}));
    EXPECT_EQ(send(device, kData), (Replies{{2, {kXoff, kXon}}}));
}

struct ManualFaultCase {
    Fault fault;
    Replies erase, record1, record2;
};

class ManualFault : public testing::TestWithParam<ManualFaultCase> {};

TEST_P(ManualFault, AnswersAsTheFaultDictates) {
    const auto& c = GetParam();
    DeviceModel device{withFault(c.fault)};
    EXPECT_EQ(send(device, kErase), c.erase);
    EXPECT_EQ(send(device, kData), c.record1);
    EXPECT_EQ(send(device, kData), c.record2);
    // A new download is answered as the first, unless the device has hung for good.
    EXPECT_EQ(send(device, kErase), c.fault == Fault::SilentAfterRecords ? Replies{} : c.erase);
}

INSTANTIATE_TEST_SUITE_P(
    DeviceModel, ManualFault,
    testing::Values(
        ManualFaultCase{Fault::None, kEraseAnswer, kRecordAnswer, kRecordAnswer},
        ManualFaultCase{Fault::Silent, {}, {}, {}}, ManualFaultCase{Fault::NoEraseXoff, {}, {}, {}},
        ManualFaultCase{
            Fault::SlowErase, {{5, {kXoff}}, {3005, {kXon}}}, kRecordAnswer, kRecordAnswer},
        ManualFaultCase{Fault::XonOnlyAfterRecord, kEraseAnswer, {{2, {kXon}}}, {{2, {kXon}}}},
        ManualFaultCase{Fault::JunkAfterXoff,
                        kEraseAnswer,
                        {{1, {kXoff}}, {2, {kJunk}}},
                        {{1, {kXoff}}, {2, {kJunk}}}},
        ManualFaultCase{Fault::SilentAfterRecords, kEraseAnswer, kRecordAnswer, {}}),
    paramName<ManualFaultCase>);

struct TrackerFaultCase {
    Fault fault;
    Replies select, program,
        erase; // the erase request is sent at mark parity after the program frame
};

class TrackerFault : public testing::TestWithParam<TrackerFaultCase> {};

TEST_P(TrackerFault, HandshakeAndRebootAnswerAsTheFaultDictates) {
    const auto& c = GetParam();
    DeviceModel device{withFault(c.fault, Kind::Tracker)};
    EXPECT_EQ(send(device, kSelect), c.select);
    EXPECT_EQ(send(device, kProgram), c.program);
    EXPECT_EQ(send(device, kErase), c.erase);
    EXPECT_EQ(device.selectFrames(), 1);
    EXPECT_EQ(device.programFrames(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    DeviceModel, TrackerFault,
    testing::Values(
        TrackerFaultCase{Fault::None, kAcked, kRebooted, kEraseAnswer},
        TrackerFaultCase{Fault::Silent, {}, {}, {}},
        TrackerFaultCase{Fault::SelectNak, {{5, {kNak}}}, kRebooted, kEraseAnswer},
        TrackerFaultCase{Fault::SelectUnknown, {{5, {kUnknownAnswer}}}, kRebooted, kEraseAnswer},
        // Refused: still in normal mode, so the erase request at mark parity goes unheard.
        TrackerFaultCase{Fault::ProgNak, kAcked, {{5, {kNak}}}, {}},
        TrackerFaultCase{Fault::ProgUnknown, kAcked, {{5, {kUnknownAnswer}}}, {}},
        TrackerFaultCase{Fault::RebootNak, kAcked, {{5, {kAck}}, {205, {kNak}}}, kEraseAnswer},
        TrackerFaultCase{Fault::Reboot04, kAcked, {{5, {kAck}}, {205, {kAck}}}, kEraseAnswer},
        TrackerFaultCase{Fault::RebootSilent, kAcked, {{5, {kAck}}}, kEraseAnswer}),
    paramName<TrackerFaultCase>);

TEST(DeviceModel, EveryFaultHasAKebabCaseName) {
    for (const Fault fault : allFaults())
        EXPECT_EQ(faultFromName(faultName(fault)), fault) << faultName(fault);
    EXPECT_EQ(allFaults().size(), 14u);
    EXPECT_EQ(faultFromName("no-erase-xoff"), Fault::NoEraseXoff);
    EXPECT_EQ(faultFromName("NoEraseXoff"), std::nullopt);
}

TEST(DeviceModel, BytesAtTheWrongParityAreIgnored) {
    DeviceModel manual{Config{}};
    EXPECT_EQ(send(manual, kErase, Parity::Even), Replies{});
    EXPECT_EQ(send(manual, kErase, Parity::Space), Replies{});
    EXPECT_EQ(manual.eraseRequests(), 0);
    EXPECT_EQ(send(manual, kErase, Parity::Mark), kEraseAnswer);

    DeviceModel tracker{withFault(Fault::None, Kind::Tracker)};
    EXPECT_EQ(send(tracker, kSelect, Parity::Mark), Replies{});
    EXPECT_EQ(send(tracker, kSelect, Parity::None), kAcked);
    EXPECT_EQ(send(tracker, kProgram, Parity::Even), kRebooted);
    EXPECT_EQ(send(tracker, kErase, Parity::Even), Replies{}); // host forgot to switch to mark
    EXPECT_EQ(send(tracker, kErase, Parity::Mark), kEraseAnswer);

    Config lax;
    lax.strictParity = false;
    DeviceModel any{lax};
    EXPECT_EQ(send(any, kErase, Parity::Even), kEraseAnswer);
}

TEST(DeviceModel, LinesAndFramesAreAssembledAcrossAnySplit) {
    DeviceModel device{withFault(Fault::None, Kind::Tracker)};
    // Answered on the checksum; the pad that follows is taken quietly.
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(send(device, std::vector<uint8_t>{kSelect[i]}), Replies{}) << i;
    EXPECT_EQ(send(device, std::vector<uint8_t>{kSelect[5]}), kAcked);
    EXPECT_EQ(send(device, std::vector<uint8_t>{kSelect[6]}), Replies{});
    EXPECT_EQ(device.selectFrames(), 1);
    EXPECT_EQ(send(device, kProgram), kRebooted);

    const std::string erase = kErase;
    for (size_t i = 0; i + 1 < erase.size(); ++i)
        EXPECT_EQ(send(device, erase.substr(i, 1)), Replies{}) << i;
    EXPECT_EQ(send(device, erase.substr(erase.size() - 1)), kEraseAnswer);

    // The end of one record and the start of the next in one batch, two records in another.
    const std::string both = kData + kEnd;
    EXPECT_EQ(send(device, both.substr(0, 10)), Replies{});
    EXPECT_EQ(send(device, both.substr(10, 18)), kRecordAnswer);
    // One line at a time: the second record is taken up once the first is written.
    const Replies two{{1, {kXoff}}, {2, {kXon}}, {3, {kXoff}}, {4, {kXon}}};
    EXPECT_EQ(send(device, both.substr(28) + kData), two);
    EXPECT_EQ(device.records(), (std::vector<std::string>{":0400100012FF34FFA8", ":00000001FF",
                                                          ":0400100012FF34FFA8"}));
}

TEST(DeviceModel, BadRecordsAreCountedAndStillAnswered) {
    DeviceModel device{Config{}};
    send(device, kErase);
    EXPECT_EQ(send(device, ":0400100012FF34FF00\r\n"), kRecordAnswer); // checksum wrong
    EXPECT_EQ(send(device, ":0400100012FF34FFA8\n"), kRecordAnswer);   // no CR
    EXPECT_EQ(send(device, ":04001000\r\n"), kRecordAnswer);           // cut short
    EXPECT_EQ(device.badRecords(), 3);
    EXPECT_TRUE(device.image().empty());
    EXPECT_EQ(send(device, ":0400100012ff34ffa8 trailing\r\n"), kRecordAnswer);
    EXPECT_EQ(device.badRecords(), 3);
    EXPECT_EQ(device.records().size(), 4u);
}

TEST(DeviceModel, OnlyAWellFormedEraseRequestStartsADownload) {
    DeviceModel device{Config{}};
    EXPECT_EQ(send(device, kData), Replies{});               // not erased yet
    EXPECT_EQ(send(device, ":01000000FF00\n"), Replies{});   // no CR
    EXPECT_EQ(send(device, ":01000000FF01\r\n"), Replies{}); // checksum wrong
    EXPECT_EQ(device.eraseRequests(), 0);
    EXPECT_TRUE(device.records().empty());
    EXPECT_EQ(send(device, "\x13junk" + kErase), kEraseAnswer);
}

TEST(DeviceModel, ASecondEraseRequestRestartsTheDownload) {
    DeviceModel device{Config{}};
    send(device, kErase);
    send(device, kData);
    send(device, kEnd);
    EXPECT_EQ(send(device, kErase), kEraseAnswer);
    EXPECT_EQ(device.eraseRequests(), 2);
    EXPECT_TRUE(device.records().empty());
    EXPECT_TRUE(device.image().empty());
    EXPECT_FALSE(device.sawEndOfFile());
}

TEST(DeviceModel, BadOrForeignFramesAreIgnoredAndUnknownCommandsRefused) {
    DeviceModel device{withFault(Fault::None, Kind::Tracker)};
    EXPECT_EQ(send(device, std::vector<uint8_t>{0x02, 0x03, 0x0F, 0x00, 0x21, 0xCC, 0x00}),
              Replies{});
    EXPECT_EQ(send(device, std::vector<uint8_t>{0x02, 0x03, 0x0E, 0x00, 0x21, 0xCE, 0x00}),
              Replies{});
    EXPECT_EQ(send(device, std::vector<uint8_t>{0x02, 0x03, 0x0F, 0x00, 0x22, 0xCC, 0x00}),
              (Replies{{5, {kNak}}}));
    EXPECT_EQ(device.selectFrames(), 0);
    EXPECT_FALSE(device.inDownloadMode());
}

} // namespace
} // namespace quill::devsim
