// Request parsing: path values holding raw "&", and each fragment decoded after splitting.
#include "tools/vexobase/query.h"

#include <gtest/gtest.h>

using vexobase::Query;

TEST(Query, ContinuesPathValuesOverRawAmpersands)
{
    const Query query("request=set&SOURCE=/m/a&b&&c%20%26.mov&target=/o/x&y.xmp&pisrc=p&q"
                      "&profile=xmp&v&width=5x&purge=TRUE");
    EXPECT_EQ(query.get("source"), "/m/a&b&&c &.mov");
    EXPECT_EQ(query.get("pisrc"), "p&q");
    EXPECT_EQ(query.get("profile"), "xmp") << "only path values continue";
    EXPECT_EQ(query.getInt("width", -7), -7);
    EXPECT_TRUE(query.flag("purge"));
}
