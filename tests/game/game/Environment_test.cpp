// The whole-game programs run headless on the fast clock, as CTest's ENVIRONMENT of them
// says: when the two variables were handed to the test discovery as one list, the clock
// one was dropped and every game was paced at 60 presents a second, minutes each.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace Environment_test {

namespace {

TEST(GameEnvironment, HeadlessOnTheFastClock) {
    for (const auto& [name, value] : {std::pair{"QZ_BACKEND", "null"}, std::pair{"QZ_CLOCK", "fast"}}) {
        const char* set = std::getenv(name);
        EXPECT_EQ(std::string(value), set ? set : "(unset)") << name;
    }
}

}  // namespace

}  // namespace Environment_test
