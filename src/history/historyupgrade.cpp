// SPDX-License-Identifier: MIT
// The steps that bring a history of an older schema up to this one, each
// ending with the version it reaches.
#include "history/historyschema.h"

#include "history/unityield.h"

namespace quill::schema {

QStringList upgradeFrom1() {
    return {
        QStringLiteral("ALTER TABLE quill_attempt ADD COLUMN attempt_key TEXT"),
        QStringLiteral("ALTER TABLE quill_attempt ADD COLUMN serial TEXT"),
        keyIndex(),
        seriesTable(),
        QStringLiteral("UPDATE quill_schema SET version = 2"),
    };
}

QStringList upgradeFrom2() {
    // The outcomes said before units were known by their names: fixed texts
    // of our own, never a value from outside.
    QStringList unreached;
    for (const Outcome outcome : outcomesNeverReached()) {
        unreached << u'\'' + QLatin1String(outcomeName(outcome).data()) + u'\'';
    }
    // Each older row is a unit of its own; it reached its device unless its
    // outcome says it never did.
    return {
        QStringLiteral("ALTER TABLE quill_attempt ADD COLUMN unit_key TEXT"),
        QStringLiteral("ALTER TABLE quill_attempt ADD COLUMN attempt INTEGER"),
        QStringLiteral("UPDATE quill_attempt SET unit_key = "
                       "COALESCE(attempt_key, 'row-' || CAST(id AS TEXT)), "
                       "attempt = CASE WHEN outcome IN (%1) OR (outcome = '%2' AND "
                       "records_sent = 0) THEN NULL ELSE 1 END")
            .arg(unreached.join(u','), QLatin1String(outcomeName(Outcome::PortFailure).data())),
        unitIndex(),
        QStringLiteral("UPDATE quill_schema SET version = 3"),
    };
}

QStringList upgradeFrom3() {
    // The rows before recipes ran files: both stay empty.
    return {
        QStringLiteral("ALTER TABLE quill_attempt ADD COLUMN recipe TEXT"),
        QStringLiteral("ALTER TABLE quill_attempt ADD COLUMN work_order TEXT"),
        orderIndex(),
        QStringLiteral("UPDATE quill_schema SET version = 4"),
    };
}

} // namespace quill::schema
