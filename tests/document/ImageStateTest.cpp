#include "document/ImageState.h"

#include <gtest/gtest.h>

TEST(ImageState, Placeholder) { EXPECT_TRUE(ImageState::CreateFilled(3, 3, 0xFFFFFFFF)); }
