#include "launch.h"

#include <gtest/gtest.h>

TEST(LaunchTest, DemoIsExactlyTheArgumentMinusDemo)
{
    struct Case {
        QStringList arguments;
        bool demo;
    };
    const Case cases[] = {
        {{"planner", "-demo"}, true},
        {{"planner", "--x", "-demo", "file"}, true},
        {{"planner"}, false},
        {{"planner", "--demo"}, false},
        {{"planner", "-Demo"}, false},
        {{"planner", "-demo=1"}, false},
        {{"planner", " -demo"}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Launch::isDemo(c.arguments), c.demo) << c.arguments.join(' ').toStdString();
    // This test program was not started with it.
    EXPECT_FALSE(Launch::isDemo());
}
