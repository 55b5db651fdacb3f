// The font shipped with the tests, drawn for every face while a suite runs,
// so that layouts and golden images do not depend on the fonts installed.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/fonts.h"

namespace testkit {

inline const std::string kTestFont = std::string(ORV_TEST_DATA) + "/fonts/ipag.ttf";

template <class Base = ::testing::Test>
class WithTestFont : public Base {
protected:
    static void SetUpTestSuite() { platform::UseFontFileForEveryFace(kTestFont); }
    static void TearDownTestSuite() { platform::UseFontFileForEveryFace(""); }
};

}  // namespace testkit
