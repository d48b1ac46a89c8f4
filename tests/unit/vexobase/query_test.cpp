// Request parsing: percent-decoding and the continuation of path values holding "&".
#include "tools/vexobase/query.h"

#include <gtest/gtest.h>

using vexobase::Query;

TEST(Query, ContinuesPathValuesOverRawAmpersands)
{
    const Query query("request=set&source=/m/a&b&&c.mov&target=/o/x&y.xmp&pisrc=p&q"
                      "&profile=xmp&v&width=5");
    EXPECT_EQ(query.get("source"), "/m/a&b&&c.mov");
    EXPECT_EQ(query.get("target"), "/o/x&y.xmp");
    EXPECT_EQ(query.get("pisrc"), "p&q");
    EXPECT_EQ(query.get("profile"), "xmp") << "only path values continue";
    EXPECT_EQ(query.getInt("width", 0), 5);
}

TEST(Query, DecodesEachFragmentAfterSplitting)
{
    const Query query("SOURCE=/m/Zo%C3%AB%20%22x%22%25%26.mov&Piframe=%2D5&plus=a+b&bad=%zz%4");
    EXPECT_EQ(query.get("source"), "/m/Zo\xC3\xAB \"x\"%&.mov") << "an encoded & is data";
    EXPECT_EQ(query.get("piframe"), "-5") << "keys are matched ignoring case";
    EXPECT_EQ(query.get("plus"), "a+b");
    EXPECT_EQ(query.get("bad"), "%zz%4");
}

TEST(Query, NumbersAndFlags)
{
    const Query query("a=12x&b=&purge=TRUE&abort=1&clear=0");
    EXPECT_EQ(query.getInt("a", -7), -7);
    EXPECT_EQ(query.getInt("b", -7), -7);
    EXPECT_EQ(query.getInt("missing", 3), 3);
    EXPECT_TRUE(query.flag("purge"));
    EXPECT_TRUE(query.flag("abort"));
    EXPECT_FALSE(query.flag("clear"));
    EXPECT_FALSE(query.has("missing"));
    EXPECT_TRUE(query.has("b"));
}
