#include "Responses.h"
#include "RecordDecoder.h"
#include "RecordWriter.h"
#include "Text.h"

#include <gtest/gtest.h>

using namespace station;
using stationtest::FieldReader;
using stationtest::Record;
using stationtest::SplitRecords;

namespace {

Archive TwoStations() {
    Archive archive;
    Station one;
    one.id = 1;
    one.name = "Radio Ünë";
    one.description = "Mixes";
    one.basePath = "/station/1/";
    Stream stream;
    stream.id = 4;
    stream.startTime = 1709496000;
    stream.duration = 3600;
    stream.size = 57600000;
    stream.type = 3;
    stream.extraValue1 = -2;
    stream.extraValue2 = 9;
    stream.hasChat = true;
    stream.text1 = "Title";
    stream.text2 = "Host";
    stream.text3 = "Genre";
    one.streams.emplace(4, stream);
    Station other;
    other.id = 9;
    other.name = "Elsewhere";
    other.host = "radio.example.org";
    other.port = 8081;
    other.basePath = "/x/";
    archive.stations.emplace(1, one);
    archive.stations.emplace(9, other);
    return archive;
}

TEST(Responses, DirectoryPointsStationsBackAtTheAddressUsedUnlessTheyHaveTheirOwn) {
    const std::string body = DirectoryBody(TwoStations(), "127.0.0.1", 8080);
    std::vector<Record> records;
    ASSERT_TRUE(SplitRecords(body, records));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(body.substr(0, 3), std::string("\x06\x00\x07", 3)); // L = 6, type 7
    FieldReader header(records[0].fields);
    EXPECT_EQ(header.U8(), 1);
    EXPECT_EQ(header.I32(), 2);
    EXPECT_TRUE(header.atEnd());

    FieldReader first(records[1].fields);
    EXPECT_EQ(records[1].type, 8);
    EXPECT_EQ(first.I32(), 1);
    EXPECT_EQ(first.U16(), 8080);
    EXPECT_EQ(first.Text(), "Radio Ünë");
    EXPECT_EQ(first.Text(), "127.0.0.1");
    EXPECT_EQ(first.Text(), "/station/1/");
    EXPECT_TRUE(first.atEnd() && first.ok());

    FieldReader second(records[2].fields);
    EXPECT_EQ(second.I32(), 9);
    EXPECT_EQ(second.U16(), 8081);
    EXPECT_EQ(second.Text(), "Elsewhere");
    EXPECT_EQ(second.Text(), "radio.example.org");
    EXPECT_EQ(second.Text(), "/x/");
    EXPECT_TRUE(second.atEnd());
}

TEST(Responses, StationInformationUsesVersion5OnlyWithADescription) {
    const Archive archive = TwoStations();
    std::vector<Record> records;
    ASSERT_TRUE(SplitRecords(StationInfoBody(archive.stations.at(1)), records));
    ASSERT_EQ(records.size(), 2u);
    FieldReader header(records[0].fields);
    EXPECT_EQ(records[0].type, 1);
    EXPECT_EQ(header.U8(), 5);
    EXPECT_EQ(header.Text(), "Radio Ünë");
    EXPECT_EQ(header.Text(), "Mixes");
    EXPECT_EQ(header.I32(), 1);
    EXPECT_TRUE(header.atEnd());

    FieldReader stream(records[1].fields);
    EXPECT_EQ(records[1].type, 2);
    EXPECT_EQ(stream.I32(), 4);
    EXPECT_EQ(stream.I32(), 1709496000);
    EXPECT_EQ(stream.I32(), 3600);
    EXPECT_EQ(stream.U32(), 57600000u);
    EXPECT_EQ(stream.U8(), 3);
    EXPECT_EQ(stream.I32(), -2);
    EXPECT_EQ(stream.U8(), 1);
    EXPECT_EQ(stream.I32(), 9);
    EXPECT_EQ(stream.Text(), "Title");
    EXPECT_EQ(stream.Text(), "Host");
    EXPECT_EQ(stream.Text(), "Genre");
    EXPECT_TRUE(stream.atEnd() && stream.ok());
    // L = 33 + the three byte counts.
    EXPECT_EQ(records[1].fields.size() + 1, 33u + 5 + 4 + 5);

    ASSERT_TRUE(SplitRecords(StationInfoBody(archive.stations.at(9)), records));
    FieldReader plain(records[0].fields);
    EXPECT_EQ(plain.U8(), 4);
    EXPECT_EQ(plain.Text(), "Elsewhere");
    EXPECT_EQ(plain.I32(), 0);
    EXPECT_TRUE(plain.atEnd());
}

TEST(Responses, TrackListAndChatCarryEveryFieldInOrder) {
    Stream stream;
    stream.channel = "#radio";
    stream.tracks = {{-5, 10, 4, true, "A", "B"}, {10, 200, 0, false, "Artist", "Title"}};
    stream.chat = {{-3, 3, {"alice"}}, {7, 8, {"op", "+o", "alice"}}};
    std::vector<Record> records;
    ASSERT_TRUE(SplitRecords(TrackListBody(stream), records));
    ASSERT_EQ(records.size(), 3u);
    FieldReader header(records[0].fields);
    EXPECT_EQ(records[0].type, 3);
    EXPECT_EQ(header.U8(), 3);
    EXPECT_EQ(header.I32(), 2);
    FieldReader track(records[1].fields);
    EXPECT_EQ(records[1].type, 4);
    EXPECT_EQ(track.I32(), -5);
    EXPECT_EQ(track.I32(), 10);
    EXPECT_EQ(track.U8(), 4);
    EXPECT_EQ(track.U8(), 1);
    EXPECT_EQ(track.Text(), "A");
    EXPECT_EQ(track.Text(), "B");
    EXPECT_TRUE(track.atEnd());

    ASSERT_TRUE(SplitRecords(ChatBody(stream), records));
    ASSERT_EQ(records.size(), 3u);
    FieldReader chatHeader(records[0].fields);
    EXPECT_EQ(records[0].type, 5);
    EXPECT_EQ(chatHeader.U8(), 3);
    EXPECT_EQ(chatHeader.Text(), "#radio");
    EXPECT_EQ(chatHeader.I32(), 2);
    EXPECT_TRUE(chatHeader.atEnd());
    FieldReader mode(records[2].fields);
    EXPECT_EQ(records[2].type, 6);
    EXPECT_EQ(mode.I32(), 7);
    EXPECT_EQ(mode.U8(), 8);
    EXPECT_EQ(mode.U8(), 3);
    EXPECT_EQ(mode.Text(), "op");
    EXPECT_EQ(mode.Text(), "+o");
    EXPECT_EQ(mode.Text(), "alice");
    EXPECT_TRUE(mode.atEnd());
}

TEST(Responses, TheInstallersSignatureFollowsTheDataInOneRecord) {
    auto body = UpdateDownloadBody("abc", std::string_view("untrusted comment: x\nsig\n"));
    ASSERT_TRUE(body.ok());
    std::vector<Record> records;
    ASSERT_TRUE(SplitRecords(*body, records));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[2].type, 252);
    FieldReader signature(records[2].fields);
    EXPECT_EQ(signature.U16(), 25);
    EXPECT_EQ(records[2].fields.substr(2), "untrusted comment: x\nsig\n");
    EXPECT_FALSE(UpdateDownloadBody("abc", std::string(2046, 's')).ok());
}

TEST(Responses, UpdateRecordsCarryVersionAndInstallerInPieces) {
    EXPECT_EQ(UpdateInfoBody(20), std::string("\x06\x00\xFF\x01\x14\x00\x00\x00", 8));

    std::string installer(5000, '\0');
    for (std::size_t i = 0; i < installer.size(); ++i)
        installer[i] = static_cast<char>(i * 31);
    auto body = UpdateDownloadBody(installer);
    ASSERT_TRUE(body.ok());
    std::vector<Record> records;
    ASSERT_TRUE(SplitRecords(*body, records));
    ASSERT_EQ(records.size(), 4u); // header, 2045 + 2045 + 910
    FieldReader header(records[0].fields);
    EXPECT_EQ(records[0].type, 254);
    EXPECT_EQ(header.U8(), 1);
    EXPECT_EQ(header.I32(), 5000);
    std::string joined;
    for (std::size_t i = 1; i < records.size(); ++i) {
        EXPECT_EQ(records[i].type, 253);
        FieldReader data(records[i].fields);
        const std::uint16_t n = data.U16();
        EXPECT_EQ(n + 2u, records[i].fields.size());
        joined += records[i].fields.substr(2);
    }
    EXPECT_EQ(joined, installer);
}

TEST(Responses, LongTextsAreCutAtCharacterBoundariesSoEveryRecordFitsAndEveryTextIsKept) {
    Stream stream;
    // Three-byte characters, so a cut in the wrong place would split one.
    std::string euro;
    for (int i = 0; i < 1500; ++i)
        euro += "€";
    const std::string ascii(3000, 'x');
    stream.chat = {{1, 1, {euro, ascii}}};
    stream.tracks = {{0, 0, 0, false, ascii, euro}};
    for (const std::string& body : {ChatBody(stream), TrackListBody(stream)}) {
        std::vector<Record> records;
        ASSERT_TRUE(SplitRecords(body, records));
        ASSERT_EQ(records.size(), 2u);
        EXPECT_LE(records[1].fields.size() + 1, kMaxRecordLength);
        FieldReader reader(records[1].fields);
        reader.I32();
        reader.U8();
        reader.U8();
        if (records[1].type == ResponseRecordType_Track)
            reader.I32();
        for (int i = 0; i < 2; ++i) {
            const std::string text = reader.Text();
            EXPECT_TRUE(IsValidUtf8(text));
            EXPECT_LE(Utf16Units(text), kMaxTextUnits);
            EXPECT_GT(text.size(), 900u); // the record is shared, not given to one text
        }
        EXPECT_TRUE(reader.atEnd() && reader.ok());
    }
}

TEST(Responses, FitTextsKeepsShortTextsWhole) {
    const std::string ten(10, 'y');
    const std::string longText(2100, 'z');
    std::vector<std::string_view> texts = {"short", ten};
    texts.push_back(longText);
    RecordWriter::FitTexts(texts, 7);
    EXPECT_EQ(texts[0], "short");
    EXPECT_EQ(texts[1].size(), 10u);
    EXPECT_EQ(texts[2].size(), kMaxTextUnits);

    // Two long texts share what the record leaves; the short one stays whole.
    const std::string a(1500, 'a');
    const std::string b(1400, 'b');
    texts = {"short", a, b};
    RecordWriter::FitTexts(texts, 7);
    EXPECT_EQ(texts[0], "short");
    EXPECT_EQ(texts[1].size(), texts[2].size());
    EXPECT_LE(7 + 2 + 5 + 2 + texts[1].size() + 2 + texts[2].size(), kMaxRecordLength);
    EXPECT_GE(7 + 2 + 5 + 2 + texts[1].size() + 2 + texts[2].size(), kMaxRecordLength - 1);
}

TEST(Responses, SurrogatePairsCountTwiceAgainstTheUnitLimit) {
    std::string emoji;
    for (int i = 0; i < 1200; ++i)
        emoji += "😀"; // four bytes, two UTF-16 units
    std::vector<std::string_view> texts = {emoji};
    RecordWriter::FitTexts(texts, 7);
    EXPECT_LE(Utf16Units(texts[0]), kMaxTextUnits);
    EXPECT_EQ(texts[0].size() % 4, 0u);
}

} // namespace
