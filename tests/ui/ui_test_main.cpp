#include "tests/ui/child_process.h"

#include <gtest/gtest.h>

#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 3 && std::strncmp(argv[1], child_flag, sizeof child_flag - 1) == 0)
        return run_child_scenario(argv[1] + sizeof child_flag - 1, argv[2]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
