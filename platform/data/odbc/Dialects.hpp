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
    // stamp's reader, 2 when it has the earlier schema's, whose answer depends on writers
    // still open too, so that its values are read anew every time, and 0 when it has
    // none; StampQuery, given the table's name as a string literal, selects one
    // row of two texts, with one parameter: the first text as an earlier run gave it
    // ("" at first). The first names the server's state of committed work, equal to the
    // parameter only when nothing has been committed since; the second is NULL then, and
    // otherwise the stamp's values separated by spaces ("" for no such table), which change
    // with every committed change a statement on the table could read (its first the
    // reader's number, -1 when there is none to trust, its second 1 when the table's writes
    // move that number). nullptr: the server keeps no stamp a copy could be trusted on.
    std::string_view StampReaderProbe;
    std::string (*StampQuery)(const std::string& tableLiteral);
    // A statement selecting StampQuery's first text alone, asked first where it costs the
    // server less than the whole query: when it equals the one given, nothing has been
    // committed since and the whole query is not sent. Empty: StampQuery is always sent.
    std::string_view ServerStateQuery;

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

    // A change whose runs the server makes as one statement, where SendsChangesTogether
    // holds: Template is the change with "?" where each of its literals stood (as
    // sql::ParameterizeLiterals gives it), its last literal a day "YYYY-MM-DD" naming one
    // row; Together makes a whole run at once, with one "?" for each literal of Template,
    // bound to an array text of that literal's values in the run's order. A run whose
    // days are not all different is sent as it stands. Empty: none.
    struct Run {
        std::string_view Template;
        std::string_view Together;
    };
    Run ChangeRun;
};

// The description of the server whose DBMS name the driver gives; nullptr for a server
// the backend does not reach.
const DialectDescription* DialectOfDbms(std::string_view dbmsName);

// The connection string with the settings of the driver it names added.
std::string WithDriverSettings(const std::string& connectionString);

}  // namespace zev::data::odbc
