// The argument sequence of a catalog text, read as printf reads it.
#include "catalog/FormatArguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Sequence = std::vector<std::string>;

TEST(FormatArguments, NamesEachArgumentInOrder) {
    struct Case {
        const char* format;
        Sequence arguments;
    } cases[] = {
        {"no conversion, 100%% sure", {}},
        {"%d of %u: %s", {"int", "unsigned", "string"}},
        {"%-8.3lu %hhx %lld %qd %zu %jd %td",
         {"lunsigned", "hhunsigned", "llint", "llint", "zunsigned", "jint", "tint"}},
        {"%5.1f %Le %g %lf", {"double", "long double", "double", "double"}},
        {"%c%lc %p %ls", {"char", "lchar", "pointer", "lstring"}},
        {"%*d %.*s", {"int", "int", "int", "string"}},
        {"%2$s, %1$d", {"int", "string"}},
        {"%1$*2$d", {"int", "int"}},
        {"failed: %m", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const auto arguments = catalog::FormatArguments(c.format);
        ASSERT_TRUE(arguments.has_value());
        EXPECT_EQ(*arguments, c.arguments);
    }
}

TEST(FormatArguments, RefusesWhatIsUnsafeOrUnknown) {
    for (const char* format :
         {"%n", "%hn", "%Zn", "%zn", "%lln", "%1$n", "%Zd", "%y", "%S", "%C", "ends with %",
          "%1$s %s", "%2$s only", "%1$d %1$s", "%Ls", "%hf", "%*1$d"}) {
        SCOPED_TRACE(format);
        EXPECT_FALSE(catalog::FormatArguments(format).has_value());
    }
}

}  // namespace
