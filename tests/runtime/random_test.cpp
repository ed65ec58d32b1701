#include <gtest/gtest.h>

#include <thread>

#include "runtime/random.h"

namespace {

// The system runtime's rand: state = state * 214013 + 2531011 from 1, value (state >> 16) & 0x7FFF.
std::vector<std::int32_t> reference_draws(int count)
{
    std::vector<std::int32_t> draws;
    std::uint32_t state = 1;
    for (int i = 0; i < count; ++i) {
        state = state * 214013u + 2531011u;
        draws.push_back(static_cast<std::int32_t>((state >> 16) & 0x7FFF));
    }
    return draws;
}

template <typename Draw> auto on_new_thread(Draw draw)
{
    decltype(draw()) result{};
    std::thread([&] { result = draw(); }).join();
    return result;
}

TEST(RandomInRangeTest, FirstDrawOfNewThreadIsFixed)
{
    EXPECT_EQ(on_new_thread([] { return random_in_range(111, 99999); }), 152);
    // The full range yields the generator's raw values: 41, 18467, 6334, ...
    EXPECT_EQ(on_new_thread([] {
                  std::vector<std::int32_t> draws;
                  for (int i = 0; i < 5; ++i)
                      draws.push_back(random_in_range());
                  return draws;
              }),
              reference_draws(5));
}

TEST(RandomInRangeTest, EveryThreadStartsAfresh)
{
    // Advance this thread's generator first: a new thread must not see it.
    for (int i = 0; i < 10; ++i)
        random_in_range(0, 100);
    const auto sequence = [] {
        std::vector<std::int32_t> draws;
        for (int i = 0; i < 20; ++i)
            draws.push_back(random_in_range(111, 99999));
        return draws;
    };
    const auto first = on_new_thread(sequence);
    EXPECT_EQ(first.front(), 152);
    EXPECT_EQ(on_new_thread(sequence), first);
}

TEST(RandomInRangeTest, Bounds)
{
    std::thread([] {
        const auto raw = reference_draws(6);
        EXPECT_EQ(random_in_range(10, 20), 10 + raw[0] % 11);
        EXPECT_EQ(random_in_range(20, 10), 10 + raw[1] % 11); // swapped bounds
        EXPECT_EQ(random_in_range(-50, 3), raw[2] % 4);       // negative low counts as 0
        EXPECT_EQ(random_in_range(5), 5 + raw[3]);            // high left out: whole range above 5
        EXPECT_EQ(random_in_range(7, 7), 7);                  // equal bounds draw nothing
        EXPECT_EQ(random_in_range(-3, -9), 0);                // both count as 0
        EXPECT_EQ(random_in_range(0, 1), raw[4] % 2);
    }).join();
}

} // namespace
