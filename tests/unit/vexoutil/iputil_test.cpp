// Service addressing and text utilities: separator normalisation, loopback test, the choice
// of the local address and the command address stores.
#include "vexoutil/iputil.h"
#include "vexoutil/iputil_p.h"

#include <gtest/gtest.h>

#include <QSettings>

TEST(FixSeperators, EveryPathStyle)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"C:/media//clips/a.mov", "C:\\media\\clips\\a.mov"},
        {"\\\\\\\\server\\\\share\\\\clips\\\\a.mov", "\\\\server\\share\\clips\\a.mov"},
        {"\\\\server/share//a.mov", "\\\\server\\share\\a.mov"},
        {"\\\\server\\share\\a.mov", "\\\\server\\share\\a.mov"},
        {"//server/share/a.mov", "//server/share/a.mov"},
        {"//server\\share", "//server/share"},
        {"/mnt/media\\clip.mov", "/mnt/media/clip.mov"},
        {"\"/mnt/my clips/a.mov\"", "/mnt/my clips/a.mov"},
        {"\"C:\\a\"\"b.mov\"", "C:\\ab.mov"},
        {"s3://bucket\\dir\\a.mov", "s3://bucket/dir/a.mov"},
        {"relative\\a.mov", "relative/a.mov"},
        {"C:\\\\\\a.mov", "C:\\\\a.mov"},
        {"\\\\", "\\\\"},
        {"C", "C"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vexoFixSeperators(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(FixSeperators, IsIdempotentOnNormalisedPaths)
{
    for (const char* path : {"C:\\media\\clips\\a.mov", "\\\\server\\share\\a.mov",
                             "/mnt/media/clip.mov", "s3://bucket/a.mov"}) {
        const QString once = vexoFixSeperators(QString::fromUtf8(path));
        EXPECT_EQ(vexoFixSeperators(once), once);
    }
}

TEST(Addresses, OnlyIPv4LoopbackIsLocal)
{
    EXPECT_TRUE(isLocalAddress(QHostAddress("127.0.0.1")));
    EXPECT_TRUE(isLocalAddress(QHostAddress(QHostAddress::LocalHost)));
    EXPECT_FALSE(isLocalAddress(QHostAddress("127.0.0.2")));
    EXPECT_FALSE(isLocalAddress(QHostAddress("0.0.0.0")));
    EXPECT_FALSE(isLocalAddress(QHostAddress("198.51.100.7")));
    EXPECT_FALSE(isLocalAddress(QHostAddress()));
}

namespace
{

iputil::Adapter adapter(const char* description, bool usable, QStringList addresses)
{
    iputil::Adapter a;
    a.description = description;
    a.usable = usable;
    for (const QString& text : addresses)
        a.addresses.append(QHostAddress(text));
    return a;
}

} // namespace

TEST(Addresses, LocalAddressChoice)
{
    const QList<iputil::Adapter> adapters = {
        adapter("lo", false, {"127.0.0.1", "::1"}),
        adapter("docker0", false, {"198.51.100.17"}),
        adapter("tun0", true, {"127.0.0.1"}),
        adapter("eth0 Intel Ethernet", true, {"fe80::1", "198.51.100.5", "198.51.100.6"}),
        adapter("wlan0 Wireless", true, {"198.51.100.20"}),
    };
    const QHostAddress loopback(QHostAddress::LocalHost);
    EXPECT_EQ(iputil::chooseLocalAddress(adapters, ""), QHostAddress("198.51.100.5"))
        << "the first usable IPv4 address that is not loopback nor IPv6";
    EXPECT_EQ(iputil::chooseLocalAddress(adapters, "Wireless"), QHostAddress("198.51.100.20"));
    EXPECT_EQ(iputil::chooseLocalAddress(adapters, "Intel"), QHostAddress("198.51.100.5"));
    EXPECT_EQ(iputil::chooseLocalAddress(adapters, "docker0"), loopback)
        << "an adapter that is not up and running gives no candidate";
    EXPECT_EQ(iputil::chooseLocalAddress(adapters, "Token Ring"), loopback);
    EXPECT_EQ(iputil::chooseLocalAddress({adapters[0], adapters[1]}, ""), loopback);
    EXPECT_EQ(iputil::chooseLocalAddress({}, ""), loopback);

    const QList<iputil::Adapter> loopbackFirst = {
        adapter("eth1 Second", true, {"127.0.0.1", "198.51.100.2"})};
    EXPECT_EQ(iputil::chooseLocalAddress(loopbackFirst, ""), QHostAddress("198.51.100.2"));
    EXPECT_EQ(iputil::chooseLocalAddress(loopbackFirst, "Second"), loopback)
        << "a named adapter is known by its first IPv4 address only";
}

TEST(Addresses, LocalAddressOfThisMachine)
{
    const QHostAddress any = localAddress("");
    EXPECT_EQ(any.protocol(), QAbstractSocket::IPv4Protocol);
    EXPECT_EQ(localAddress("no adapter is called this"), QHostAddress(QHostAddress::LocalHost));
}

class CommandIP : public ::testing::Test
{
protected:
    void TearDown() override
    {
        QSettings("Velmora", "VexoBase").remove("commandip");
        QSettings("Velmora", "VexoCmd").setValue("commandip", "127.0.0.1");
    }
};

TEST_F(CommandIP, PrefersVexoCmdThenVexoBaseThenNone)
{
    QSettings("Velmora", "VexoCmd").setValue("commandip", "127.0.0.7");
    QSettings("Velmora", "VexoBase").setValue("commandip", "127.0.0.8");
    EXPECT_EQ(vexoCommandIP(), "127.0.0.7");

    QSettings("Velmora", "VexoCmd").remove("commandip");
    EXPECT_EQ(vexoCommandIP(), "127.0.0.8");

    QSettings("Velmora", "VexoBase").remove("commandip");
    EXPECT_EQ(vexoCommandIP(), "0.0.0.0");

    QSettings("Velmora", "VexoBase").setValue("commandip", "not an address");
    EXPECT_EQ(vexoCommandIP(), "not an address") << "the value is not tested";
}
