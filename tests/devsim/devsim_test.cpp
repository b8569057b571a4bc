// SPDX-License-Identifier: MIT
// The simulated device model: what it answers, when, and what it makes of
// the bytes the host sends; and the flash image it rebuilds. quill-devsim
// playing it on a real terminal is tested end to end (tests/e2e), where its
// image is compared with objcopy's.

#include "devsim/devicemodel.h"
#include "devsim/imagebuilder.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace quill::devsim {
namespace {

const std::string kErase = ":01000000FF00\r\n";
const std::string kData = ":0400100012FF34FFA8\r\n";
const std::string kEnd = ":00000001FF\r\n";
const std::string kSelect("\x02\x03\x0F\x00\x21\xCD\x00", 7);
const std::string kProgram("\x02\x04\x0F\x00\x23\x38\x92\x00", 8);

// The answers as "13@5 11@55": each byte in hex, @ the delay after which it
// goes on the wire; "-" for none.
std::string send(DeviceModel& device, const std::string& bytes, Parity parity = Parity::Mark) {
    std::string text;
    char word[16];
    for (const Reply& reply :
         device.receive({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, parity))
        for (const uint8_t b : reply.bytes)
            text.append(word, std::snprintf(word, sizeof word, " %02X@%d", b, reply.delayMs));
    return text.empty() ? "-" : text.substr(1);
}

// Manual: erase request, two records, a new erase request. Tracker: select
// and program frames at even parity, then the erase request at mark (the
// fault-free Tracker is in the tests below).
TEST(DeviceModel, AnswersAsItsFaultDictates) {
    // The fault, the kind of device, the answers.
    const std::tuple<const char*, Kind, const char*> cases[] = {
        {"none", Kind::Manual, "13@5 11@55 | 13@1 11@2 | 13@1 11@2 | 13@5 11@55"},
        {"silent", Kind::Manual, "- | - | - | -"},
        {"no-erase-xoff", Kind::Manual, "- | - | - | -"},
        {"slow-erase", Kind::Manual, "13@5 11@3005 | 13@1 11@2 | 13@1 11@2 | 13@5 11@3005"},
        {"xon-only-after-record", Kind::Manual, "13@5 11@55 | 11@2 | 11@2 | 13@5 11@55"},
        {"junk-after-xoff", Kind::Manual, "13@5 11@55 | 13@1 00@2 | 13@1 00@2 | 13@5 11@55"},
        // Hung for good after `silentAfter` (1) records.
        {"silent-after-records", Kind::Manual, "13@5 11@55 | 13@1 11@2 | - | -"},
        {"select-nak", Kind::Tracker, "05@5 | 04@5 11@205 | 13@5 11@55"},
        {"select-unknown", Kind::Tracker, "3F@5 | 04@5 11@205 | 13@5 11@55"},
        // Refused: still in normal mode, so the erase request at mark parity goes unheard.
        {"prog-nak", Kind::Tracker, "04@5 | 05@5 | -"},
        {"prog-unknown", Kind::Tracker, "04@5 | 3F@5 | -"},
        {"reboot-nak", Kind::Tracker, "04@5 | 04@5 05@205 | 13@5 11@55"},
        {"reboot-04", Kind::Tracker, "04@5 | 04@5 04@205 | 13@5 11@55"},
        {"reboot-silent", Kind::Tracker, "04@5 | 04@5 | 13@5 11@55"},
        // Says XOFF XON as it starts (below), then takes no erase request.
        {"stale-xoff-xon", Kind::Manual, "- | - | - | -"},
    };
    const std::vector<std::string> manual{kErase, kData, kData, kErase};
    const std::vector<std::string> tracker{kSelect, kProgram, kErase};
    for (const auto& [name, kind, expected] : cases) {
        SCOPED_TRACE(name);
        const std::optional<Fault> fault = faultFromName(name);
        ASSERT_TRUE(fault);
        EXPECT_EQ(faultName(*fault), name);
        DeviceModel device{{.kind = kind, .fault = *fault, .silentAfter = 1}};
        std::string answers;
        for (const std::string& bytes : kind == Kind::Manual ? manual : tracker) {
            const Parity parity = bytes[0] == kFrameStart ? Parity::Even : Parity::Mark;
            answers += (answers.empty() ? "" : " | ") + send(device, bytes, parity);
        }
        EXPECT_EQ(answers, expected);
        const bool greets = *fault == Fault::StaleXoffXon;
        EXPECT_EQ(device.greeting(),
                  (greets ? std::vector<uint8_t>{kXoff, kXon} : std::vector<uint8_t>{}));
    }
}

TEST(DeviceModel, IgnoresWrongParityAndBadOrForeignFrames) {
    DeviceModel manual{{}};
    EXPECT_EQ(send(manual, kErase, Parity::Even), "-");
    DeviceModel lax{{.strictParity = false}};
    EXPECT_EQ(send(lax, kErase, Parity::Even), "13@5 11@55");

    // A device at 9600 hears neither 38400 nor 7 data bits, whatever its parity setting.
    DeviceModel at9600{{.strictParity = false, .baud = 9600}};
    const auto bytes = [](const std::string& text) {
        return std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    };
    EXPECT_TRUE(at9600.receive(bytes(kErase), Line{Parity::Mark, 38400}).empty());
    EXPECT_TRUE(at9600.receive(bytes(kErase), Line{Parity::Mark, 9600, 7}).empty());
    EXPECT_EQ(at9600.receive(bytes(kErase), Line{Parity::Mark, 9600}).size(), 2u);

    DeviceModel tracker{{.kind = Kind::Tracker}};
    EXPECT_EQ(send(tracker, kSelect, Parity::Mark), "-");
    // A bad checksum, another address: ignored; an unknown command: NAK.
    EXPECT_EQ(send(tracker, std::string("\x02\x03\x0F\x00\x21\xCC\x00", 7), Parity::Even), "-");
    EXPECT_EQ(send(tracker, std::string("\x02\x03\x0E\x00\x21\xCE\x00", 7), Parity::Even), "-");
    EXPECT_EQ(send(tracker, std::string("\x02\x03\x0F\x00\x22\xCC\x00", 7), Parity::Even), "05@5");
    EXPECT_FALSE(tracker.inDownloadMode());
}

TEST(DeviceModel, AssemblesLinesAndFramesAcrossAnySplit) {
    DeviceModel device{{.kind = Kind::Tracker}};
    std::string log;
    device.setLogSink([&](DeviceModel::LogKind, const std::string& line) { log += line + "\n"; });
    // Answered on the checksum; the pad that follows is taken quietly, also
    // after the program frame that puts the device into download mode.
    for (size_t i = 0; i < kSelect.size(); ++i)
        EXPECT_EQ(send(device, kSelect.substr(i, 1), Parity::Even), i == 5 ? "04@5" : "-") << i;
    EXPECT_EQ(send(device, kProgram, Parity::Even), "04@5 11@205");
    EXPECT_EQ(log.find("not understood"), std::string::npos) << log;
    EXPECT_EQ(send(device, kErase, Parity::Even), "-"); // the host forgot to switch to mark
    for (size_t i = 0; i < kErase.size(); ++i)
        EXPECT_EQ(send(device, kErase.substr(i, 1)), i + 1 < kErase.size() ? "-" : "13@5 11@55");
    // The end of one record and the start of the next in one batch; then two
    // records, the second taken up once the first is written.
    const std::string both = kData + kEnd;
    EXPECT_EQ(send(device, both.substr(0, 10)), "-");
    EXPECT_EQ(send(device, both.substr(10, 18)), "13@1 11@2");
    EXPECT_EQ(send(device, both.substr(28) + kData), "13@1 11@2 13@3 11@4");
    EXPECT_EQ(device.records(), (std::vector<std::string>{":0400100012FF34FFA8", ":00000001FF",
                                                          ":0400100012FF34FFA8"}));
}

TEST(DeviceModel, TakesRecordsAfterAWellFormedEraseRequestAndAnswersBadOnes) {
    DeviceModel device{{}};
    EXPECT_EQ(send(device, kData), "-");               // not erased yet
    EXPECT_EQ(send(device, ":01000000FF00\n"), "-");   // no CR
    EXPECT_EQ(send(device, ":01000000FF01\r\n"), "-"); // checksum wrong
    EXPECT_EQ(send(device, "\x13junk" + kErase), "13@5 11@55");
    // Checksum wrong, no CR, cut short, not a hex digit.
    for (const char* bad : {":0400100012FF34FF00\r\n", ":0400100012FF34FFA8\n", ":04001000\r\n",
                            ":0400100012G234FFA8\r\n"})
        EXPECT_EQ(send(device, bad), "13@1 11@2") << bad;
    EXPECT_EQ(send(device, ":0400100012ff34ffa8 trailing\r\n" + kEnd), "13@1 11@2 13@3 11@4");
    EXPECT_EQ(device.badRecords(), 4);
    EXPECT_EQ(device.records().size(), 6u);
    EXPECT_EQ(device.image().memory().size(), 4u);
    EXPECT_TRUE(device.sawEndOfFile());
    // A second erase request starts afresh.
    EXPECT_EQ(send(device, kErase), "13@5 11@55");
    EXPECT_EQ(device.eraseRequests(), 2);
    EXPECT_TRUE(device.records().empty() && device.image().empty() && !device.sawEndOfFile());

    DeviceModel burst{{.burst = true}}; // XOFF and XON at once, when the work is done
    EXPECT_EQ(send(burst, kErase + kData), "13@55 11@55 13@57 11@57");
}

// The linear base objcopy writes is the end-to-end test's; here a segment
// base (0x1000) is 16 times its value, a record runs on past the end of its
// segment, a later address record replaces the base, and gaps are FF.
TEST(ImageBuilder, AddressRecordsMoveTheBaseAndGapsAreFilledWithFF) {
    ImageBuilder image;
    for (const char* line : {":020000021000EC", ":03FFFE001122339A", ":020000040002F8",
                             ":0100030055A7", ":0400000508000000EF", ":00000001FF"}) {
        const ParsedRecord parsed = parseRecord(line);
        ASSERT_TRUE(parsed.record) << line;
        EXPECT_EQ(image.add(*parsed.record), "") << line;
    }
    EXPECT_TRUE(image.ended());
    EXPECT_EQ(image.lowest(), 0x1FFFEu);
    EXPECT_EQ(image.bytes(), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0xFF, 0xFF, 0x55}));
}

TEST(ImageBuilder, RefusesMalformedRecordsAndHugeSpans) {
    ImageBuilder image;
    EXPECT_NE(image.add({kTypeLinearAddress, 0, {0x08}}), "");
    EXPECT_NE(image.add({kTypeSegmentAddress, 0, {0x08, 0x00, 0x00}}), "");
    EXPECT_NE(image.add({kTypeEndOfFile, 0, {0x00}}), "");
    EXPECT_NE(image.add({0x06, 0, {}}), "");
    EXPECT_EQ(image.add({kTypeData, 0x0100, {1}}), "");
    EXPECT_FALSE(image.ended());
    EXPECT_EQ(image.lowest(), 0x0100u); // the bad address records moved nothing

    // Two far-apart addresses would make a file of gigabytes.
    EXPECT_EQ(image.add({kTypeLinearAddress, 0, {0x10, 0x00}}), "");
    EXPECT_EQ(image.add({kTypeData, 0, {2}}), "");
    EXPECT_FALSE(image.bytes());
    EXPECT_FALSE(image.write("/nonexistent/never-created.bin").ok);
}

} // namespace
} // namespace quill::devsim
