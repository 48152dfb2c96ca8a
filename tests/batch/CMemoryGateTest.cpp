#include "batch/CMemoryGate.h"

#include <gtest/gtest.h>

// Files run side by side while their memory fits; one that needs more than all runs alone; what
// is given back lets the next in.
TEST(MemoryGate, LetsInWhatFitsAndAlwaysOne)
{
    CMemoryGate gate(100);
    EXPECT_TRUE(gate.TryEnter(60));
    EXPECT_TRUE(gate.TryEnter(40));
    EXPECT_FALSE(gate.TryEnter(1));
    gate.Leave(60);
    EXPECT_FALSE(gate.TryEnter(61));
    EXPECT_TRUE(gate.TryEnter(60));
    gate.Leave(60);
    gate.Leave(40);
    EXPECT_TRUE(gate.TryEnter(500)) << "alone, however large";
    EXPECT_FALSE(gate.TryEnter(1));
    gate.Leave(500);
    gate.Enter(100); // returns at once: nothing is held
    gate.Leave(100);
}
