#pragma once
// What differs between the database servers the ODBC backend reaches, private to it: one
// description per server, which the connection reads instead of asking which server it is
// on. Statements of a description are sent as written.

#include <string>
#include <string_view>

#include "platform/data/Connection.hpp"

namespace zev::data::odbc {

struct DialectDescription {
    Dialect Kind;
    // What the driver's DBMS name of the server contains.
    std::string_view DbmsName;

    // The driver: what a connection string naming it contains, and the settings added
    // unless the string has one containing DriverSettingsKey.
    std::string_view DriverNames[2];
    std::string_view DriverSettingsKey;
    std::string_view DriverSettings;

    // A statement selecting a row when a base table of the session's schema has the name
    // given as a string literal, names compared without regard to case.
    std::string (*TableProbe)(const std::string& nameLiteral);

    // The change stamp of a table. StampReaderProbe selects 1 when the database has the
    // stamp's reader; StampQuery, given the table's name as a string literal, selects one
    // row of kStampFields values that change with every committed change a statement on
    // the table could read (its first the reader's number, -1 when there is none to
    // trust, its second 1 when the table's writes move that number); nullptr: the server
    // keeps no stamp a copy could be trusted on.
    std::string_view StampReaderProbe;
    std::string (*StampQuery)(const std::string& tableLiteral);
    static constexpr unsigned short kStampFields = 6;

    // The isolation level of a read snapshot: SnapshotLevel, or SnapshotFallback when
    // SnapshotProbe (if any) does not select 1. LevelAfterSnapshot, if any, is sent when
    // the snapshot ends, where the server keeps a level for the session.
    std::string_view SnapshotProbe;
    std::string_view SnapshotLevel;
    std::string_view SnapshotFallback;
    std::string_view LevelAfterSnapshot;

    // The clock: the statement that makes the server's current time the time given as
    // text ("" for its own clock again), sent outside transactions; nullptr when the
    // server cannot take one.
    std::string (*FixClock)(const std::string& timeText);

    // Whether an INSERT without INTO (which T-SQL allows) is sent with INTO added.
    bool AddsInsertInto;
    // Whether a run of UPDATE and DELETE statements inside a transaction goes to the
    // server in one round trip: where a failing statement fails the transaction however
    // the statements travel.
    bool SendsChangesTogether;
};

// The description of the server whose DBMS name the driver gives; nullptr for a server
// the backend does not reach.
const DialectDescription* DialectOfDbms(std::string_view dbmsName);

// The connection string with the settings of the driver it names added.
std::string WithDriverSettings(const std::string& connectionString);

}  // namespace zev::data::odbc
