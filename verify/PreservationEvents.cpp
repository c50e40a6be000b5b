#include "verify/PreservationEvents.h"

#include <QJsonObject>

namespace {

void addAgent(std::vector<EventAgent> &agents, const char *role, const QString &name) {
    if (!name.isEmpty())
        agents.push_back({role, name});
}

} // namespace

std::vector<EventAgent> TransferAgents::ofCapture() const {
    std::vector<EventAgent> agents;
    addAgent(agents, "software", software);
    addAgent(agents, "capture board", board);
    addAgent(agents, "recorder volume", volume);
    addAgent(agents, "operator", operatorName);
    return agents;
}

std::vector<EventAgent> TransferAgents::ofChecks() const {
    std::vector<EventAgent> agents;
    addAgent(agents, "software", software);
    addAgent(agents, "operator", operatorName);
    return agents;
}

std::vector<PreservationEvent> captureEvents(const std::vector<DroppedPicture> &drops, uint64_t frames,
                                             const QDateTime &ended, const TransferAgents &agents) {
    std::vector<PreservationEvent> events;
    for (const DroppedPicture &drop : drops) {
        const QString where = drop.timeCode.isEmpty()
                                  ? QString("before the first frame")
                                  : QString("after frame %1 (%2)").arg(drop.frame).arg(drop.timeCode);
        events.push_back({kCaptureEvent, drop.at, false,
                          QString("%1 %2; the clip was played again from its start").arg(drop.cause, where),
                          agents.ofCapture()});
    }
    events.push_back(
        {kCaptureEvent, ended, true, QString("%1 frames written").arg(frames), agents.ofCapture()});
    return events;
}

QJsonArray eventsJson(const std::vector<PreservationEvent> &events) {
    QJsonArray list;
    for (const PreservationEvent &event : events) {
        QJsonArray agents;
        for (const EventAgent &agent : event.agents)
            agents.append(QJsonObject{{"role", agent.role}, {"name", agent.name}});
        list.append(QJsonObject{{"type", event.type},
                                {"dateTime", event.dateTime.toUTC().toString(Qt::ISODateWithMs)},
                                {"outcome", event.success ? "success" : "failure"},
                                {"detail", event.detail},
                                {"agents", agents}});
    }
    return list;
}
