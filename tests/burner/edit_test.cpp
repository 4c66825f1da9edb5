// Editing the compilation.
#include <gtest/gtest.h>
