#pragma once

#include <QObject>
#include <QString>

#include "report/visitrecord.h"

class CommandFeedback;
class Connect;
class Devs;
class UpdateRun;
struct NetworkChange;

// Writes this visit down as it happens, for the site report: the devices the
// list announces, the settings and encodings the engine sends, the updates the
// run ends and what the follow-up searches see afterwards. The window adds
// what only it knows: which resets the installer asked for and the plan's labels.
class VisitRecorder final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VisitRecorder)

public:
    VisitRecorder(Connect *engine, UpdateRun *run, Devs *devs, CommandFeedback *feedback, QObject *parent = nullptr);

    VisitRecord &record() { return visit; }
    // The network settings sent next, until the engine's last one is out,
    // come from that flow; planName names the plan file of a site plan.
    void expectNetworkChanges(VisitRecord::Source source, const QString &planName = QString());

private:
    void recordNetworkChange(const NetworkChange &change);
    void recordUpdateEnd(int device, const QString &failure);

    VisitRecord visit;
    UpdateRun *run;
    Devs *devs;
    // A single change from Network Config unless a flow said otherwise.
    VisitRecord::Source networkSource = VisitRecord::Source::NetworkConfig;
    QString planName;
};
