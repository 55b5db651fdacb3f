#include "scenario/Velto_file.h"

#include <gtest/gtest.h>

#include "platform/dialogs.h"

using scenario::TVeltoFile;

TEST(VeltoFile, NewDocumentHasTwoBannerLines) {
    TVeltoFile doc;
    ASSERT_EQ(doc.Lines().size(), 2u);
    EXPECT_TRUE(doc.Index().empty());
}
