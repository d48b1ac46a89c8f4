#include "vexoutil/iputil.h"
#include "vexoutil/iputil_p.h"

#include <gtest/gtest.h>

#include <QSettings>

TEST(FixSeperators, EveryPathStyleOnceAndAgain)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"C:/media//clips/a.mov", "C:\\media\\clips\\a.mov"},
        {"\\\\\\\\server\\\\share\\\\clips\\\\a.mov", "\\\\server\\share\\clips\\a.mov"},
        {"\\\\server/share//a.mov", "\\\\server\\share\\a.mov"},
        {"//server\\share", "//server/share"},
        {"\"/mnt/my clips/a.mov\"", "/mnt/my clips/a.mov"},
        {"\"C:\\a\"\"b.mov\"", "C:\\ab.mov"},
        {"s3://bucket\\dir\\a.mov", "s3://bucket/dir/a.mov"},
        {"\\\\", "\\\\"},
        {"", ""},
    };
    for (const auto& c : cases) {
        const QString once = vexoFixSeperators(QString::fromUtf8(c.in));
        EXPECT_EQ(once, QString::fromUtf8(c.out)) << c.in;
        EXPECT_EQ(vexoFixSeperators(once), once) << c.in;
    }
}

iputil::Adapter adapter(const char* description, bool usable, const QString& addresses)
{
    iputil::Adapter a{description, usable, {}};
    for (const QString& text : addresses.split(' '))
        a.addresses.append(QHostAddress(text));
    return a;
}

TEST(Addresses, LocalAddressChoice)
{
    const QList<iputil::Adapter> adapters = {
        adapter("lo", false, "127.0.0.1 ::1"),
        adapter("docker0", false, "198.51.100.17"),
        adapter("tun0", true, "127.0.0.1"),
        adapter("eth0 Intel Ethernet", true, "fe80::1 198.51.100.5 198.51.100.6"),
        adapter("wlan0 Wireless", true, "198.51.100.20"),
        adapter("eth1 Second", true, "127.0.0.1 198.51.100.2"),
    };
    const struct {
        const char* name;
        const char* chosen;
    } cases[] = {
        {"", "198.51.100.5"}, // the first usable IPv4 address that is not loopback
        {"Wireless", "198.51.100.20"},
        {"docker0", "127.0.0.1"}, // not up and running: no candidate
        {"Token Ring", "127.0.0.1"},
        {"Second", "127.0.0.1"}, // a named adapter is known by its first IPv4 address only
    };
    for (const auto& c : cases)
        EXPECT_EQ(iputil::chooseLocalAddress(adapters, c.name), QHostAddress(c.chosen)) << c.name;
}

TEST(CommandIP, PrefersVexoCmdThenVexoBaseThenNone)
{
    QSettings vexoCmd("Velmora", "VexoCmd"), vexoBase("Velmora", "VexoBase");
    vexoCmd.setValue("commandip", "127.0.0.7");
    vexoBase.setValue("commandip", "127.0.0.8");
    EXPECT_EQ(vexoCommandIP(), "127.0.0.7");
    vexoCmd.remove("commandip");
    EXPECT_EQ(vexoCommandIP(), "127.0.0.8");
    vexoBase.remove("commandip");
    EXPECT_EQ(vexoCommandIP(), "0.0.0.0");
}
