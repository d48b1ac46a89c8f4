// The creation statements of both kinds of clip database.
#include "db/schema.h"

namespace
{

// Clips columns after ID, as both kinds create them; `integer` is the kind's integer type and
// `key` the word after the indexed columns ("KEY" on SQLite, nothing on MySQL).
std::string clipColumns(const std::string& integer, const std::string& key)
{
    std::string columns = "ClipName TEXT NOT NULL, AnchorPath TEXT NOT NULL, SourceDir TEXT "
                          "NOT NULL, Complete " +
                          integer + key + ", MD5 Text" + key;
    for (const char* prefix : {"Picon", "XMP", "Proxy", "Mezzanine", "RTIN", "Captions", "QC"})
        columns += std::string(", ") + prefix + "Path TEXT, " + prefix + "Value " + integer + ", " +
                   prefix + "Error TEXT";
    for (int n = 0; n < 10; ++n) {
        const std::string element = "Element" + std::to_string(n);
        columns += ", " + element + " TEXT, " + element + "Value TEXT, " + element + "State " +
                   integer + ", " + element + "Error TEXT";
    }
    return columns + ", MovePath TEXT, MoveValue " + integer + ", MoveError TEXT, AddTo TEXT";
}

} // namespace

const std::vector<dbCwsSchemaStep>& dbCwsSQLiteSchema()
{
    static const std::vector<dbCwsSchemaStep> steps{
        {"SQLite-CreateVersionTable\n",
         "CREATE TABLE Version(ID INTEGER PRIMARY KEY AUTOINCREMENT, Version TEXT NOT NULL, "
         "Build TEXT NOT NULL);",
         nullptr},
        {nullptr, "INSERT INTO Version (Version, Build) VALUES (?, ?);", nullptr},
        {"SQLite-CreateDirectoriesTable\n",
         "CREATE TABLE Directories(ID INTEGER PRIMARY KEY AUTOINCREMENT, Directory TEXT NOT "
         "NULL, Checked INTEGER KEY);",
         nullptr},
        {"SQLite-DirectoryAsIndex\n", "CREATE INDEX Directory_Index ON Directories (Directory);",
         nullptr},
        {"SQLite-CreateClipsTable\n",
         "CREATE TABLE Clips(ID INTEGER PRIMARY KEY AUTOINCREMENT, " +
             clipColumns("INTEGER", " KEY") + ");",
         nullptr},
        {"SQLite-AnchorPathAsIndex\n", "CREATE INDEX AnchorPath_Index ON Clips (AnchorPath);",
         nullptr},
        {"SQLite-CheckedAsIndex\n", "CREATE INDEX Checked_Index ON Directories (Checked);",
         nullptr},
        {"SQLite-CompleteAsIndex\n", "CREATE INDEX Complete_Index ON Clips (Complete);", nullptr},
    };
    return steps;
}

const std::vector<dbCwsSchemaStep>& dbCwsMySQLSchema()
{
    static const std::vector<dbCwsSchemaStep> steps{
        {nullptr,
         "CREATE TABLE IF NOT EXISTS Version (ID INT AUTO_INCREMENT, Version TEXT NOT NULL, "
         "Build TEXT NOT NULL, PRIMARY KEY (ID));",
         "CREATE TABLE Version "},
        {nullptr, "INSERT INTO Version (Version, Build) VALUES (:Version, :Build);",
         "Insert TABLE Version "},
        {"MySQL-CreateDirectoriesTable\n",
         "CREATE TABLE IF NOT EXISTS Directories (ID INT AUTO_INCREMENT, Directory TEXT NOT "
         "NULL, Checked INT, PRIMARY KEY (ID));",
         "CREATE TABLE Directories "},
        {"MySQL-CheckedAsIndex\n", "CREATE INDEX Checked_Index ON Directories (Checked);",
         "CREATE INDEX Checked_Index ON Directories (Checked); "},
        {"MySQL-CreateClipsTable\n",
         "CREATE TABLE IF NOT EXISTS Clips(ID INT AUTO_INCREMENT, " + clipColumns("INT", "") +
             ", PRIMARY KEY (ID));",
         "CREATE TABLE Clips "},
    };
    return steps;
}

const std::vector<dbCwsMySQLIndex>& dbCwsMySQLIndexes()
{
    static const std::vector<dbCwsMySQLIndex> indexes{
        {"Directories", "Directory_Index", "Directory(255)"},
        {"Directories", "Checked_Index", "Checked"},
        {"Clips", "AnchorPath_Index", "AnchorPath(255)"},
        {"Clips", "Complete_Index", "Complete"},
        {"Clips", "ProxyPath_Index", "ProxyPath(255)"},
        {"Clips", "MezzaninePath_Index", "MezzaninePath(255)"},
    };
    return indexes;
}

std::string dbCwsCreateDatabaseStatement(const std::string& name)
{
    return "CREATE DATABASE " + name + " CHARACTER SET utf8 COLLATE utf8_general_ci";
}
