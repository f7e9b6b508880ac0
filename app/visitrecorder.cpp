#include "visitrecorder.h"

#include <QFileInfo>

#include "app/commandfeedback.h"
#include "protocol/connect.h"
#include "protocol/networkchange.h"
#include "registry/dev.h"
#include "registry/devs.h"
#include "update/update.h"
#include "update/updaterun.h"

namespace {

VisitRecord::Encoding encoding(bool h264)
{
    return h264 ? VisitRecord::Encoding::H264 : VisitRecord::Encoding::H265;
}

} // namespace

VisitRecorder::VisitRecorder(Connect *engine, UpdateRun *run, Devs *devs, CommandFeedback *feedback, QObject *parent)
    : QObject(parent)
    , run(run)
    , devs(devs)
{
    connect(engine, &Connect::networkChangeMsg, this, &VisitRecorder::recordNetworkChange);
    connect(engine, &Connect::allIpSentMsg, this, [this] { expectNetworkChanges(VisitRecord::Source::NetworkConfig); });
    connect(engine, &Connect::encodingChangeMsg, this, [this](const QString &mac, bool fromH264, bool toH264) {
        visit.encodingSent(mac, encoding(fromH264), encoding(toH264));
    });
    connect(devs, &Devs::loadDevMsg, this, [this](int row) {
        if (const Dev *dev = this->devs->getDevList().value(row))
            visit.saw(*dev);
    });
    connect(run, &UpdateRun::updateStepMsg, this, [this](int device, int step) {
        if (step == 4)
            recordUpdateEnd(device, QString());
    });
    connect(run, &UpdateRun::updateFailMsg, this, [this](int device, int reason, int at, int of) {
        recordUpdateEnd(device, Update::failureText(reason, at, of));
    });
    connect(feedback, &CommandFeedback::outcomeMsg, this, [this](const QString &mac, const QString &ip, CommandFeedback::Kind kind) {
        if (!ip.isEmpty())
            visit.answersAt(mac, ip);
        else
            visit.notAnswered(mac, kind == CommandFeedback::Reset ? VisitRecord::Since::Reset : VisitRecord::Since::Change);
    });
}

void VisitRecorder::expectNetworkChanges(VisitRecord::Source source, const QString &plan)
{
    networkSource = source;
    planName = source == VisitRecord::Source::SitePlan ? plan : QString();
}

void VisitRecorder::recordNetworkChange(const NetworkChange &change)
{
    const Dev *dev = devs->find(change.mac);
    visit.networkSent(change.mac, networkSource, dev ? VisitRecord::settingsOf(*dev) : NetSettings(),
                      {change.ip, change.mask, change.gateway, change.dhcp}, planName);
}

// Installed or failed, always with the run's package.
void VisitRecorder::recordUpdateEnd(int device, const QString &failure)
{
    const Package &package = run->updatePackage();
    visit.updateEnded(run->updateDeviceMac(device), QFileInfo(package.path).fileName(), package.size, package.md5, failure);
}
