#pragma once

// What was done to a clip's file and by whom, as the report's "events": one entry per action, typed with
// the PREMIS event type vocabulary, so that an archive can take the report into its audit trail. A capture
// that ended in a dropped picture is a failed "capture" before the one that succeeded; the checks after
// the writing (the whole-file digest, the read-back comparison, the conformance check) follow it, then one
// "replication" for each further copy written from the same play-out.

#include "verify/DroppedPicture.h"

#include <QDateTime>
#include <QJsonArray>
#include <QString>
#include <vector>

inline constexpr char kCaptureEvent[] = "capture";
inline constexpr char kDigestEvent[] = "message digest calculation";
inline constexpr char kFixityEvent[] = "fixity check";
inline constexpr char kValidationEvent[] = "validation";
inline constexpr char kReplicationEvent[] = "replication";

struct EventAgent {
    QString role; // "software", "capture board", "recorder volume" or "operator"
    QString name;
};

struct PreservationEvent {
    QString type;
    QDateTime dateTime; // when the action ended
    bool success = true;
    QString detail;
    std::vector<EventAgent> agents;
};

// Who takes part in a transfer; an empty name is left out of the events.
struct TransferAgents {
    QString software; // the tool and its version
    QString board;    // the capture board's identifier
    QString volume;   // the recorder volume the clip was played from
    QString operatorName;

    // The capture involves all of them; the checks after it only the software and the operator.
    std::vector<EventAgent> ofCapture() const;
    std::vector<EventAgent> ofChecks() const;
};

// One failed capture for each dropped picture, at the time of its drop, then the capture that wrote every
// frame (`frames` of them, ending at `ended`).
std::vector<PreservationEvent> captureEvents(const std::vector<DroppedPicture> &drops, uint64_t frames,
                                             const QDateTime &ended, const TransferAgents &agents);

// One object per event: agents (role, name), dateTime (UTC, ISO 8601 with milliseconds), detail, outcome
// ("success" or "failure") and type.
QJsonArray eventsJson(const std::vector<PreservationEvent> &events);
