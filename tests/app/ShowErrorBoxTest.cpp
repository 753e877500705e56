#include "app/ShowErrorBox.h"
#include "support/RecordingMessageBoxes.h"

#include <gtest/gtest.h>

TEST(ShowErrorBox, NamesTheFileAfterItsLastFolderAndTheRow) {
    testsupport::RecordingMessageBoxes boxes;
    ShowErrorBox(u"receiveBufferPos >= sizeof(receiveBuffer)!", "c:\\src\\NetworkPackets", 412);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.texts()[0], u"receiveBufferPos >= sizeof(receiveBuffer)!\r\n\r\n(file: NetworkPackets, row: 412)");
    EXPECT_EQ(boxes.captions()[0], u"Error!");
}

TEST(ShowErrorBox, ANameWithoutAFolderShowsOnlyTheCondition) {
    EXPECT_EQ(ComposeErrorBoxText(u"AddEvent FAILED!", "NetworkHandler", 7), u"AddEvent FAILED!");
    EXPECT_EQ(ComposeErrorBoxText(u"x!", VANTRI_SOURCE_NAME("MediaHandler"), 0), u"x!\r\n\r\n(file: MediaHandler, row: 0)");
}
