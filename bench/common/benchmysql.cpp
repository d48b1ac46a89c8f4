// The private MariaDB server of the benchmarks and its test account.
#include "bench/common/benchmysql.h"

#include "db/dbcws.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace benchmysql
{

QString user()
{
    return qEnvironmentVariable("CLIPWATCH_MARIADB_USER", "clipwatch");
}

QString password()
{
    return qEnvironmentVariable("CLIPWATCH_MARIADB_PASSWORD", "clipwatch");
}

QString host()
{
    return "127.0.0.1";
}

std::string problem()
{
    std::string message;
    testSqlConnect(CWS_DB_MYSQL, message, user(), password(), host());
    return message;
}

void drop(const QString& name)
{
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase("QMYSQL", "benchAdmin");
        admin.setHostName(host());
        admin.setUserName(user());
        admin.setPassword(password());
        if (admin.open())
            QSqlQuery(admin).exec("DROP DATABASE IF EXISTS " + name);
        admin.close();
    }
    QSqlDatabase::removeDatabase("benchAdmin");
}

} // namespace benchmysql
