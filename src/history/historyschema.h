// SPDX-License-Identifier: MIT
#pragma once
// The tables of the history and the SQL of the store, from one list of
// columns, so that what is written and what is read cannot drift apart.
// Values are always bound; the texts here hold placeholders only.
//
//     quill_schema (version)            one row: the schema's version
//     quill_attempt (id, attempt_key, started_ms, ended_ms, station,
//                    operator_name, program, program_version, port,
//                    device_path, by_id, usb_serial, baud, device,
//                    file_path, file_size, sha256, records_sent,
//                    records_total, data_bytes_sent, data_bytes_total,
//                    outcome, exit_code, last_message, trace_file, batch,
//                    unit, serial, unit_key, attempt, recipe, work_order)
//     quill_serial_series (series, next_value)   the counters of serial numbers

#include "history/attempt.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <cstddef>

class QSqlQuery;

namespace quill::schema {

// The table of the schema's version, made first.
QString versionTable();
// The statements that make the rest of the schema, in order, for SQLite or
// PostgreSQL.
QStringList creation(bool postgres);

// The statements that take a schema of version 1 to this one, in order.
QStringList upgradeFrom1();
// ... of version 2 to this one: each older row a unit of its own.
QStringList upgradeFrom2();
// ... of version 3 to this one: recipes and work orders.
QStringList upgradeFrom3();
QString keyIndex();
QString orderIndex();
QString unitIndex();
QString seriesTable();

// Binds values(); returns the id, or no row when an attempt with that key
// is there already.
QString insertAttempt();
QString attemptWithKey(); // binds the key; its id, one row
// Binds the series, the series carried from, the start: the number the
// next draw would give, one row. Draws nothing.
QString nextSerial();
QString serialOfKey(); // binds the key; its serial, one row
// Binds the series, the start + 1; the number drawn, one row; none when
// the counter cannot count further.
QString drawSerial();
// Binds values(), then the key (or the id). A text left empty, or a number
// left unknown, keeps what the row holds: the end does not undo what the
// beginning found.
QString updateAttempt(bool byKey);
// Binds values(), then the key: what the row does not hold yet is filled
// in, nothing it holds is changed.
QString fillAttempt();
// Binds the key (or the id): the row of a batch whose device answered (it
// was sent a record, or `answered` says so) and that has no number in its
// batch yet gets its unit's, or the batch's next.
QString numberUnit(bool byKey, bool answered);
QString unitOf(bool byKey); // binds the key (or the id); its unit number, one row
QString versionQuery();     // the version of the schema, one row
QString versionInsert();    // binds the version

// The attempts `filter` picks, newest first; binds filterValues(filter).
QString selectAttempts(const HistoryFilter& filter, bool postgres);
QVariantList filterValues(const HistoryFilter& filter);

// The attempts numbered above one id, and those of `watched` ids that are
// no longer unfinished, in no order; binds that id, then (when `watched`
// is not 0) the outcome "unfinished" and the ids.
QString selectChanged(size_t watched, bool postgres);

// The attempt's columns, in the order the statements above name them.
QVariantList values(const Attempt& attempt);
// The attempt's columns back from values(); false when they do not fit.
bool setValues(Attempt& a, const QVariantList& values);
// The attempt in the current row of a query from selectAttempts(), into
// `a`, whose texts keep their memory from row to row.
void readAttempt(const QSqlQuery& query, Attempt& a);

} // namespace quill::schema
