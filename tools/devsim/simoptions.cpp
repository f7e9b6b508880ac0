#include "simoptions.h"

#include <QCommandLineParser>

namespace {

bool parseInt(const QString &text, int min, int max, int *out)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max)
        return false;
    *out = value;
    return true;
}

} // namespace

bool SimOptions::parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates video recorders and IP cameras that answer the search tool over UDP."));
    parser.addHelpOption();
    const QCommandLineOption countOpt(QStringLiteral("count"), QStringLiteral("Number of devices."), QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption firstIpOpt(QStringLiteral("first-ip"), QStringLiteral("Address of device 0; device i gets this + i."), QStringLiteral("A.B.C.D"), QStringLiteral("192.168.147.20"));
    const QCommandLineOption macOpt(QStringLiteral("mac-prefix"), QStringLiteral("First four MAC bytes; the last two are the device index."), QStringLiteral("XX:XX:XX:XX"), macPrefix);
    const QCommandLineOption versionOpt(QStringLiteral("version"), QStringLiteral("Firmware version text of every device (default V3.2.1.<index>)."), QStringLiteral("TEXT"));
    const QCommandLineOption maskOpt(QStringLiteral("mask"), QStringLiteral("Network mask."), QStringLiteral("A.B.C.D"), mask);
    const QCommandLineOption gatewayOpt(QStringLiteral("gateway"), QStringLiteral("Gateway."), QStringLiteral("A.B.C.D"), gateway);
    const QCommandLineOption dnsOpt(QStringLiteral("dns"), QStringLiteral("DNS server."), QStringLiteral("A.B.C.D"), dns);
    const QCommandLineOption ipModeOpt(QStringLiteral("ipmode"), QStringLiteral("Address mode: 0 DHCP, 1 static."), QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption h264Opt(QStringLiteral("h264"), QStringLiteral("Encoding: 1 H.264, 0 H.265."), QStringLiteral("0|1"), QStringLiteral("1"));
    const QCommandLineOption replyOpt(QStringLiteral("reply"), QStringLiteral("How answers travel: broadcast to port 18153, unicast to the sender's port 18155, or mixed (even indices broadcast, odd unicast)."), QStringLiteral("broadcast|unicast|mixed"), QStringLiteral("broadcast"));
    const QCommandLineOption delayOpt(QStringLiteral("delay-ms"), QStringLiteral("Each device delays each answer by a random 0..MAX ms."), QStringLiteral("MAX"), QStringLiteral("0"));
    const QCommandLineOption silentOpt(QStringLiteral("silent"), QStringLiteral("Comma list of device indices that never answer searches."), QStringLiteral("LIST"));
    const QCommandLineOption factoryOpt(QStringLiteral("factory-reset"), QStringLiteral("A reset device goes back to its factory record."));
    const QCommandLineOption restartOpt(QStringLiteral("restart-ms"), QStringLiteral("After accepting an update a device restarts: it answers nothing for MS ms, then connects back."), QStringLiteral("MS"), QStringLiteral("300"));
    const QCommandLineOption installOpt(QStringLiteral("install-ms"), QStringLiteral("Time a device takes to install a received package."), QStringLiteral("MS"), QStringLiteral("300"));
    const QCommandLineOption packageOpt(QStringLiteral("package"), QStringLiteral("The package the tool sends; received bytes are compared with it."), QStringLiteral("FILE"));
    const QCommandLineOption updateVersionOpt(QStringLiteral("update-version"), QStringLiteral("Version text after an update (default: the number before the last dot goes up by one)."), QStringLiteral("TEXT"));
    const QCommandLineOption updateFaultOpt(QStringLiteral("update-fault"), QStringLiteral("Comma list of I:FAULT for device I's update: silent (never answers the request), disconnect:K (hangs up after K package bytes), garbage (sends noise instead of requests), split (sends every message in 1-byte writes), stall (stops reading after its request), close (hangs up as soon as it has connected back)."), QStringLiteral("LIST"));
    const QCommandLineOption logOpt(QStringLiteral("log"), QStringLiteral("Write the JSON event log here instead of standard output."), QStringLiteral("FILE"));
    parser.addOptions({countOpt, firstIpOpt, macOpt, versionOpt, maskOpt, gatewayOpt, dnsOpt, ipModeOpt,
                       h264Opt, replyOpt, delayOpt, silentOpt, factoryOpt, logOpt,
                       restartOpt, installOpt, packageOpt, updateVersionOpt, updateFaultOpt});
    const QCommandLineOption streamsOpt(QStringLiteral("streams"), QStringLiteral("Each device serves RTSP at rtsp://IP:554/uscast/11 (1920x1080) and /uscast/12 (640x360) in its encoding; its address is added to this host."));
    const QCommandLineOption rtspsimOpt(QStringLiteral("rtspsim"), QStringLiteral("The RTSP server program (default: rtspsim beside devsim)."), QStringLiteral("FILE"));
    const QCommandLineOption clipsOpt(QStringLiteral("clips"), QStringLiteral("Folder of the encoded clips (default: clips beside devsim)."), QStringLiteral("DIR"));
    const QCommandLineOption streamFaultOpt(QStringLiteral("stream-fault"), QStringLiteral("none, stall (a session stops sending after --stream-fault-after frames), exit (the server exits then), refuse (no stream is mounted) or oversize (the main stream is 3200x1800)."), QStringLiteral("FAULT"), QStringLiteral("none"));
    const QCommandLineOption streamFaultAfterOpt(QStringLiteral("stream-fault-after"), QStringLiteral("Frames before a stall or exit fault."), QStringLiteral("N"), QStringLiteral("50"));
    const QCommandLineOption compressAnswerOpt(QStringLiteral("compress-answer"), QStringLiteral("Answer to an encoding change: 1 (accepted, the device restarts with the new encoding), 0 (refused) or none."), QStringLiteral("1|0|none"), QStringLiteral("1"));
    const QCommandLineOption compressRestartOpt(QStringLiteral("compress-restart-ms"), QStringLiteral("How long a device restarting after an encoding change serves no streams and answers no searches."), QStringLiteral("MS"), QStringLiteral("2000"));
    parser.addOptions({streamsOpt, rtspsimOpt, clipsOpt, streamFaultOpt, streamFaultAfterOpt, compressAnswerOpt, compressRestartOpt});
    parser.process(arguments);   // exits on --help and on unknown options

    auto fail = [error](const QString &message) { *error = message; return false; };

    // Two index bytes end each MAC, so at most 65536 devices.
    if (!parseInt(parser.value(countOpt), 0, 65536, &count))
        return fail(QStringLiteral("--count must be 0..65536"));
    QHostAddress first;
    if (!first.setAddress(parser.value(firstIpOpt)) || first.protocol() != QAbstractSocket::IPv4Protocol)
        return fail(QStringLiteral("--first-ip must be an IPv4 address"));
    firstIp = first.toIPv4Address();
    macPrefix = parser.value(macOpt);
    version = parser.value(versionOpt);
    mask = parser.value(maskOpt);
    gateway = parser.value(gatewayOpt);
    dns = parser.value(dnsOpt);
    int number = 0;
    if (!parseInt(parser.value(ipModeOpt), 0, 65535, &number))
        return fail(QStringLiteral("--ipmode must be 0..65535"));
    ipMode = quint16(number);
    if (!parseInt(parser.value(h264Opt), 0, 1, &number))
        return fail(QStringLiteral("--h264 must be 0 or 1"));
    h264 = quint8(number);
    const QString replyText = parser.value(replyOpt);
    if (replyText == QLatin1String("broadcast"))
        reply = Reply::Broadcast;
    else if (replyText == QLatin1String("unicast"))
        reply = Reply::Unicast;
    else if (replyText == QLatin1String("mixed"))
        reply = Reply::Mixed;
    else
        return fail(QStringLiteral("--reply must be broadcast, unicast or mixed"));
    if (!parseInt(parser.value(delayOpt), 0, 600000, &delayMs))
        return fail(QStringLiteral("--delay-ms must be 0..600000"));
    const QStringList silentList = parser.value(silentOpt).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &item : silentList) {
        if (!parseInt(item.trimmed(), 0, 65535, &number))
            return fail(QStringLiteral("--silent takes a comma list of device indices"));
        silent.insert(number);
    }
    factoryReset = parser.isSet(factoryOpt);
    logPath = parser.value(logOpt);
    if (!parseInt(parser.value(restartOpt), 0, 600000, &restartMs))
        return fail(QStringLiteral("--restart-ms must be 0..600000"));
    if (!parseInt(parser.value(installOpt), 0, 600000, &installMs))
        return fail(QStringLiteral("--install-ms must be 0..600000"));
    packagePath = parser.value(packageOpt);
    updateVersion = parser.value(updateVersionOpt);
    const QStringList faultList = parser.value(updateFaultOpt).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &item : faultList) {
        const QStringList parts = item.trimmed().split(QLatin1Char(':'));
        int device = 0;
        if (parts.size() < 2 || !parseInt(parts[0], 0, 65535, &device))
            return fail(QStringLiteral("--update-fault takes a comma list of I:FAULT"));
        UpdateFault fault;
        const QString kind = parts[1];
        if (kind == QLatin1String("silent") && parts.size() == 2)
            fault.kind = UpdateFault::Silent;
        else if (kind == QLatin1String("garbage") && parts.size() == 2)
            fault.kind = UpdateFault::Garbage;
        else if (kind == QLatin1String("split") && parts.size() == 2)
            fault.kind = UpdateFault::Split;
        else if (kind == QLatin1String("stall") && parts.size() == 2)
            fault.kind = UpdateFault::Stall;
        else if (kind == QLatin1String("close") && parts.size() == 2)
            fault.kind = UpdateFault::Close;
        else if (kind == QLatin1String("disconnect") && parts.size() == 3) {
            bool ok = false;
            fault.bytes = parts[2].toLongLong(&ok);
            if (!ok || fault.bytes < 0)
                return fail(QStringLiteral("--update-fault: disconnect:K needs a byte count"));
            fault.kind = UpdateFault::Disconnect;
        }
        else
            return fail(QStringLiteral("--update-fault: unknown fault ") + item);
        updateFaults.insert(device, fault);
    }
    streams = parser.isSet(streamsOpt);
    rtspsim = parser.value(rtspsimOpt);
    clipDir = parser.value(clipsOpt);
    const QString faultText = parser.value(streamFaultOpt);
    if (faultText == QLatin1String("none"))
        streamFault = StreamFault::None;
    else if (faultText == QLatin1String("stall"))
        streamFault = StreamFault::Stall;
    else if (faultText == QLatin1String("exit"))
        streamFault = StreamFault::Exit;
    else if (faultText == QLatin1String("refuse"))
        streamFault = StreamFault::Refuse;
    else if (faultText == QLatin1String("oversize"))
        streamFault = StreamFault::Oversize;
    else
        return fail(QStringLiteral("--stream-fault must be none, stall, exit, refuse or oversize"));
    if (!parseInt(parser.value(streamFaultAfterOpt), 0, 1000000, &streamFaultAfter))
        return fail(QStringLiteral("--stream-fault-after must be 0..1000000"));
    const QString answerText = parser.value(compressAnswerOpt);
    if (answerText == QLatin1String("1"))
        compressAnswer = CompressAnswer::Success;
    else if (answerText == QLatin1String("0"))
        compressAnswer = CompressAnswer::Failure;
    else if (answerText == QLatin1String("none"))
        compressAnswer = CompressAnswer::None;
    else
        return fail(QStringLiteral("--compress-answer must be 1, 0 or none"));
    if (!parseInt(parser.value(compressRestartOpt), 0, 600000, &compressRestartMs))
        return fail(QStringLiteral("--compress-restart-ms must be 0..600000"));
    return true;
}
