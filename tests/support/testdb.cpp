// The test server account and this process's MySQL database (see testdb.h).
#include "tests/support/testdb.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <unistd.h>

namespace testdb
{

QString mysqlName()
{
    return QString("clipwatch_test_%1").arg(getpid());
}

void dropMySQL(const QString& name)
{
    if (::testing::Test::HasFailure())
        return;
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase("QMYSQL", "testdbAdmin");
        admin.setHostName(host());
        admin.setUserName(user());
        admin.setPassword(password());
        if (admin.open())
            QSqlQuery(admin).exec("DROP DATABASE IF EXISTS " + name);
    }
    QSqlDatabase::removeDatabase("testdbAdmin");
}

} // namespace testdb

std::string backendName(const ::testing::TestParamInfo<Backend>& info)
{
    return info.param == Backend::SQLite ? "SQLite" : "MySQL";
}
